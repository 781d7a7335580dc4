#include "support/language_text.h"

namespace lumivex {

namespace {

wchar_t AsciiLower(wchar_t c) noexcept {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualsNoCase(const wchar_t* text, const wchar_t* lowerAscii) noexcept {
    for (; *text != L'\0' && *lowerAscii != L'\0'; ++text, ++lowerAscii) {
        if (AsciiLower(*text) != *lowerAscii) {
            return false;
        }
    }
    return *text == *lowerAscii;
}

void ReplaceAll(std::wstring& text, const wchar_t* pattern, wchar_t replacement) {
    const std::wstring what = pattern;
    for (std::size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + 1)) {
        text.replace(at, what.size(), 1, replacement);
    }
}

} // namespace

LangSection::LangSection(const wchar_t* name) noexcept {
    const auto value = reinterpret_cast<std::uintptr_t>(name);
    if (name != nullptr && value <= 0xFFFF) {
        SetNumber(static_cast<std::uint16_t>(value));
        return;
    }
    if (name == nullptr) {
        return;
    }
    std::size_t length = 0;
    while (length <= kMaxName && name[length] != L'\0') {
        ++length;
    }
    if (length > kMaxName) {
        return;
    }
    for (std::size_t i = 0; i < length; ++i) {
        m_text[i] = name[i];
    }
    m_text[length] = L'\0';
}

void LangSection::SetNumber(std::uint16_t id) noexcept {
    wchar_t digits[6];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + id % 10);
        id = static_cast<std::uint16_t>(id / 10);
    } while (id != 0);
    for (int i = 0; i < count; ++i) {
        m_text[i] = digits[count - 1 - i];
    }
    m_text[count] = L'\0';
}

std::wstring DecimalKey(std::uint32_t value) {
    return std::to_wstring(value);
}

std::wstring MenuItemKey(const std::wstring& parentKey, unsigned int position, bool opensSubmenu,
                         std::uint32_t commandId) {
    if (opensSubmenu) {
        return parentKey + L"|" + std::to_wstring(position);
    }
    return DecimalKey(commandId);
}

bool KeepsOwnText(const wchar_t* className) noexcept {
    if (className == nullptr) {
        return false;
    }
    return EqualsNoCase(className, L"edit") || EqualsNoCase(className, L"combobox") ||
           EqualsNoCase(className, L"listbox");
}

std::wstring ReplaceNewlineEscapes(std::wstring text) {
    ReplaceAll(text, L"\\n", L'\n');
    return text;
}

std::wstring ProcessLangMessage(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'~') {
            c = L'\n';
        }
    }
    if (const std::size_t grave = text.find(L'`'); grave != std::wstring::npos) {
        text.erase(grave);
    }
    text = ReplaceNewlineEscapes(std::move(text));
    ReplaceAll(text, L"\\t", L'\t');
    return text;
}

std::wstring ConfigFilePath(const wchar_t* configFolder, const std::wstring& programDir,
                            const std::wstring& languageFolder) {
    if (configFolder != nullptr && *configFolder != L'\0') {
        return std::wstring(configFolder) + L"\\Config.ini";
    }
    return LanguageFolderPath(programDir, languageFolder) + L"\\Config.ini";
}

std::wstring LanguageFolderPath(const std::wstring& programDir,
                                const std::wstring& languageFolder) {
    return programDir + L"\\" + languageFolder;
}

std::wstring LanguageFilePattern(const std::wstring& folderPath, const std::wstring& extension) {
    return folderPath + L"\\*" + extension;
}

} // namespace lumivex
