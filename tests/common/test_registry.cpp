#include "test_registry.h"

#include "support/owners.h"

namespace lumivex::test {

std::wstring RegistryValue::Text() const {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    bytes.copy(reinterpret_cast<char*>(text.data()), text.size() * sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::wstring& key,
                                               const std::wstring& name) {
    UniqueRegKey opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, opened.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value;
    DWORD size = 0;
    if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(size);
    if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, &value.type,
                         reinterpret_cast<BYTE*>(value.bytes.data()), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(size);
    return value;
}

bool WriteRegistryText(HKEY root, const std::wstring& key, const std::wstring& name,
                       const std::wstring& text) {
    UniqueRegKey opened;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, opened.put(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(opened.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), size) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    UniqueRegKey opened;
    const LSTATUS open = RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, opened.put());
    if (open == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (open != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS removed = RegDeleteValueW(opened.get(), name.c_str());
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

} // namespace lumivex::test
