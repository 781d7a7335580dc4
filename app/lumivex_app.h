// The main program's application object: the single-instance rule, the command-line switches,
// the start of the hook controller and the language service, the main dialog, and the exit.
#pragma once

#include "app/main_dialog.h"
#include "framework/app.h"
#include "support/owners.h"

#include <memory>
#include <string>
#include <vector>

namespace lumivex::app {

class CLumivexApp : public fw::CWinApp {
public:
    CLumivexApp();

    bool InitInstance() override;
    // Switches zoom off and saves the options only after a completed start-up; closes the
    // mutex in every case.
    int ExitInstance() override;
    // "E&xit" of the tray menu.
    bool OnCommand(UINT id, UINT code) override;

    // The switches of this process's command line; their number.
    int ParseSwitches(std::vector<std::wstring>& switches) const;
    // Deletes the autostart value; always 1.
    static int RemoveAutostart();

    UniqueHandle m_hMutex; // the single-instance mutex, held for the whole run

private:
    // Tells a running instance to show itself; false when it did not answer in time.
    static bool HandOverTo(HWND runningInstance);

    std::unique_ptr<CLumivexMain> m_pMainDlg;
    bool m_bStarted = false; // the controller was initialised: the full exit is due
};

} // namespace lumivex::app
