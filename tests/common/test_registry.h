// Registry values for tests: read back exactly as stored (type and bytes), written and removed.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace lumivex::test {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::string bytes; // as stored, terminator included when the writer counted it
    // The bytes as UTF-16 text, one trailing zero dropped.
    std::wstring Text() const;
};

// Nothing when the key or the value does not exist.
std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::wstring& key,
                                               const std::wstring& name);
// REG_SZ with the terminator counted; creates the key. Empty `name`: the key's default value.
bool WriteRegistryText(HKEY root, const std::wstring& key, const std::wstring& name,
                       const std::wstring& text);
// True when the value is gone afterwards (also when it never existed).
bool DeleteRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name);

} // namespace lumivex::test
