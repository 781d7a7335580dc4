// The hook library as its loaders hold it: the main program's controller and the 64-bit server
// each load theirs once, by its full path, keep it for good and call its exports inside a guard.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>

namespace lumivex {

// The buffer a library's full path must fit, terminating zero included.
constexpr std::size_t kLibraryPathChars = 260;

class CHookLibraryLoader {
public:
    // `fileName`: the library's file name (kHookLibraryName, kHookLibrary64Name); not copied.
    constexpr explicit CHookLibraryLoader(const wchar_t* fileName) noexcept
        : m_fileName(fileName) {}
    // Leaves the library loaded: the platform may still be calling into it.
    ~CHookLibraryLoader() = default;
    CHookLibraryLoader(const CHookLibraryLoader&) = delete;
    CHookLibraryLoader& operator=(const CHookLibraryLoader&) = delete;

    // Loads "<folder><fileName>" unless it is loaded already, then calls SetIECBT: its result.
    // FALSE when `folder` is empty (never a load by bare name), the path does not fit
    // kLibraryPathChars, the library or the export is missing, or the export faulted. A load that
    // failed is tried again at the next call.
    BOOL InstallHook(std::wstring_view folder);
    // Calls ClearIECBT when the library is loaded, ignoring its result. Always TRUE; the library
    // stays loaded.
    BOOL RemoveHook();

    // Null until the first successful load, then that library's module until the process ends.
    constexpr const HMODULE& Module() const noexcept { return m_module; }

private:
    const wchar_t* m_fileName;
    HMODULE m_module = nullptr;
};

} // namespace lumivex
