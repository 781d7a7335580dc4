#include "server/server_app.h"

#include "support/command_line.h"
#include "support/lumivex_names.h"
#include "support/proc_address.h"
#include "support/window_query.h"

namespace lumivex::server {

void SetSafeLibrarySearch() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel) {
        return;
    }
    const auto set = ProcAddress<SetDirectories>(kernel, "SetDefaultDllDirectories");
    if (set) {
        set(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
    }
}

CLumivexApp::CLumivexApp() : CWinApp(L"LumivexServer") {}

bool CLumivexApp::InitInstance() {
    SetSafeLibrarySearch();
    m_nQueryMessage = ::RegisterWindowMessageW(kServerName);

    InstanceCheck instance = CheckSingleInstance(kServerName, m_nQueryMessage);
    m_hMutex = std::move(instance.mutex);
    const bool serverRunning = instance.anotherRuns;
    HWND resident = instance.running;

    const ServerCommand command =
        CommandFromSwitches(ParseSwitches(CommandLineWords(::GetCommandLineW())));
    m_nCommand = command.code;
    m_nParam = command.param;

    if (serverRunning) {
        // Every code is passed on, 0 included; the call returns once the command is carried out,
        // or gives up on a resident that is hung or takes too long.
        if (resident) {
            DWORD_PTR answer = 0;
            ::SendMessageTimeoutW(resident, WM_SERVER_COMMAND, static_cast<WPARAM>(m_nCommand),
                                  static_cast<LPARAM>(m_nParam), SMTO_BLOCK | SMTO_ABORTIFHUNG,
                                  kServerCommandTimeoutMs, &answer);
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
