#include "host_library.h"

#include "event_log.h"
#include "host_command.h"

#include "support/owners.h"

#include <mutex>

namespace lumivex::browserhost {

namespace {

// The export our hook library offers for hosts that hand it a window directly.
using InitializeFunction = int(WINAPI*)(HWND, int, void*, int);

struct LoadedLibrary {
    std::mutex lock;
    UniqueModule module;
    std::wstring path;
    std::wstring lastPath; // kept after "freelib", for "mapped"
};

LoadedLibrary& Loaded() {
    // Never destroyed: unloading belongs to "freelib" and to the end of the process.
    static LoadedLibrary* loaded = new LoadedLibrary();
    return *loaded;
}

} // namespace

bool LoadHostLibrary(const std::wstring& path) {
    LoadedLibrary& loaded = Loaded();
    std::lock_guard<std::mutex> guard(loaded.lock);
    UniqueModule module(LoadLibraryW(path.c_str()));
    if (!module) {
        const DWORD error = GetLastError();
        HostLog().Write("ERROR", FieldList()
                                     .Add("text", "LoadLibraryW failed")
                                     .Add("path", Utf8(path))
                                     .Add("error", error));
        return false;
    }
    HostLog().Write("LOADED",
                    FieldList().Add("path", Utf8(path)).Add("module", WindowText(module.get())));
    loaded.module = std::move(module);
    loaded.path = path;
    loaded.lastPath = path;
    return true;
}

bool FreeHostLibrary() {
    LoadedLibrary& loaded = Loaded();
    std::lock_guard<std::mutex> guard(loaded.lock);
    if (!loaded.module) {
        return false;
    }
    HMODULE module = loaded.module.release();
    const BOOL freed = FreeLibrary(module);
    HostLog().Write("FREELIB",
                    FieldList()
                        .Add("path", Utf8(loaded.path))
                        .Add("result", freed ? 1 : 0)
                        .Add("still_mapped", GetModuleHandleW(loaded.path.c_str()) ? 1 : 0));
    loaded.path.clear();
    return freed != FALSE;
}

bool LastLibraryMapped() {
    LoadedLibrary& loaded = Loaded();
    std::lock_guard<std::mutex> guard(loaded.lock);
    return !loaded.lastPath.empty() && GetModuleHandleW(loaded.lastPath.c_str()) != nullptr;
}

std::intptr_t CallInitialize(HWND window, int a, void* p, int b) {
    InitializeFunction initialize = nullptr;
    {
        LoadedLibrary& loaded = Loaded();
        std::lock_guard<std::mutex> guard(loaded.lock);
        if (!loaded.module) {
            return kReplyNoLibrary;
        }
        FARPROC found = GetProcAddress(loaded.module.get(), "Initialize");
        if (!found) {
            return kReplyNoExport;
        }
        initialize = reinterpret_cast<InitializeFunction>(reinterpret_cast<void (*)()>(found));
    }
    // Called without the lock: the library may send messages that run other commands.
    return initialize(window, a, p, b);
}

} // namespace lumivex::browserhost
