#include "server_client.h"

#include "test_files.h"

namespace lumivex::servertest {

namespace {

struct Search {
    UINT message;
    HWND found;
};

BOOL CALLBACK AnswersQuery(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window, search->message, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 200,
                            &answer) &&
        answer == search->message) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct VisibleCount {
    DWORD pid;
    int count;
};

BOOL CALLBACK CountVisible(HWND window, LPARAM context) {
    auto* visible = reinterpret_cast<VisibleCount*>(context);
    if (ProcessOf(window) == visible->pid && IsWindowVisible(window)) {
        ++visible->count;
    }
    return TRUE;
}

} // namespace

std::wstring ServerProgram() {
    return test::ProgramDir() + L"\\LumivexServer.exe";
}

std::wstring HookLibrary() {
    return test::ProgramDir() + L"\\LumivexDll64.dll";
}

HWND FindServerWindow() {
    Search search{RegisterWindowMessageW(kServerName), nullptr};
    if (search.message) {
        EnumWindows(&AnswersQuery, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
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
    VisibleCount visible{pid, 0};
    EnumWindows(&CountVisible, reinterpret_cast<LPARAM>(&visible));
    return visible.count;
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
