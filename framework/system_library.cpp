#include "framework/system_library.h"

#include <cwchar>

namespace lumivex::fw {

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    HMODULE library = ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library || ::GetLastError() != ERROR_INVALID_PARAMETER) {
        return library;
    }
    // Systems without the search flags: name the system folder explicitly.
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + std::wcslen(fileName) >= MAX_PATH) {
        return nullptr;
    }
    wcscat_s(path, L"\\");
    wcscat_s(path, fileName);
    return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace lumivex::fw
