// The German language file as shipped beside the program: every text the program shows from its
// dialogs, its tray menu and its text keys has a German entry, none is left in English, no entry
// names a control or key the program does not have, mnemonics survive and stay distinct, and the
// language service itself picks the file. Also the program icon's sizes. The program is opened as
// data: the platform's own dialog and menu loaders build what it shows, none of its code runs.
#include "test_files.h"
#include "test_windows.h"

#include "app/app_ids.h"
#include "support/owners.h"
#include "support/language.h"
#include "support/language_text.h"
#include "support/lumivex_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumivex::test {
namespace {

using testing::IsEmpty;
using testing::UnorderedElementsAre;

constexpr WORD kGerman = 1031;
constexpr WORD kDialogs[] = {IDD_LUMIVEX_DIALOG, IDD_FIND_WIN, IDD_PROGRAMS, IDD_ABOUT_LUMIVEX};

// Controls whose template text the program replaces at run time, or that show only the product
// name and version: they need no entry.
const std::set<std::pair<WORD, int>> kSetByProgram = {
    {IDD_LUMIVEX_DIALOG, IDC_VERSION_LABEL}, {IDD_FIND_WIN, IDC_HELP_TEXT},
    {IDD_ABOUT_LUMIVEX, IDC_VERSION_LABEL},  {IDD_ABOUT_LUMIVEX, IDC_LEGAL_NOTICE},
    {IDD_ABOUT_LUMIVEX, IDC_HOME_PAGE_LINK}, {IDD_ABOUT_LUMIVEX, IDC_SUPPORT_LINK},
};

// Keys of section "Text" the program asks for, with the start of each built-in text: an entry that
// begins like it was left in English.
const std::map<std::wstring, std::wstring> kTextKeys = {
    {L"5", L"Error Occur!"},
    {L"10", L"Lumivex Update"},
    {L"11", L"New version of Lumivex is available"},
    {L"15", L"Full Page Zoom"},
    {L"17", L"About"},
    {L"24", L"Full page zoom would be added"},
    {L"30", L"Programs"},
    {L"31", L"Program"},
    {L"32", L"Default zoom"},
};

// An RT_GROUP_ICON resource: this header, then one record per image.
struct GroupIconHeader {
    WORD reserved;
    WORD type; // 1: icons
    WORD count;
};
#pragma pack(push, 2)
struct GroupIconRecord {
    BYTE width; // 0 stands for 256
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD iconId; // the RT_ICON resource holding the image
};
#pragma pack(pop)
static_assert(sizeof(GroupIconHeader) == 6 && sizeof(GroupIconRecord) == 14);

// A text the program shows from a template, with what the language file must say about it.
struct Shown {
    std::wstring section;
    std::wstring key;
    std::wstring builtIn;
    const wchar_t* keyboard; // the labels it shares mnemonics with; null: it shows none
};

std::string_view ResourceData(HMODULE module, const wchar_t* type, WORD id) {
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string_view(data, SizeofResource(module, info)) : std::string_view();
}

// Key names of one section, or the section names, as the profile functions list them.
std::vector<std::wstring> ProfileNames(const std::wstring& file, const wchar_t* section) {
    constexpr DWORD kCapacity = 1 << 16; // far above the file's size: nothing is cut
    std::vector<wchar_t> buffer(kCapacity, L'\0');
    if (section) {
        GetPrivateProfileStringW(section, nullptr, L"", buffer.data(), kCapacity, file.c_str());
    } else {
        GetPrivateProfileSectionNamesW(buffer.data(), kCapacity, file.c_str());
    }
    std::vector<std::wstring> names;
    for (const wchar_t* name = buffer.data(); *name; name += names.back().size() + 1) {
        names.emplace_back(name);
    }
    return names;
}

// "[section] key "text"" for failure lists; empty parts are left out.
std::string Where(const std::wstring& section, const std::wstring& key = L"",
                  const std::wstring& text = L"") {
    return Narrow(L"[" + section + L"]" + (key.empty() ? L"" : L" " + key) +
                  (text.empty() ? L"" : L" \"" + text + L"\""));
}

// The mnemonic of a label: the character after a single "&", 0 when none.
wchar_t Mnemonic(const std::wstring& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'&') {
            if (text[i + 1] != L'&') {
                return static_cast<wchar_t>(std::towupper(text[i + 1]));
            }
            ++i;
        }
    }
    return 0;
}

