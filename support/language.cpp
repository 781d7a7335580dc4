#include "support/language.h"

#include "support/owners.h"

#include <cwchar>
#include <vector>

// The image base of the module this code is linked into: the program, or the hook library.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace lumivex {

namespace {

constexpr DWORD kControlTextChars = 2048;
constexpr DWORD kTextChars = 1024;
constexpr DWORD kFaceChars = LF_FACESIZE; // 31 characters and the terminator
constexpr int kClassNameChars = 256;      // 255 characters and the terminator
constexpr int kMaxMenuDepth = 16;         // a menu nested deeper is left as it is

struct LanguageState {
    std::wstring languageFile; // empty: built-in texts
    UniqueFont dialogFont;
};

// Built on first use, so a lookup made during another module's static construction finds it.
LanguageState& State() {
    static LanguageState state;
    return state;
}

HMODULE OwnModule() noexcept {
    return reinterpret_cast<HMODULE>(&__ImageBase);
}

// Folder of this module's file, no trailing backslash; empty when unknown.
std::wstring OwnModuleFolder() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(OwnModule(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            const std::size_t slash = path.find_last_of(L'\\');
            return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring ReadProfileText(const wchar_t* section, const wchar_t* key, const std::wstring& file,
                             DWORD capacity) {
    std::wstring value(capacity, L'\0');
    const DWORD length =
        GetPrivateProfileStringW(section, key, L"", value.data(), capacity, file.c_str());
    value.resize(length < capacity ? length : 0);
    return value;
}

// The first file of the search whose own "Language" value is `wanted`; empty when none is.
std::wstring FindLanguageFile(const std::wstring& folder, const std::wstring& extension,
                              WORD wanted) {
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(LanguageFilePattern(folder, extension).c_str(), &data));
    if (!find) {
        return {};
    }
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            continue;
        }
        std::wstring path = folder + L"\\" + data.cFileName;
        if (path.size() >= MAX_PATH) {
            continue; // the profile functions would not open it
        }
        if (GetPrivateProfileIntW(L"Language", L"Language", 0, path.c_str()) == wanted) {
            return path;
        }
    } while (FindNextFileW(find.get(), &data));
    return {};
}

UniqueFont CreateDialogFont(const std::wstring& file) {
    wchar_t face[kFaceChars] = {};
    GetPrivateProfileStringW(L"Language", L"FontName", L"", face, kFaceChars, file.c_str());
    if (face[0] == L'\0') {
        return UniqueFont();
    }
    LOGFONTW description = {};
    wcsncpy(description.lfFaceName, face, LF_FACESIZE - 1);
    description.lfCharSet = DEFAULT_CHARSET;
    const int points =
        static_cast<int>(GetPrivateProfileIntW(L"Language", L"FontSize", 0, file.c_str()));
    if (points != 0) {
        UniqueCreatedDc display(CreateICW(L"DISPLAY", nullptr, nullptr, nullptr));
        if (display) {
            description.lfHeight = -MulDiv(points, GetDeviceCaps(display.get(), LOGPIXELSY), 72);
        }
    }
    return UniqueFont(CreateFontIndirectW(&description));
}

struct DialogPass {
    const wchar_t* file;
    const wchar_t* section;
    HFONT font;
};

// Runs inside EnumChildWindows, so it works on fixed buffers and cannot throw.
void TranslateWindow(HWND window, const DialogPass& pass) noexcept {
    wchar_t className[kClassNameChars] = {};
    GetClassNameW(window, className, kClassNameChars);
    if (!KeepsOwnText(className)) {
        wchar_t key[16] = {};
        swprintf(key, 16, L"%u", static_cast<unsigned>(GetDlgCtrlID(window)));
        wchar_t text[kControlTextChars] = {};
        if (GetPrivateProfileStringW(pass.section, key, L"", text, kControlTextChars, pass.file) >
            0) {
            SetWindowTextW(window, text);
        }
    }
    if (pass.font) {
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(pass.font), FALSE);
    }
}

BOOL CALLBACK TranslateChild(HWND child, LPARAM pass) noexcept {
    TranslateWindow(child, *reinterpret_cast<const DialogPass*>(pass));
    return TRUE;
}

