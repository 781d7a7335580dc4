#include "hooklib/cbt_hook.h"

#include "hooklib/browser_ids.h"
#include "hooklib/dll_app.h"
#include "hooklib/hook_rules.h"
#include "hooklib/sub_win_table.h"
#include "support/guarded.h"

namespace lumivex::hook {

LRESULT CALLBACK CBTHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HCBT_SETFOCUS && wParam) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        wchar_t className[256] = {};
        if (GetClassNameW(window, className, 256) &&
            EqualsIgnoringAsciiCase(className, kBrowserWindowClass)) {
            // Start-up waits for a browser window: the hook enters every program of the
            // desktop, and one without a browser window must see no more than this class read.
            LumivexDllApp& app = TheApp();
            app.EnsureStarted();
            Guarded(L"", L"", [&] {
                if (app.Config().bIsProcessEnabled()) {
                    SubWinTable().AddSubWin(window);
                }
            });
        }
    }
    // Only the process that installed the hook has its handle; the platform ignores it anyway.
    return CallNextHookEx(TheApp().Hook(), nCode, wParam, lParam);
}

} // namespace lumivex::hook

using namespace lumivex::hook;

BOOL WINAPI SetIECBT() {
    return TheApp().InstallHook() ? TRUE : FALSE;
}

BOOL WINAPI ClearIECBT() {
    return TheApp().RemoveHook() ? TRUE : FALSE;
}

int WINAPI Initialize(HWND hWnd, int param1, void* param, int param2) {
    LumivexDllApp& app = TheApp();
    return lumivex::Guarded(L"", L"", 1, [&] {
        app.EnsureStarted();
        app.m_nInitParam1 = param1;
        app.m_pInitParam = param;
        app.m_nInitParam2 = param2;
        DWORD owner = 0;
        GetWindowThreadProcessId(hWnd, &owner);
        if (owner != GetCurrentProcessId()) {
            return 0;
        }
        SubWinTable().AddSubWin(hWnd);
        return 1;
    });
}
