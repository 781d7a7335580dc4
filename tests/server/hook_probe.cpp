// Stands in for the 64-bit hook library when a test copies it beside a copy of the server as
// LumivexDll64.dll: it records loading, its exports' calls and unloading in "hook_probe.log"
// beside itself, one line each: "ATTACH <pid>", "SET <pid>", "CLEAR <pid>", "INITIALIZE <pid>",
// "DETACH <pid>".
#include <windows.h>

#include <cstdio>

namespace {

HINSTANCE g_self = nullptr;

void Record(const char* what) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(g_self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash || wcslen(L"hook_probe.log") + (slash + 1 - path) >= MAX_PATH) {
        return;
    }
    wcscpy(slash + 1, L"hook_probe.log");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    char line[64];
    const int size = snprintf(line, sizeof line, "%s %lu\n", what, GetCurrentProcessId());
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
}

} // namespace

extern "C" {

BOOL WINAPI SetIECBT() {
    Record("SET");
    return TRUE;
}

BOOL WINAPI ClearIECBT() {
    Record("CLEAR");
    return TRUE;
}

int WINAPI Initialize(HWND, int, void*, int) {
    Record("INITIALIZE");
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        Record("ATTACH");
    } else if (reason == DLL_PROCESS_DETACH) {
        Record("DETACH");
    }
    return TRUE;
}

} // extern "C"
