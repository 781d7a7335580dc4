#include "server/hook_library.h"

#include "support/file_assist.h"
#include "support/guarded.h"

namespace {

// Loaded once and never released: programs of the other bitness reach the hook through this
// process, and the platform may still be calling into the library.
HMODULE g_hHookLib = nullptr;

using HookExport = BOOL(WINAPI*)();

HookExport FindExport(const char* name) {
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<HookExport>(
        reinterpret_cast<void (*)()>(::GetProcAddress(g_hHookLib, name)));
}

std::wstring OwnProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

namespace lumivex::server {

std::wstring HookLibraryPath() {
    const std::wstring folder = CFFileAssist().SplitPath(OwnProgramPath(), SPLIT_DRIVE | SPLIT_DIR);
    if (folder.empty()) {
        return {};
    }
    return folder + kHookLibraryName;
}

BOOL InstallHook() {
    if (!g_hHookLib) {
        const std::wstring path = HookLibraryPath();
        if (path.empty()) {
            return FALSE;
        }
        g_hHookLib = ::LoadLibraryW(path.c_str());
        if (!g_hHookLib) {
            return FALSE;
        }
    }
    const HookExport setHook = FindExport("SetIECBT");
    if (!setHook) {
        return FALSE;
    }
    // A fault inside the library must not end the resident server.
    return Guarded(L"", L"InstallHook", FALSE, [&] { return setHook(); });
}

BOOL RemoveHook() {
    if (g_hHookLib) {
        if (const HookExport clearHook = FindExport("ClearIECBT")) {
            Guarded(L"", L"RemoveHook", [&] { clearHook(); });
        }
    }
    return TRUE;
}

} // namespace lumivex::server