class GermanLanguage : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_program) << Narrow(m_programPath);
        ASSERT_TRUE(FileExists(m_file)) << Narrow(m_file);
        // The main dialog holds a tab control and the programs page a list, classes the common
        // controls register.
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&classes));
        for (WORD id : kDialogs) {
            ASSERT_NO_FATAL_FAILURE(AddDialog(id));
        }
        UniqueMenu menu(LoadMenuW(m_program.get(), MAKEINTRESOURCEW(IDR_TASKBAR_MENU)));
        ASSERT_TRUE(menu);
        ASSERT_NO_FATAL_FAILURE(AddMenu(menu.get(), L""));
    }

    // Creates the dialog hidden, as the dialog manager builds it from the template, and takes its
    // caption and the labels the program does not set itself.
    void AddDialog(WORD id) {
        const std::wstring section = DecimalKey(id);
        // The pages are child templates; the parent is declared first so it outlives the dialog.
        UniqueWindow parent(CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 400, 300, nullptr,
                                            nullptr, GetModuleHandleW(nullptr), nullptr));
        UniqueWindow dialog(
            CreateDialogParamW(m_program.get(), MAKEINTRESOURCEW(id), parent.get(), nullptr, 0));
        ASSERT_TRUE(parent && dialog) << id << ": " << GetLastError();
        Add(section, L"0", WindowText(dialog.get()), nullptr);
        HWND child = GetWindow(dialog.get(), GW_CHILD);
        ASSERT_NE(child, nullptr) << id;
        for (; child; child = GetWindow(child, GW_HWNDNEXT)) {
            const int control = GetDlgCtrlID(child);
            const std::wstring key = DecimalKey(static_cast<std::uint32_t>(control));
            m_known[section].insert(key); // even set by the program, an entry is harmless
            wchar_t className[256] = {};
            GetClassNameW(child, className, 256);
            const bool isStatic =
                CompareStringOrdinal(className, -1, L"Static", -1, TRUE) == CSTR_EQUAL;
            const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
            const DWORD type = style & SS_TYPEMASK;
            // Labels only: not the user's data, not an icon or a picture.
            if (KeepsOwnText(className) || (isStatic && (type == SS_ICON || type == SS_BITMAP)) ||
                kSetByProgram.contains({id, control})) {
                continue;
            }
            // The pages sit inside the main dialog: one keyboard for all their labels.
            Add(section, key, WindowText(child),
                isStatic && (style & SS_NOPREFIX) ? nullptr : L"dialogs");
        }
    }

    // Every item of the menu, each popup before its own items, keyed as the language file is.
    void AddMenu(HMENU menu, const std::wstring& parentKey) {
        const int count = GetMenuItemCount(menu);
        ASSERT_GT(count, 0) << Narrow(parentKey);
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = 256;
            ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info));
            const bool popup = info.hSubMenu != nullptr;
            const std::wstring key =
                MenuItemKey(parentKey, static_cast<unsigned>(i), popup, info.wID);
            if (!(info.fType & MFT_SEPARATOR)) {
                Add(DecimalKey(IDR_TASKBAR_MENU), key, text, popup ? nullptr : L"menu");
            }
            if (popup) {
                ASSERT_NO_FATAL_FAILURE(AddMenu(info.hSubMenu, key));
            }
        }
    }

    void Add(const std::wstring& section, const std::wstring& key, const std::wstring& text,
             const wchar_t* keyboard) {
        m_shown.push_back({section, key, text, keyboard});
        m_known[section].insert(key);
    }

    std::wstring Entry(const std::wstring& section, const std::wstring& key) const {
        wchar_t value[4096] = {}; // above the service's 2048, so a cut would show
        GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", value, 4096, m_file.c_str());
        return value;
    }

    const std::wstring m_programPath = ProgramDir() + L"\\" + kMainProgramName;
    const std::wstring m_file = ProgramDir() + L"\\Language\\German.lng";
    const UniqueModule m_program{LoadLibraryExW(
        m_programPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)};
    std::vector<Shown> m_shown; // texts from the templates
    // Sections and keys the program reads; "Language" names the file's own language.
    std::map<std::wstring, std::set<std::wstring>> m_known = {{L"Language", {L"Language"}}};
};

