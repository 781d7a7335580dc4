#include "server/server_app.h"

namespace lumivex::server {

namespace {

struct ServerSearch {
    UINT queryMessage;
    HWND found;
};

BOOL CALLBACK FindServerWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<ServerSearch*>(context);
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, search->queryMessage, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                               200, &answer)) {
        return TRUE;
    }
    if (answer != search->queryMessage) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

} // namespace

HWND FindResidentServer(UINT queryMessage) {
    if (!queryMessage) {
        return nullptr;
    }
    ServerSearch search{queryMessage, nullptr};
    ::EnumWindows(&FindServerWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void SetSafeLibrarySearch() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel) {
        return;
    }
    const auto set = reinterpret_cast<SetDirectories>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set) {
        set(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
    }
}

CLumivexApp::CLumivexApp() : CWinApp(L"LumivexServer") {}

bool CLumivexApp::InitInstance() {
    SetSafeLibrarySearch();
    m_nQueryMessage = ::RegisterWindowMessageW(kServerName);

    m_hMutex.reset(::CreateMutexW(nullptr, FALSE, kServerName));
    const DWORD error = ::GetLastError();
    const bool serverRunning = error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
    HWND resident = serverRunning ? FindResidentServer(m_nQueryMessage) : nullptr;

    const ServerCommand command =
        CommandFromSwitches(ParseSwitches(CommandLineWords(::GetCommandLineW())));
    m_nCommand = command.code;
    m_nParam = command.param;

    if (serverRunning) {
        // Every code is passed on, 0 included; the call returns once the command is carried out.
        if (resident) {
            ::SendMessageW(resident, WM_SERVER_COMMAND, static_cast<WPARAM>(m_nCommand),
                           static_cast<LPARAM>(m_nParam));
        }
        return false;
    }
    if (m_nCommand == SERVER_EXIT) {
        return false; // nothing runs that could be told to exit
    }

    m_pMainDlg = std::make_unique<CLumivexMain>(m_nQueryMessage, command);
    SetMainWnd(m_pMainDlg.get());
    if (!m_pMainDlg->Create()) {
        // Without a window no command can reach us: ending lets the next start become resident.
        SetMainWnd(nullptr);
        m_pMainDlg.reset();
        return false;
    }
    ::ShowWindow(m_pMainDlg->GetSafeHwnd(), SW_HIDE);
    return true;
}

int CLumivexApp::ExitInstance() {
    SetMainWnd(nullptr);
    m_pMainDlg.reset();
    m_hMutex.reset();
    return 0;
}

} // namespace lumivex::server
