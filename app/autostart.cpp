#include "app/autostart.h"

#include "app/app_rules.h"
#include "support/owners.h"
#include "support/file_assist.h"

#include <windows.h>

namespace lumivex::app {

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kAutostartValueName[] = L"Lumivex";
constexpr DWORD kPathChars = MAX_PATH;

UniqueRegKey OpenRunKey(REGSAM access) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, access, key.put()) != ERROR_SUCCESS) {
        return UniqueRegKey();
    }
    return key;
}

} // namespace

void WriteAutostartValue() {
    UniqueRegKey key = OpenRunKey(KEY_SET_VALUE);
    if (!key) {
        return;
    }
    wchar_t path[kPathChars] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, kPathChars);
    // A full buffer means the name was cut: a cut path would start some other program.
    if (length == 0 || length >= kPathChars) {
        return;
    }
    const std::wstring folder = CFFileAssist().SplitPath(path, SPLIT_DRIVE | SPLIT_DIR);
    if (folder.empty()) {
        return;
    }
    const std::wstring command = AutostartCommand(folder);
    ::RegSetValueExW(key.get(), kAutostartValueName, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(command.c_str()),
                     static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

void DeleteAutostartValue() {
    if (UniqueRegKey key = OpenRunKey(KEY_SET_VALUE)) {
        ::RegDeleteValueW(key.get(), kAutostartValueName);
    }
}

bool HasAutostartValue() {
    UniqueRegKey key = OpenRunKey(KEY_QUERY_VALUE);
    if (!key) {
        return false;
    }
    // One character stays zero, so a value stored without its terminator still ends here.
    wchar_t text[kPathChars + 1] = {};
    DWORD size = kPathChars * sizeof(wchar_t);
    const LONG result = ::RegQueryValueExW(key.get(), kAutostartValueName, nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(text), &size);
    if (result == ERROR_MORE_DATA) {
        return true; // longer than the buffer, so certainly not empty
    }
    return result == ERROR_SUCCESS && text[0] != L'\0';
}

} // namespace lumivex::app
