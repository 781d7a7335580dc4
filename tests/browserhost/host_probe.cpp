// A library for the browser host's tests, loaded with --load: its Initialize takes over the
// window it is given, as the hook library's does, and answers with a value made of its
// arguments so a test sees that they arrived in order and that the calling convention holds.
#include <windows.h>

namespace {

HWND g_window = nullptr;
WNDPROC g_previous = nullptr;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(g_previous, window, message, wParam, lParam);
}

} // namespace

// -1 for a window of another process; otherwise a + 10 * b, plus 1000 when p is not null.
extern "C" int WINAPI Initialize(HWND window, int a, void* p, int b) {
    DWORD owner = 0;
    if (!GetWindowThreadProcessId(window, &owner) || owner != GetCurrentProcessId()) {
        return -1;
    }
    if (!g_previous) {
        g_window = window;
        g_previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ProbeProc)));
    }
    return a + 10 * b + (p ? 1000 : 0);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    // Give the window its procedure back before our code goes away.
    if (reason == DLL_PROCESS_DETACH && g_previous && IsWindow(g_window)) {
        SetWindowLongPtrW(g_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous));
    }
    return TRUE;
}