TEST_F(GermanLanguage, FileIsUtf16NamesGermanAndSetsNoFont) {
    const std::string bytes = ReadFileBytes(m_file);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "the profile functions read UTF-16 by its BOM";
    EXPECT_EQ(Entry(L"Language", L"Language"), std::to_wstring(kGerman));
    EXPECT_EQ(Entry(L"Language", L"FontName"), L"");
    // The support address is the build's, never a translator's.
    EXPECT_EQ(Entry(L"String", DecimalKey(IDS_SUPPORT_ADDRESS)), L"");
}

TEST_F(GermanLanguage, EveryShownDialogAndMenuTextIsTranslated) {
    std::vector<std::string> missing;
    std::vector<std::string> english;
    for (const Shown& text : m_shown) {
        // The product's name reads the same in German.
        if (text.builtIn.empty() || text.builtIn == kProductName) {
            continue;
        }
        const std::wstring german = Entry(text.section, text.key);
        if (german.empty() || german == text.builtIn) {
            (german.empty() ? missing : english)
                .push_back(Where(text.section, text.key, text.builtIn));
        }
    }
    EXPECT_THAT(missing, IsEmpty());
    EXPECT_THAT(english, IsEmpty());
}

TEST_F(GermanLanguage, EveryTextKeyOfTheProgramIsTranslated) {
    for (const auto& [key, builtIn] : kTextKeys) {
        const std::wstring german = Entry(L"Text", key);
        EXPECT_FALSE(german.empty()) << Narrow(key);
        EXPECT_NE(german.substr(0, builtIn.size()), builtIn) << Narrow(key) << " left in English";
    }
}

TEST_F(GermanLanguage, HelpTextBreaksLinesAndShowsOnePercentSign) {
    const std::wstring raw = Entry(L"Text", L"24");
    const std::wstring shown = ProcessLangMessage(raw);
    EXPECT_NE(shown.find(L'\n'), std::wstring::npos);
    EXPECT_NE(shown.find(L"100%"), std::wstring::npos);
    EXPECT_EQ(shown.find(L"%%"), std::wstring::npos) << "the file's text is shown unformatted";
    // A grave accent would silently cut the rest of the text.
    EXPECT_EQ(raw.find(L'`'), std::wstring::npos);
}

TEST_F(GermanLanguage, NamesOnlySectionsAndKeysTheProgramHas) {
    std::map<std::wstring, std::set<std::wstring>> keys = m_known;
    for (const auto& [key, builtIn] : kTextKeys) {
        keys[L"Text"].insert(key);
    }

    std::vector<std::string> unknown;
    for (const std::wstring& section : ProfileNames(m_file, nullptr)) {
        const auto found = keys.find(section);
        if (found == keys.end()) {
            unknown.push_back(Where(section));
            continue;
        }
        for (const std::wstring& key : ProfileNames(m_file, section.c_str())) {
            if (!found->second.contains(key)) {
                unknown.push_back(Where(section, key));
            }
        }
    }
    EXPECT_THAT(unknown, IsEmpty());
}

