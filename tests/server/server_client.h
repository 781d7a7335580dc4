// Test side of the hook server: starting server processes, finding the resident one.
#pragma once

#include "support/owners.h"
#include "test_names.h"
#include "test_process.h"
#include "test_windows.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lumivex::servertest {

inline constexpr const wchar_t* kServerName = test::kServerInstanceName;
// The message a messenger hands its command over with: WM_USER + 1010.
inline constexpr UINT kServerCommandMessage = WM_USER + 1010;

std::wstring ServerProgram(); // LumivexServer.exe beside the test program
std::wstring HookLibrary();   // LumivexDll64.dll beside the test program

// The top-level window that answers the server's registered message with its number, or null.
HWND FindServerWindow();
using test::ProcessOf;
bool ServerMutexExists();
// Top-level windows of process `pid` that are visible.
int VisibleWindowsOf(DWORD pid);

// One server process started by the test; killed at scope end if it still runs.
class ServerProcess {
public:
    bool Start(const std::wstring& args, const std::wstring& program = ServerProgram());
    // The exit code, or STILL_ACTIVE when it still runs after `timeoutMs`.
    DWORD Wait(DWORD timeoutMs) { return m_child.Wait(timeoutMs); }
    bool Running() { return m_pid != 0 && Wait(0) == STILL_ACTIVE; }
    DWORD pid() const { return m_pid; }
    // Waits until this process's window answers the registered message.
    HWND WaitForWindow(DWORD timeoutMs = 10000);
    // "/Exit" through a messenger, then waits for this process to end. Its exit code.
    DWORD Exit(DWORD timeoutMs = 10000);

private:
    test::ChildProcess m_child;
    DWORD m_pid = 0;
};

// A server process that is expected to end by itself (a messenger, or "/Exit" with none
// running): its exit code, or STILL_ACTIVE (then killed) when it is still running after
// `timeoutMs`.
DWORD RunServer(const std::wstring& args, const std::wstring& program = ServerProgram(),
                DWORD timeoutMs = 10000);

// Stands in for a resident server in the test's own process: it holds the server's mutex and,
// on a thread of its own, a hidden window that answers the server's registered message. Each
// command it receives is recorded, then held for `holdMs` before it is answered: a long hold is
// a resident that hangs while carrying a command out. The end lets a held command go.
class StandInResident {
public:
    explicit StandInResident(DWORD holdMs);
    ~StandInResident();
    StandInResident(const StandInResident&) = delete;
    StandInResident& operator=(const StandInResident&) = delete;

    HWND window() const { return m_window; } // null when it could not be made
    std::vector<std::pair<WPARAM, LPARAM>> Commands();

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    DWORD m_holdMs;
    UINT m_query;
    UniqueHandle m_mutex;
    UniqueHandle m_release; // set at the end: a held command is answered at once
    std::atomic<HWND> m_window{nullptr};
    std::mutex m_lock;
    std::vector<std::pair<WPARAM, LPARAM>> m_commands;
    std::thread m_thread;
};

// "[Browsers] browser_host.exe=0" in the per-user browsers.ini: the hook library does not
// prompt in the browser host.
void QuietBrowserHost();

} // namespace lumivex::servertest
