// Stands in for the hook library beside a controller under test: records its loads, unloads and
// export calls in "hook_calls.log" beside itself, one line each. Built once with SetIECBT and
// once without it. With "hook_fault.txt" beside it, each export faults after recording its call.
#include <windows.h>

#include <string>

namespace {

HMODULE g_self = nullptr;
int* volatile g_nowhere = nullptr;

// `name` beside this library, as a "\\?\" path: tests also place it in folders deeper than
// MAX_PATH allows. Empty when its own name cannot be read.
std::wstring Beside(const wchar_t* name) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(g_self, path.data(), static_cast<DWORD>(path.size())));
    if (path.empty()) {
        return path;
    }
    path.erase(path.find_last_of(L'\\') + 1);
    return L"\\\\?\\" + path + name;
}

void Record(const std::string& line) {
    const std::wstring log = Beside(L"hook_calls.log");
    if (log.empty()) {
        return;
    }
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

// A fault inside an export, which the caller's guard must take.
void FaultWhenAsked() {
    if (GetFileAttributesW(Beside(L"hook_fault.txt").c_str()) != INVALID_FILE_ATTRIBUTES) {
        *g_nowhere = 1;
    }
}

} // namespace

// The value a controller's InstallHook must hand back unchanged.
constexpr BOOL kSetResult = 7;

#ifndef STAND_IN_WITHOUT_SET
extern "C" BOOL WINAPI SetIECBT() {
    Record("SetIECBT");
    FaultWhenAsked();
    return kSetResult;
}
#endif

extern "C" BOOL WINAPI ClearIECBT() {
    Record("ClearIECBT");
    FaultWhenAsked();
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
