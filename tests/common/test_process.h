// Starting and watching other programs from tests.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace lumivex::test {

// A started child process; ended (killed) at scope end if still running.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    // Starts `program` with `args` (already quoted as needed) in `workDir` (empty: inherit).
    bool Start(const std::wstring& program, const std::wstring& args,
               const std::wstring& workDir = L"");
    // Exit code, or STILL_ACTIVE if it did not end within the timeout.
    DWORD Wait(DWORD timeoutMs);
    void Kill();
    HANDLE handle() const { return m_process; }
    DWORD pid() const { return m_pid; }

private:
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
};

// Sets an environment variable of the test (and so of the programs it starts) for the scope;
// null removes it. The previous value comes back at scope end.
class EnvironmentScope {
public:
    EnvironmentScope(const wchar_t* name, const wchar_t* value);
    ~EnvironmentScope();
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    std::wstring m_name;
    std::wstring m_previous;
    bool m_hadValue = false;
};

// Runs a program to its end; returns its exit code or STILL_ACTIVE on timeout (then kills it).
DWORD RunProgram(const std::wstring& program, const std::wstring& args, DWORD timeoutMs = 30000,
                 const std::wstring& workDir = L"");

// Running processes whose program file is named `exeName` (without regard to case), in every
// bitness, as a snapshot of the system's process list shows them.
int CountProcesses(const std::wstring& exeName);

// Polls `condition` (pumping this thread's messages) until true or the timeout passes.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 10);

// Dispatches every message waiting in this thread's queue.
void PumpMessages();

} // namespace lumivex::test