void TranslateMenuLevel(HMENU menu, const std::wstring& parentKey, const wchar_t* section,
                        const std::wstring& file, int depth) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item)) {
            continue;
        }
        // An item that opens a submenu has no command identifier of its own (GetMenuItemID
        // answers -1), so only plain items can be placeholders with identifier 0.
        const bool opensSubmenu = item.hSubMenu != nullptr;
        if (!opensSubmenu && item.wID == 0) {
            continue;
        }
        std::wstring key =
            MenuItemKey(parentKey, static_cast<unsigned>(position), opensSubmenu, item.wID);
        if (!(item.fType & MFT_SEPARATOR)) {
            std::wstring text = ReadProfileText(section, key.c_str(), file, kControlTextChars);
            if (!text.empty()) {
                // Only the type and text change: the submenu, the check and enabled state stay.
                MENUITEMINFOW change = {};
                change.cbSize = sizeof change;
                change.fMask = MIIM_FTYPE | MIIM_STRING;
                change.fType = item.fType & ~static_cast<UINT>(MFT_BITMAP | MFT_OWNERDRAW);
                change.dwTypeData = text.data();
                SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &change);
            }
        }
        if (opensSubmenu && depth < kMaxMenuDepth) {
            TranslateMenuLevel(item.hSubMenu, key, section, file, depth + 1);
        }
    }
}

// The value of `key` in section "Text"; empty without a language file or value.
std::wstring TextValue(const wchar_t* key) {
    const LanguageState& state = State();
    if (state.languageFile.empty() || key == nullptr) {
        return {};
    }
    return ReadProfileText(L"Text", key, state.languageFile, kTextChars);
}

std::wstring Fallback(const wchar_t* defaultText) {
    return defaultText != nullptr ? std::wstring(defaultText) : std::wstring();
}

bool Given(const wchar_t* text) noexcept {
    return text != nullptr && *text != L'\0';
}

} // namespace

WORD InitLanguage(const wchar_t* languageFolder, const wchar_t* extension,
                  const wchar_t* configFolder) {
    LanguageState& state = State();
    state.languageFile.clear();
    state.dialogFont.reset();

    const std::wstring folderName = Given(languageFolder) ? languageFolder : L"Language";
    const std::wstring fileExtension = Given(extension) ? extension : L".lng";
    const std::wstring programDir = OwnModuleFolder();
    if (programDir.empty()) {
        return 0;
    }
    const std::wstring configFile = ConfigFilePath(configFolder, programDir, folderName);
    const WORD wanted = LOWORD(
        GetPrivateProfileIntW(L"Main", L"Language", GetUserDefaultLangID(), configFile.c_str()));
    if (wanted == 0) {
        return 0;
    }
    std::wstring file =
        FindLanguageFile(LanguageFolderPath(programDir, folderName), fileExtension, wanted);
    if (file.empty()) {
        return 0;
    }
    WritePrivateProfileStringW(L"Main", L"Language",
                               std::to_wstring(static_cast<int>(wanted)).c_str(),
                               configFile.c_str());
    state.dialogFont = CreateDialogFont(file);
    state.languageFile = std::move(file);
    return wanted;
}

void TranslateDialog(HWND window, LangSection section) {
    const LanguageState& state = State();
    // EnumChildWindows on a null window would walk every top-level window of the desktop.
    if (state.languageFile.empty() || !section.valid() || window == nullptr || !IsWindow(window)) {
        return;
    }
    const DialogPass pass{state.languageFile.c_str(), section.c_str(), state.dialogFont.get()};
    TranslateWindow(window, pass);
    EnumChildWindows(window, TranslateChild, reinterpret_cast<LPARAM>(&pass));
}

void TranslateMenu(HMENU menu, LangSection section) {
    const LanguageState& state = State();
    if (state.languageFile.empty() || !section.valid() || menu == nullptr || !IsMenu(menu)) {
        return;
    }
    TranslateMenuLevel(menu, std::wstring(), section.c_str(), state.languageFile, 0);
}

std::wstring GetLangText(const wchar_t* key, const wchar_t* defaultText) {
    std::wstring value = TextValue(key);
    return value.empty() ? Fallback(defaultText) : value;
}

std::wstring GetLangMessage(const wchar_t* key, const wchar_t* defaultText) {
    std::wstring value = TextValue(key);
    return value.empty() ? Fallback(defaultText) : ProcessLangMessage(std::move(value));
}

std::wstring LoadLangString(UINT id) {
    const LanguageState& state = State();
    std::wstring text;
    if (!state.languageFile.empty()) {
        text = ReadProfileText(L"String", DecimalKey(id).c_str(), state.languageFile, kTextChars);
    }
    if (text.empty() && id <= 0xFFFF) {
        wchar_t buffer[kTextChars] = {};
        const int length = LoadStringW(OwnModule(), id, buffer, static_cast<int>(kTextChars));
        if (length > 0) {
            text.assign(buffer, static_cast<std::size_t>(length));
        }
    }
    return ReplaceNewlineEscapes(std::move(text));
}

HFONT LanguageDialogFont() noexcept {
    return State().dialogFont.get();
}

} // namespace lumivex
