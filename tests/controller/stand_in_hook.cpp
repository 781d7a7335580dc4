// Stands in for the hook library beside a controller under test: records its loads, unloads and
// export calls in "hook_calls.log" beside itself, one line each. Built once with SetIECBT and
// once without it.
#include <windows.h>

#include <string>

namespace {

HMODULE g_self = nullptr;

void Record(const std::string& line) {
    // Tests also place this library in folders deeper than MAX_PATH allows.
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(g_self, path.data(), static_cast<DWORD>(path.size())));
    if (path.empty()) {
        return;
    }
    std::wstring log = L"\\\\?\\" + path;
    log.erase(log.find_last_of(L'\\') + 1);
    log += L"hook_calls.log";
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

// The value a controller's InstallHook must hand back unchanged.
constexpr BOOL kSetResult = 7;

#ifndef STAND_IN_WITHOUT_SET
extern "C" BOOL WINAPI SetIECBT() {
    Record("SetIECBT");
    return kSetResult;
}
#endif

extern "C" BOOL WINAPI ClearIECBT() {
    Record("ClearIECBT");
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        Record("load");
    } else if (reason == DLL_PROCESS_DETACH) {
        // A null `reserved` means FreeLibrary; otherwise the process is ending.
        Record(reserved ? "unload at exit" : "unload by FreeLibrary");
    }
    return TRUE;
}
