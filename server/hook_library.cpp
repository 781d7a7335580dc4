#include "server/hook_library.h"

#include "support/file_assist.h"
#include "support/hook_library_loader.h"
#include "support/lumivex_names.h"

#include <string>

namespace lumivex::server {

namespace {

// Loaded once and never released: programs of the other bitness reach the hook through this
// process, and the platform may still be calling into the library.
constinit CHookLibraryLoader g_hookLibrary(kHookLibrary64Name);

// Drive and folder of this program's file, with the trailing backslash; empty when they cannot be
// worked out. A cut name would give a wrong folder, so a name that does not fit gives none.
std::wstring OwnProgramFolder() {
    wchar_t path[kLibraryPathChars] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, kLibraryPathChars);
    if (length == 0 || length >= kLibraryPathChars) {
        return {};
    }
    return CFFileAssist().SplitPath(path, SPLIT_DRIVE | SPLIT_DIR);
}

} // namespace

BOOL InstallHook() {
    // Without a folder the loader loads nothing.
    return g_hookLibrary.InstallHook(OwnProgramFolder());
}

BOOL RemoveHook() {
    return g_hookLibrary.RemoveHook();
}

} // namespace lumivex::server