TEST_F(GermanLanguage, MnemonicsAreKeptAndDistinctWhereShownTogether) {
    std::map<std::pair<std::wstring, wchar_t>, std::string> taken;
    std::map<std::wstring, int> perKeyboard;
    std::vector<std::string> faults;
    for (const Shown& text : m_shown) {
        if (!text.keyboard) {
            continue;
        }
        const std::wstring german = Entry(text.section, text.key);
        const std::wstring& label = german.empty() ? text.builtIn : german;
        const std::string where = Where(text.section, text.key, label);
        const wchar_t mnemonic = Mnemonic(label);
        if ((Mnemonic(text.builtIn) != 0) != (mnemonic != 0)) {
            faults.push_back(where + ": mnemonic lost or added");
        }
        if (mnemonic == 0) {
            continue;
        }
        ++perKeyboard[text.keyboard];
        const auto [first, fresh] = taken.emplace(std::pair(text.keyboard, mnemonic), where);
        if (!fresh) {
            faults.push_back(where + ": mnemonic also used by " + first->second);
        }
    }
    EXPECT_THAT(faults, IsEmpty());
    EXPECT_GT(perKeyboard[L"dialogs"], 1);
    EXPECT_GT(perKeyboard[L"menu"], 1);
}

TEST_F(GermanLanguage, LanguageServiceChoosesTheFileBesideTheProgram) {
    // This test program lies in the program folder, so the service searches the same "Language".
    TempDir config;
    WriteFileText(config / L"Config.ini", L"[Main]\r\nLanguage=1031\r\n");
    ASSERT_EQ(InitLanguage(nullptr, nullptr, config.path().c_str()), kGerman);
    EXPECT_EQ(GetLangText(L"15", L"built-in"), Entry(L"Text", L"15"));
    EXPECT_EQ(GetLangMessage(L"24", L"built-in"), ProcessLangMessage(Entry(L"Text", L"24")));

    WriteFileText(config / L"Config.ini", L"[Main]\r\nLanguage=0\r\n");
    EXPECT_EQ(InitLanguage(nullptr, nullptr, config.path().c_str()), 0);
    EXPECT_EQ(GetLangText(L"15", L"built-in"), L"built-in");
}

TEST_F(GermanLanguage, ProgramIconHoldsEverySizeIn32Bits) {
    const std::string_view group = ResourceData(m_program.get(), RT_GROUP_ICON, IDI_LUMIVEX);
    GroupIconHeader header{};
    ASSERT_GE(group.size(), sizeof header);
    std::memcpy(&header, group.data(), sizeof header);
    ASSERT_EQ(header.type, 1);
    ASSERT_GE(group.size(), sizeof header + header.count * sizeof(GroupIconRecord));
    std::vector<int> sizes;
    for (WORD i = 0; i < header.count; ++i) {
        GroupIconRecord entry{};
        std::memcpy(&entry, group.data() + sizeof header + i * sizeof entry, sizeof entry);
        const int width = entry.width == 0 ? 256 : entry.width;
        SCOPED_TRACE(testing::Message() << width << " px");
        sizes.push_back(width);
        EXPECT_EQ(entry.height, entry.width);
        EXPECT_EQ(entry.bitCount, 32);
        const std::string_view image = ResourceData(m_program.get(), RT_ICON, entry.iconId);
        ASSERT_FALSE(image.empty());
        EXPECT_EQ(image.size(), entry.bytes);
        // The platform must be able to make an icon of that size from the image.
        UniqueIcon icon(CreateIconFromResourceEx(
            reinterpret_cast<PBYTE>(const_cast<char*>(image.data())),
            static_cast<DWORD>(image.size()), TRUE, 0x00030000, width, width, LR_DEFAULTCOLOR));
        ASSERT_TRUE(icon);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        UniqueBitmap colour(info.hbmColor);
        UniqueBitmap mask(info.hbmMask);
        BITMAP bitmap{};
        ASSERT_TRUE(GetObjectW(colour.get(), sizeof bitmap, &bitmap));
        EXPECT_EQ(bitmap.bmWidth, width);
    }
    EXPECT_THAT(sizes, UnorderedElementsAre(16, 20, 24, 32, 48, 256));
}

} // namespace
} // namespace lumivex::test
