// The language service: dialog, menu and message texts from a language file chosen by
// "Config.ini", over one process-wide state. Until InitLanguage has found a language file every
// operation leaves texts alone and returns the built-in ones; the hook library relies on this, as
// it never initialises the service. User-interface thread only.
#pragma once

#include "support/language_text.h"

#include <windows.h>

#include <string>

namespace lumivex {

// Chooses the language. Null or empty arguments select the defaults: the folder "Language" beside
// the program, the extension ".lng", and "Config.ini" inside that language folder. Each call
// starts from nothing: it forgets the previous language file and deletes the previous dialog
// font. Returns the identifier of the language in use, 0 for built-in texts.
WORD InitLanguage(const wchar_t* languageFolder, const wchar_t* extension,
                  const wchar_t* configFolder);

// Replaces the texts of `window` and all its descendants from `section` (keys: control
// identifiers; the window's own identifier for itself) and gives each the dialog font.
void TranslateDialog(HWND window, LangSection section);

// Replaces the texts of the menu's items, submenus included (keys: command identifiers, and
// "|<position>" paths for items that open a submenu).
void TranslateMenu(HMENU menu, LangSection section);

// The value of `key` in section "Text", or `defaultText` when there is none.
std::wstring GetLangText(const wchar_t* key, const wchar_t* defaultText);

// As GetLangText, with a value from the language file processed by ProcessLangMessage.
std::wstring GetLangMessage(const wchar_t* key, const wchar_t* defaultText);

// Section "String" of the language file, else the string table of the module this code is linked
// into (the hook library's own, not the host program's); "\\n" becomes a line feed.
std::wstring LoadLangString(UINT id);

// The dialog font of the current language, null when none.
HFONT LanguageDialogFont() noexcept;

} // namespace lumivex
