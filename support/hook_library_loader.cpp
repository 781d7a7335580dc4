#include "support/hook_library_loader.h"

#include "support/file_assist.h"
#include "support/guarded.h"
#include "support/lumivex_names.h"
#include "support/proc_address.h"

#include <optional>
#include <string>

namespace lumivex {

namespace {

using HookExport = BOOL(WINAPI*)();

HookExport FindExport(HMODULE library, const char* name) {
    return ProcAddress<HookExport>(library, name);
}

} // namespace

BOOL CHookLibraryLoader::InstallHook(std::wstring_view folder) {
    if (!m_module) {
        if (folder.empty()) {
            return FALSE;
        }
        const std::optional<std::wstring> path = JoinWithin(folder, m_fileName, kLibraryPathChars);
        if (!path) {
            return FALSE;
        }
        m_module = ::LoadLibraryW(path->c_str());
        if (!m_module) {
            return FALSE;
        }
    }
    const HookExport setHook = FindExport(m_module, kSetHookExport);
    if (!setHook) {
        return FALSE;
    }
    // A fault inside the library must not end the program that holds the hook.
    return Guarded(L"", L"InstallHook", FALSE, [&] { return setHook(); });
}

BOOL CHookLibraryLoader::RemoveHook() {
    if (m_module) {
        if (const HookExport clearHook = FindExport(m_module, kClearHookExport)) {
            Guarded(L"", L"RemoveHook", [&] { clearHook(); });
        }
    }
    return TRUE;
}

} // namespace lumivex
