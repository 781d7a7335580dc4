// Application objects: exactly one per module (program or library), constructed as a static
// object. A program's object runs start-up, the message loop and exit; a library's object hears
// load and unload from DllMain and runs its start-up once, at first use, outside the loader lock.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

namespace lumivex::fw {

class CWnd;

// Instance handle of the module this copy of the framework is linked into.
HINSTANCE ModuleInstance() noexcept;

class CAppBase {
public:
    explicit CAppBase(const wchar_t* appName = L"");
    virtual ~CAppBase();
    CAppBase(const CAppBase&) = delete;
    CAppBase& operator=(const CAppBase&) = delete;

    HINSTANCE GetInstance() const noexcept { return m_hInstance; }
    const std::wstring& GetAppName() const noexcept { return m_strAppName; }

    // A WM_COMMAND that no dialog handled. True: handled.
    virtual bool OnCommand(UINT id, UINT code);

protected:
    HINSTANCE m_hInstance;
    std::wstring m_strAppName;
};

// The module's application object, or null when the module has none.
CAppBase* GetApp() noexcept;

// The application object of a program.
class CWinApp : public CAppBase {
public:
    explicit CWinApp(const wchar_t* appName = L"");
    ~CWinApp() override;

    // Start-up operation. True: run the message loop; false: end at once (ExitInstance still runs).
    virtual bool InitInstance() { return true; }
    // Exit operation, after the message loop or a refused start-up: the program's exit code.
    // Here: the code of WM_QUIT, 0 when there was none.
    virtual int ExitInstance() { return m_nExitCode; }
    // The message loop until WM_QUIT, then ExitInstance.
    virtual int Run();
    // Gets and handles one message (waiting for it); false when it was WM_QUIT.
    bool PumpMessage();
    // Offers a message to the pre-translation hooks of its window and the window's ancestors,
    // innermost first, up to the top-level window. Modeless dialogs get their dialog keyboard
    // handling here. True: handled, do not dispatch.
    virtual bool PreTranslateMessage(MSG* msg);

    CWnd* GetMainWnd() const noexcept { return m_pMainWnd; }
    void SetMainWnd(CWnd* window) noexcept { m_pMainWnd = window; }
    int GetShowCommand() const noexcept { return m_nCmdShow; }
    int GetExitCode() const noexcept { return m_nExitCode; }

private:
    friend int RunApplication(HINSTANCE instance, int showCommand);
    CWnd* m_pMainWnd = nullptr;
    int m_nCmdShow = SW_SHOWDEFAULT;
    int m_nExitCode = 0;
};

CWinApp* GetWinApp() noexcept;

// Program entry: start-up, message loop, exit; returns the exit code (-1 without an app object).
int RunApplication(HINSTANCE instance, int showCommand);

// The application object of a shared library.
//
// OnLoad and OnUnload run inside DllMain, under the platform's loader lock: they must not load
// libraries, call the shell or COM, wait for other threads or touch windows of other threads.
// Everything else belongs in OnStartup, which EnsureStarted runs once, at first use.
class CDllApp : public CAppBase {
public:
    explicit CDllApp(const wchar_t* appName = L"");
    ~CDllApp() override;

    // Runs OnStartup once for the process, whichever thread comes first; the others wait for it.
    // Every call returns OnStartup's result. Called from within OnStartup it returns false at once.
    bool EnsureStarted();
    bool IsStarted() const noexcept { return m_started.load(); }

protected:
    virtual bool OnLoad() { return true; } // false refuses the load
    virtual bool OnStartup() { return true; }
    // `processTerminating`: the process is ending (other threads are already gone) rather than
    // the library being freed from a live process.
    virtual void OnUnload(bool processTerminating) { (void)processTerminating; }

private:
    friend BOOL DllMainEntry(HINSTANCE instance, DWORD reason, LPVOID reserved);
    static BOOL CALLBACK StartOnce(PINIT_ONCE once, PVOID self, PVOID* context);

    INIT_ONCE m_once = INIT_ONCE_STATIC_INIT;
    std::atomic<bool> m_started{false};
    std::atomic<DWORD> m_startingThread{0};
    bool m_startResult = false;
};

CDllApp* GetDllApp() noexcept;

// Library entry: routes load and unload to the library's application object.
BOOL DllMainEntry(HINSTANCE instance, DWORD reason, LPVOID reserved);

} // namespace lumivex::fw

// Defines the program's entry point. Use once, in the program's source, at global scope.
#define LUMIVEX_FW_WINMAIN()                                                                       \
    int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {                    \
        return ::lumivex::fw::RunApplication(instance, showCommand);                               \
    }

// Defines the library's DllMain. Use once, in the library's source, at global scope.
#define LUMIVEX_FW_DLLMAIN()                                                                       \
    extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {            \
        return ::lumivex::fw::DllMainEntry(instance, reason, reserved);                            \
    }
