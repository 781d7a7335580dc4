// Text rules of the language service that need no window or file: section and key forming,
// message processing, path forming. The Win32 side lives in language.h.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace lumivex {

// The section a dialog or menu is translated from: a resource identifier (0 to 65535) or a name of
// at most 31 characters. Like MAKEINTRESOURCE, a pointer whose value fits in 16 bits is taken as
// an identifier. A longer name, an empty or null name and an identifier above 65535 are refused:
// cutting a name could silently pick another dialog's texts.
class LangSection {
public:
    static constexpr std::size_t kMaxName = 31;

    // Any integer type, so UINT, DWORD, int and a plain literal 0 all pick this one.
    template <std::integral T> LangSection(T id) noexcept {
        if (std::in_range<std::uint16_t>(id)) {
            SetNumber(static_cast<std::uint16_t>(id));
        }
    }
    LangSection(const wchar_t* name) noexcept;

    bool valid() const noexcept { return m_text[0] != L'\0'; }
    // The section name as the language file spells it; empty when refused.
    const wchar_t* c_str() const noexcept { return m_text; }

private:
    void SetNumber(std::uint16_t id) noexcept;

    wchar_t m_text[kMaxName + 1] = {};
};

// Unsigned decimal, the format of every numeric section and key.
std::wstring DecimalKey(std::uint32_t value);

// A menu item's key: "<parent>|<position>" for an item that opens a submenu, else its command
// identifier in decimal. The top level's parent key is empty.
std::wstring MenuItemKey(const std::wstring& parentKey, unsigned int position, bool opensSubmenu,
                         std::uint32_t commandId);

// Controls whose text is the user's data, never a label: "Edit", "ComboBox" and "ListBox",
// compared without regard to case.
bool KeepsOwnText(const wchar_t* className) noexcept;

// Each backslash-"n" pair becomes a line feed.
std::wstring ReplaceNewlineEscapes(std::wstring text);

// A value read with GetLangMessage: "~" becomes a line feed, a grave accent ends the text,
// then backslash-"n" becomes a line feed and backslash-"t" a tab, in this order.
std::wstring ProcessLangMessage(std::wstring text);

// "<configFolder>\\Config.ini"; without a folder "<programDir>\\<languageFolder>\\Config.ini".
std::wstring ConfigFilePath(const wchar_t* configFolder, const std::wstring& programDir,
                            const std::wstring& languageFolder);

// The folder that holds the language files and the search pattern for them.
std::wstring LanguageFolderPath(const std::wstring& programDir, const std::wstring& languageFolder);
std::wstring LanguageFilePattern(const std::wstring& folderPath, const std::wstring& extension);

} // namespace lumivex
