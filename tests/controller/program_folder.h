// A program folder of a test's own: the controller driver copied into a fresh folder, with
// stand-ins for the hook server and the hook library (or the real library) beside it, and what
// each of them recorded.
#pragma once

#include "test_files.h"
#include "test_process.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace lumivex::controllertest {

// One "step=result" line of the driver's report.
using ReportLine = std::pair<std::string, std::string>;

class ProgramFolder {
public:
    // `length`: when not 0, the folder's full path (without a trailing backslash) is padded to
    // exactly that many characters with nested folders.
    explicit ProgramFolder(size_t length = 0);
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const std::wstring& path() const { return m_path; } // no trailing backslash
    std::wstring appDir() const { return m_path + L"\\"; }
    std::wstring operator/(const std::wstring& name) const { return Long(m_path + L"\\" + name); }

    // Copies a program or library built beside the test program into this folder.
    bool Add(const std::wstring& builtName, const std::wstring& nameHere);
    bool AddDriver() { return Add(L"controller_driver.exe", kDriverName); }
    bool AddStandInServer() { return Add(L"controller_stand_in_server.exe", L"LumivexServer.exe"); }
    bool AddStandInHook() { return Add(L"controller_stand_in_hook.dll", L"LumivexDll.dll"); }
    bool AddStandInHookWithoutSet() {
        return Add(L"controller_stand_in_hook_without_set.dll", L"LumivexDll.dll");
    }

    // Starts the driver with `steps`; the program folder is its working folder.
    bool Start(const std::wstring& steps);
    // Starts the driver and waits for its end: true when it ended with 0.
    bool Run(const std::wstring& steps, DWORD timeoutMs = 90000);
    // Waits for the driver started with Start: true when it ended with 0.
    bool Wait(DWORD timeoutMs = 90000);
    // Waits until the driver's report holds `step` with `result`.
    bool WaitForReport(const std::string& step, const std::string& result, DWORD timeoutMs = 30000);

    std::vector<ReportLine> Report() const;
    // The results of every `step` line, in order.
    std::vector<std::string> Results(const std::string& step) const;
    // The single result of `step`; "<missing>" or "<repeated>" otherwise.
    std::string Result(const std::string& step) const;

    // Lines the stand-ins recorded: the server's "<arguments>|<working folder>", the library's
    // loads, unloads and export calls.
    std::vector<std::string> ServerCalls() const;
    std::vector<std::string> HookCalls() const;

    // The whole report and the stand-ins' records, for failure messages.
    std::string Transcript() const;

    static constexpr const wchar_t* kDriverName = L"d.exe";

    // `path` as a "\\?\" path, which reaches beyond MAX_PATH.
    static std::wstring Long(const std::wstring& path);

private:
    test::TempDir m_root;
    std::wstring m_path;
    test::ChildProcess m_driver;
};

// Folder paths compared the way the platform does: without regard to case or a trailing "\".
bool SameFolder(std::string a, std::string b);

} // namespace lumivex::controllertest
