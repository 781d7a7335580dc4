// A fresh process that times what the hook library costs it before its first focus change is
// decided, with the performance counter, from the inside:
//   hook_bench_startup <library path> <initialize|hook|enter> <bare|host> <result file>
// initialize: LoadLibraryW, the first Initialize (start-up and subclassing of a browser window),
//             then the attach message that reaches for the browser.
// hook:       LoadLibraryW, SetIECBT, then the first focus change into a browser window (the
//             hook runs start-up and decides), then a second one for comparison.
// enter:      never loads the library itself: makes a frame with two plain child windows (no
//             browser window) and moves the focus twice, as a program the hook enters does when
//             the test has installed the hook, and as any program does when not. "load" is the
//             making of the windows, in which the hook's first event maps the library. Always
//             bare.
// bare: the process has only what a small window program loads; host: it has loaded first what
// every program showing the browser control has loaded already (shell, common controls, COM).
// Writes "load=<us> first=<us> next=<us> mapped=<0|1>" to the result file (mapped: the library
// was in the process after the first focus change); exit code 0 when every step did what it
// should.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr UINT kProbeMessage = 0x81F4;
constexpr LRESULT kProbeReply = static_cast<LRESULT>(0xAF2891FAu);
constexpr UINT kAttachMessage = 0x07EC;

LARGE_INTEGER g_frequency;

double Microseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 /
           static_cast<double>(g_frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

bool Answers(HWND window) {
    return SendMessageW(window, kProbeMessage, 0, 0) == kProbeReply;
}

HWND CreateBrowserWindow(HWND parent) {
    return CreateWindowExW(0, L"Internet Explorer_Server", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100,
                           100, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Dispatches waiting messages until the attach message of `window` has been handled.
void DispatchAttach(HWND window) {
    MSG msg;
    while (PeekMessageW(&msg, window, kAttachMessage, kAttachMessage, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

bool WriteResult(const wchar_t* path, double loadUs, double firstUs, double nextUs, bool mapped) {
    char text[160];
    std::snprintf(text, sizeof text, "load=%.1f first=%.1f next=%.1f mapped=%d", loadUs, firstUs,
                  nextUs, mapped ? 1 : 0);
    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    CloseHandle(file);
    return true;
}

// A program without browser windows, timed from its first window on; whoever installed the hook
// is outside.
int Enter(const wchar_t* library, const wchar_t* result) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LumivexBenchPlain";
    RegisterClassW(&wc);
    const LARGE_INTEGER start = Now();
    HWND frame = CreateWindowExW(0, wc.lpszClassName, L"enter", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                 0, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    HWND pair[2] = {};
    for (HWND& child : pair) {
        child = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100,
                                frame, nullptr, wc.hInstance, nullptr);
    }
    SetForegroundWindow(frame);
    const LARGE_INTEGER made = Now();
    SetFocus(pair[0]);
    const LARGE_INTEGER focused = Now();
    const bool mapped = GetModuleHandleW(library) != nullptr;
    SetFocus(pair[1]);
    const LARGE_INTEGER focusedAgain = Now();
    const bool ok = frame && pair[0] && pair[1] && GetFocus() == pair[1];
    DestroyWindow(frame);
    if (!WriteResult(result, Microseconds(start, made), Microseconds(made, focused),
                     Microseconds(focused, focusedAgain), mapped)) {
        return 4;
    }
    return ok ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        return 2;
    }
    QueryPerformanceFrequency(&g_frequency);
    const std::wstring mode = argv[2];
    if (mode == L"enter") {
        return Enter(argv[1], argv[4]);
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Internet Explorer_Server";
    RegisterClassW(&wc);
    wc.lpszClassName = L"LumivexBenchFrame";
    RegisterClassW(&wc);
    HWND frame =
        CreateWindowExW(0, L"LumivexBenchFrame", L"startup", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                        300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    HWND first = CreateBrowserWindow(frame);
    HWND second = CreateBrowserWindow(frame);
    if (!frame || !first || !second) {
        return 5;
    }
    SetForegroundWindow(frame);
    SetFocus(frame);
    if (std::wstring(argv[3]) == L"host") {
        for (const wchar_t* name :
             {L"shell32.dll", L"comctl32.dll", L"ole32.dll", L"oleaut32.dll"}) {
            if (!LoadLibraryW(name)) {
                return 9;
            }
        }
    }

    const LARGE_INTEGER beforeLoad = Now();
    HMODULE library = LoadLibraryW(argv[1]);
    const LARGE_INTEGER loaded = Now();
    if (!library) {
        return 6;
    }
    double firstUs = 0, nextUs = 0;
    bool ok = true;
    if (mode == L"initialize") {
        using InitializeFunction = int(WINAPI*)(HWND, int, void*, int);
        auto initialize = reinterpret_cast<InitializeFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, "Initialize")));
        if (!initialize) {
            return 7;
        }
        const LARGE_INTEGER start = Now();
        ok = initialize(first, 0, nullptr, 0) == 1;
        const LARGE_INTEGER initialized = Now();
        DispatchAttach(first);
        const LARGE_INTEGER attached = Now();
        firstUs = Microseconds(start, initialized);
        nextUs = Microseconds(initialized, attached);
        ok = ok && Answers(first);
    } else if (mode == L"hook") {
        using HookFunction = BOOL(WINAPI*)();
        auto set = reinterpret_cast<HookFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, "SetIECBT")));
        auto clear = reinterpret_cast<HookFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, "ClearIECBT")));
        if (!set || !clear || !set()) {
            return 8;
        }
        const LARGE_INTEGER start = Now();
        SetFocus(first);
        const LARGE_INTEGER decided = Now();
        SetFocus(second);
        const LARGE_INTEGER decidedAgain = Now();
        clear();
        firstUs = Microseconds(start, decided);
        nextUs = Microseconds(decided, decidedAgain);
        ok = Answers(first) && Answers(second);
    } else {
        return 3;
    }
    const bool mapped = GetModuleHandleW(argv[1]) != nullptr;
    FreeLibrary(library);
    DestroyWindow(frame);
    if (!WriteResult(argv[4], Microseconds(beforeLoad, loaded), firstUs, nextUs, mapped)) {
        return 4;
    }
    return ok ? 0 : 1;
}
