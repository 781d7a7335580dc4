// The programs the hook library has met. The library, inside each program, only posts its
// process id to this hidden window (support/lumivex_names.h) the first time one of its browser
// windows reaches its browser; the name is found here and kept in Config.ini, so the programs
// page still lists the program after a restart.
#pragma once

#include "support/owners.h"

#include <windows.h>

#include <functional>
#include <string>

namespace lumivex::app {

class CMetPrograms {
public:
    // Gets the name of each program met for the first time.
    using MetHandler = std::function<void(const std::wstring& name)>;

    CMetPrograms() = default;
    CMetPrograms(const CMetPrograms&) = delete;
    CMetPrograms& operator=(const CMetPrograms&) = delete;

    // Makes the hidden window; `configIni` may be empty (nothing is kept then). False when the
    // window could not be made: no program is learnt of in this run.
    bool Create(HINSTANCE instance, const std::wstring& configIni, MetHandler onMet);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnProgramMet(DWORD processId);

    std::wstring m_configIni;
    MetHandler m_onMet;
    UniqueWindow m_window; // last member: goes first, while the rest still serves its messages
};

// The executable's name of a running process, as the hook library names it; empty when the
// process is gone or cannot be asked.
std::wstring ProgramNameOfProcess(DWORD processId);

} // namespace lumivex::app
