// The floor the memory figure stands on: a bare window program that only waits for messages,
// as small as a program can be under the same platform. Ends when it is ended.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"LumivexBenchIdle";
    if (!RegisterClassW(&wc) ||
        !CreateWindowExW(0, wc.lpszClassName, L"idle", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                         nullptr, instance, nullptr)) {
        return 1;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return 0;
}
