#include "test_process.h"

#include "support/owners.h"

#include <tlhelp32.h>

#include <utility>

namespace lumivex::test {

ChildProcess::~ChildProcess() {
    Kill();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_process(std::exchange(other.m_process, nullptr)), m_pid(std::exchange(other.m_pid, 0)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        m_process = std::exchange(other.m_process, nullptr);
        m_pid = std::exchange(other.m_pid, 0);
    }
    return *this;
}

bool ChildProcess::Start(const std::wstring& program, const std::wstring& args,
                         const std::wstring& workDir) {
    Kill();
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!args.empty()) {
        commandLine += L" " + args;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_pid = info.dwProcessId;
    return true;
}

DWORD ChildProcess::Wait(DWORD timeoutMs) {
    if (!m_process) {
        return STILL_ACTIVE;
    }
    if (WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process, &code);
    return code;
}

void ChildProcess::Kill() {
    if (m_process) {
        if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process, 1);
            WaitForSingleObject(m_process, 5000);
        }
        CloseHandle(m_process);
        m_process = nullptr;
        m_pid = 0;
    }
}

DWORD RunProgram(const std::wstring& program, const std::wstring& args, DWORD timeoutMs,
                 const std::wstring& workDir) {
    ChildProcess child;
    if (!child.Start(program, args, workDir)) {
        return static_cast<DWORD>(-1);
    }
    return child.Wait(timeoutMs);
}

int CountProcesses(const std::wstring& exeName) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return -1;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        count += lstrcmpiW(entry.szExeFile, exeName.c_str()) == 0 ? 1 : 0;
    }
    return count;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, stepMs, QS_ALLINPUT);
    }
}

EnvironmentScope::EnvironmentScope(const wchar_t* name, const wchar_t* value) : m_name(name) {
    const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length > 0) {
        m_previous.resize(length);
        const DWORD written = GetEnvironmentVariableW(name, m_previous.data(), length);
        m_previous.resize(written);
        m_hadValue = true;
    }
    SetEnvironmentVariableW(name, value);
}

EnvironmentScope::~EnvironmentScope() {
    SetEnvironmentVariableW(m_name.c_str(), m_hadValue ? m_previous.c_str() : nullptr);
}

} // namespace lumivex::test
