#include "server_client.h"

#include "support/window_query.h"
#include "test_files.h"

namespace lumivex::servertest {

std::wstring ServerProgram() {
    return test::ProgramDir() + L"\\LumivexServer.exe";
}

std::wstring HookLibrary() {
    return test::ProgramDir() + L"\\LumivexDll64.dll";
}

HWND FindServerWindow() {
    return FindWindowAnsweringQuery(RegisterWindowMessageW(kServerName));
}

bool ServerMutexExists() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kServerName);
    if (!mutex) {
        return false;
    }
    CloseHandle(mutex);
    return true;
}

int VisibleWindowsOf(DWORD pid) {
    return static_cast<int>(test::VisibleTopLevelWindows(pid, nullptr).size());
}

bool ServerProcess::Start(const std::wstring& args, const std::wstring& program) {
    if (!m_child.Start(program, args)) {
        return false;
    }
    m_pid = m_child.pid();
    return true;
}

HWND ServerProcess::WaitForWindow(DWORD timeoutMs) {
    HWND found = nullptr;
    test::WaitUntil(
        [&] {
            HWND window = FindServerWindow();
            if (window && ProcessOf(window) == m_pid) {
                found = window;
            }
            return found != nullptr || !Running();
        },
        timeoutMs, 50);
    return found;
}

DWORD ServerProcess::Exit(DWORD timeoutMs) {
    if (Running()) {
        RunServer(L"/Exit");
    }
    return Wait(timeoutMs);
}

DWORD RunServer(const std::wstring& args, const std::wstring& program, DWORD timeoutMs) {
    return test::RunProgram(program, args, timeoutMs);
}

void QuietBrowserHost() {
    const std::wstring folder = test::AppDataDir() + L"\\Lumivex";
    CreateDirectoryW(folder.c_str(), nullptr);
    WritePrivateProfileStringW(L"Browsers", L"browser_host.exe", L"0",
                               (folder + L"\\browsers.ini").c_str());
}

} // namespace lumivex::servertest
