#include "app/lumivex_app.h"

#include "app/app_ids.h"
#include "app/app_rules.h"
#include "app/autostart.h"
#include "app/instance_query.h"
#include "app/set_aside_files.h"
#include "controller/core_assist.h"
#include "support/command_line.h"
#include "support/language.h"
#include "support/lumivex_names.h"
#include "support/window_query.h"
#include "update/auto_update.h"

#include <commctrl.h>

namespace lumivex::app {

namespace {

// A running first instance that hangs must not hang this one.
constexpr UINT kHandOverTimeoutMs = 5000;

} // namespace

CLumivexApp::CLumivexApp() : CWinApp(kProductName) {}

int CLumivexApp::ParseSwitches(std::vector<std::wstring>& switches) const {
    switches = lumivex::ParseSwitches(CommandLineWords(::GetCommandLineW()));
    return static_cast<int>(switches.size());
}

int CLumivexApp::RemoveAutostart() {
    DeleteAutostartValue();
    return 1;
}

bool CLumivexApp::HandOverTo(HWND runningInstance) {
    DWORD_PTR ignored = 0;
    if (!::SendMessageTimeoutW(runningInstance, WM_COMMAND, ID_OPEN_LUMIVEX, 0, SMTO_ABORTIFHUNG,
                               kHandOverTimeoutMs, &ignored)) {
        return false;
    }
    ::SetForegroundWindow(runningInstance);
    if (::IsIconic(runningInstance)) {
        ::ShowWindow(runningInstance, SW_RESTORE);
    }
    return true;
}

bool CLumivexApp::InitInstance() {
    // The tab control comes from the common controls, imported here so that the manifest's
    // version 6 is the one loaded. COM is started only while a link opens: kept for the whole
    // run it would cost memory in a program that mostly sits in the tray.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);

    const UINT queryMessage = InstanceQueryMessage();
    InstanceCheck instance = CheckSingleInstance(kMainInstanceName, queryMessage);
    m_hMutex = std::move(instance.mutex);
    const bool anotherRuns = instance.anotherRuns;
    HWND running = instance.running;

    std::vector<std::wstring> switches;
    ParseSwitches(switches);
    const StartRequest request = RequestFromSwitches(switches);
    if (request == StartRequest::Clean || request == StartRequest::Uninstall) {
        if (request == StartRequest::Clean) {
            RemoveAutostart();
        }
        if (running) {
            ::PostMessageW(running, WM_QUIT, 0, 0);
        }
        return false;
    }
    if (anotherRuns) {
        if (running) {
            HandOverTo(running);
        }
        return false;
    }

    CCoreAssist& core = GetCoreAssist();
    if (!core.bInitialize()) {
        return false;
    }
    m_bStarted = true;
    // What an installer could not replace while this program or its libraries were in use.
    RemoveSetAsideFiles(core.m_strAppDir);
    InitLanguage(L"Language", nullptr, core.m_strDataDir.c_str());

    m_pMainDlg = std::make_unique<CLumivexMain>();
    SetMainWnd(m_pMainDlg.get());
    if (!m_pMainDlg->Create()) {
        SetMainWnd(nullptr);
        m_pMainDlg.reset();
        return false;
    }
    ::ShowWindow(m_pMainDlg->GetSafeHwnd(), SW_SHOW);
    if (request == StartRequest::Minimized) {
        m_pMainDlg->ToggleVisibility();
    }
    return true;
}

int CLumivexApp::ExitInstance() {
    if (m_bStarted) {
        GetAutoUpdate().Stop();
        CCoreAssist& core = GetCoreAssist();
        core.DisableZoom(true);
        // The dialog goes before the options are saved: a quit posted by another instance
        // ("u", "clean") skipped its close, and its icon leaves the tray with the window.
        SetMainWnd(nullptr);
        m_pMainDlg.reset();
        core.bUninitialize();
    }
    m_hMutex.reset();
    return CWinApp::ExitInstance();
}

bool CLumivexApp::OnCommand(UINT id, UINT code) {
    if (id == ID_APP_EXIT && code <= 1) {
        if (fw::CWnd* main = GetMainWnd()) {
            ::SendMessageW(main->GetSafeHwnd(), WM_CLOSE, 0, 0);
        }
        return true;
    }
    return CWinApp::OnCommand(id, code);
}

} // namespace lumivex::app
