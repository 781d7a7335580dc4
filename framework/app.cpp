#include "framework/app.h"

#include "framework/wnd.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace lumivex::fw {

namespace {
// Constant-initialised, so they are valid before any static constructor runs.
CAppBase* g_app = nullptr;
CWinApp* g_winApp = nullptr;
CDllApp* g_dllApp = nullptr;
} // namespace

HINSTANCE ModuleInstance() noexcept {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

CAppBase::CAppBase(const wchar_t* appName)
    : m_hInstance(ModuleInstance()), m_strAppName(appName ? appName : L"") {
    if (!g_app) {
        g_app = this;
    }
}

CAppBase::~CAppBase() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

bool CAppBase::OnCommand(UINT, UINT) {
    return false;
}

CAppBase* GetApp() noexcept {
    return g_app;
}

CWinApp::CWinApp(const wchar_t* appName) : CAppBase(appName) {
    if (!g_winApp) {
        g_winApp = this;
    }
}

CWinApp::~CWinApp() {
    if (g_winApp == this) {
        g_winApp = nullptr;
    }
}

CWinApp* GetWinApp() noexcept {
    return g_winApp;
}

bool CWinApp::PumpMessage() {
    MSG msg;
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        if (got == 0) {
            m_nExitCode = static_cast<int>(msg.wParam);
        }
        return false;
    }
    if (!PreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

int CWinApp::Run() {
    while (PumpMessage()) {
    }
    return ExitInstance();
}

bool CWinApp::PreTranslateMessage(MSG* msg) {
    for (HWND window = msg->hwnd; window; window = ::GetAncestor(window, GA_PARENT)) {
        if (CWnd* object = CWnd::FromHandle(window); object && object->PreTranslateMessage(msg)) {
            return true;
        }
        // GetParent would go on to a popup's owner; the walk ends at the top-level window.
        if (!(::GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) {
            break;
        }
    }
    return false;
}

int RunApplication(HINSTANCE instance, int showCommand) {
    CWinApp* app = GetWinApp();
    if (!app) {
        return -1;
    }
    app->m_hInstance = instance;
    app->m_nCmdShow = showCommand;
    return app->InitInstance() ? app->Run() : app->ExitInstance();
}

CDllApp::CDllApp(const wchar_t* appName) : CAppBase(appName) {
    if (!g_dllApp) {
        g_dllApp = this;
    }
}

CDllApp::~CDllApp() {
    if (g_dllApp == this) {
        g_dllApp = nullptr;
    }
}

CDllApp* GetDllApp() noexcept {
    return g_dllApp;
}

BOOL CALLBACK CDllApp::StartOnce(PINIT_ONCE, PVOID self, PVOID*) {
    auto* app = static_cast<CDllApp*>(self);
    app->m_startingThread = ::GetCurrentThreadId();
    bool result = false;
    try {
        result = app->OnStartup();
    } catch (...) {
        result = false;
    }
    app->m_startResult = result;
    app->m_startingThread = 0;
    app->m_started = true;
    // Done even when start-up failed: it runs once, it is not retried at every use.
    return TRUE;
}

bool CDllApp::EnsureStarted() {
    if (m_started.load()) {
        return m_startResult;
    }
    if (m_startingThread.load() == ::GetCurrentThreadId()) {
        return false; // OnStartup itself asked; waiting for ourselves would never end
    }
    if (!::InitOnceExecuteOnce(&m_once, &CDllApp::StartOnce, this, nullptr)) {
        return false;
    }
    return m_startResult;
}

BOOL DllMainEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    CDllApp* app = GetDllApp();
    if (!app) {
        return TRUE;
    }
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        app->m_hInstance = instance;
        return app->OnLoad() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        app->OnUnload(reserved != nullptr);
        break;
    default:
        break;
    }
    return TRUE;
}

} // namespace lumivex::fw
