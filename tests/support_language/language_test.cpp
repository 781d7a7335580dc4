// The language service over real language files beside the test program, with the test program's
// own dialog, menu and string table. Each test uses a language folder of its own, since the
// program's folder is shared with other test programs.
#include "support/language.h"

#include "language_test_util.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumivex {
namespace {

using test::FontOf;
using test::MenuText;
using test::WindowText;

constexpr WORD kGerman = 1031;
constexpr WORD kFrench = 1036;

class LanguageTest : public testing::Test {
protected:
    LanguageTest() {
        static unsigned counter = 0;
        m_folderName = L"LangTest_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                       std::to_wstring(++counter);
        m_folder = test::ProgramDir() + L"\\" + m_folderName;
        EXPECT_TRUE(CreateDirectoryW(m_folder.c_str(), nullptr)) << test::Narrow(m_folder);
    }
    ~LanguageTest() override {
        test::RemoveTree(m_folder);
        // With the folder gone no file matches: the next test starts from built-in texts.
        InitLanguage(m_folderName.c_str(), nullptr, m_config.path().c_str());
    }

    // A language file: section "Language" with the identifier, then `rest` as written.
    void WriteLanguageFile(const std::wstring& name, WORD id, const std::wstring& rest) {
        test::WriteFileText(m_folder + L"\\" + name,
                            L"[Language]\r\nLanguage=" + std::to_wstring(id) + L"\r\n" + rest);
    }
    static void WriteConfig(const test::TempDir& dir, WORD id) {
        test::WriteFileText(dir / L"Config.ini",
                            L"[Main]\r\nLanguage=" + std::to_wstring(id) + L"\r\n");
    }
    WORD Init(const test::TempDir& configDir) {
        return InitLanguage(m_folderName.c_str(), nullptr, configDir.path().c_str());
    }

    std::wstring m_folderName;
    std::wstring m_folder;
    test::TempDir m_config;
};

TEST_F(LanguageTest, DialogGetsTextsAndFontExceptUserDataControls) {
    const std::wstring name31(31, L'N');
    WriteLanguageFile(L"de.lng", kGerman,
                      L"FontName=Tahoma\r\nFontSize=12\r\n[500]\r\n0=\u00DCbersetzter Titel\r\n"
                      L"501=Schlie\u00DFen\r\n502=\u6807\u7B7E\r\n503=Edit\r\n504=Combo\r\n"
                      L"505=List\r\n506=\r\n507=Verschachtelt\r\n[Named]\r\n501=By name\r\n[" +
                          name31 + L"]\r\n501=Cut name\r\n");
    WriteConfig(m_config, kGerman);
    ASSERT_EQ(Init(m_config), kGerman);

    UniqueWindow dialog = test::CreateTestDialog();
    ASSERT_TRUE(dialog);
    HWND button = GetDlgItem(dialog.get(), IDC_LANG_BUTTON);
    // A grandchild: the walk must reach below the dialog's own controls.
    HWND nested = CreateWindowExW(0, L"Button", L"Nested built-in", WS_CHILD, 0, 0, 60, 12,
                                  GetDlgItem(dialog.get(), IDC_LANG_PANEL),
                                  reinterpret_cast<HMENU>(IDC_LANG_NESTED), nullptr, nullptr);
    ASSERT_NE(nested, nullptr);
    for (int id : {IDC_LANG_EDIT, IDC_LANG_COMBO, IDC_LANG_LIST}) {
        SetWindowTextW(GetDlgItem(dialog.get(), id), L"user data");
    }

    TranslateDialog(dialog.get(), IDD_LANG_TEST);

    EXPECT_EQ(WindowText(dialog.get()), L"\u00DCbersetzter Titel");
    EXPECT_EQ(WindowText(button), L"Schlie\u00DFen");
    EXPECT_EQ(WindowText(GetDlgItem(dialog.get(), IDC_LANG_LABEL)), L"\u6807\u7B7E");
    EXPECT_EQ(WindowText(nested), L"Verschachtelt");
    EXPECT_EQ(WindowText(GetDlgItem(dialog.get(), IDC_LANG_PANEL)), L"Built-in panel");
    for (int id : {IDC_LANG_EDIT, IDC_LANG_COMBO, IDC_LANG_LIST}) {
        EXPECT_EQ(WindowText(GetDlgItem(dialog.get(), id)), L"user data") << id;
    }

    const HFONT font = LanguageDialogFont();
    ASSERT_NE(font, nullptr);
    for (HWND window : test::Descendants(dialog.get())) {
        wchar_t className[256] = {};
        GetClassNameW(window, className, 256);
        EXPECT_EQ(FontOf(window), font) << test::Narrow(className) << " " << GetDlgCtrlID(window);
    }
    LOGFONTW description = {};
    ASSERT_EQ(GetObjectW(font, sizeof description, &description), int{sizeof description});
    EXPECT_STREQ(description.lfFaceName, L"Tahoma");
    EXPECT_EQ(description.lfCharSet, DEFAULT_CHARSET);
    UniqueCreatedDc display(CreateICW(L"DISPLAY", nullptr, nullptr, nullptr));
    ASSERT_TRUE(display);
    EXPECT_EQ(description.lfHeight, -MulDiv(12, GetDeviceCaps(display.get(), LOGPIXELSY), 72));

    TranslateDialog(dialog.get(), L"Named");
    EXPECT_EQ(WindowText(button), L"By name");
    // A name one character too long is refused, not cut down to the section above.
    TranslateDialog(dialog.get(), (name31 + L"X").c_str());
    EXPECT_EQ(WindowText(button), L"By name");
}

TEST_F(LanguageTest, EachInitReplacesTheStateAndDeletesTheOldFont) {
    const std::wstring face40(40, L'F');
    WriteLanguageFile(L"a.lng", kGerman, L"FontName=" + face40 + L"\r\n[Text]\r\n1=Deutsch\r\n");
    WriteLanguageFile(L"b.lng", kFrench, L"[Text]\r\n1=Fran\u00E7ais\r\n");
    WriteConfig(m_config, kGerman);
    ASSERT_EQ(Init(m_config), kGerman);
    const HFONT first = LanguageDialogFont();
    ASSERT_NE(first, nullptr);
    LOGFONTW description = {};
    ASSERT_EQ(GetObjectW(first, sizeof description, &description), int{sizeof description});
    EXPECT_EQ(std::wstring(description.lfFaceName), face40.substr(0, 31));
    EXPECT_EQ(description.lfHeight, 0); // no size: the default height
    EXPECT_EQ(GetLangText(L"1", L"built-in"), L"Deutsch");

    test::TempDir french;
    WriteConfig(french, kFrench);
    ASSERT_EQ(Init(french), kFrench);
    EXPECT_EQ(GetObjectType(first), 0u) << "the previous dialog font is still alive";
    EXPECT_EQ(LanguageDialogFont(), nullptr);
    EXPECT_EQ(GetLangText(L"1", L"built-in"), L"Fran\u00E7ais");
    // Without a dialog font the controls keep the template's.
    UniqueWindow dialog = test::CreateTestDialog();
    ASSERT_TRUE(dialog);
    HWND button = GetDlgItem(dialog.get(), IDC_LANG_BUTTON);
    const HFONT templateFont = FontOf(button);
    TranslateDialog(dialog.get(), IDD_LANG_TEST);
    EXPECT_EQ(FontOf(button), templateFont);

    test::TempDir off;
    WriteConfig(off, 0);
    EXPECT_EQ(Init(off), 0);
    EXPECT_EQ(GetLangText(L"1", L"built-in"), L"built-in");
}

TEST_F(LanguageTest, MenuItemsBySubmenuPathSeparatorsNeverLookedUp) {
    WriteLanguageFile(L"m.lng", kGerman,
                      L"[600]\r\n601=\u00D6ffnen\r\n0=Separator\r\n605=Separator\r\n|1=Wrong\r\n"
                      L"|2=Werkzeuge\r\n602=Zoomen\r\n|1|1=Wrong\r\n|2|1=Mehr\r\n603=Tief\r\n"
                      L"604=\r\n");
    WriteConfig(m_config, kGerman);
    ASSERT_EQ(Init(m_config), kGerman);
    UniqueMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_LANG_TEST)));
    ASSERT_TRUE(menu);
    // A separator that has a command identifier, with a key in the file.
    ASSERT_TRUE(AppendMenuW(menu.get(), MF_SEPARATOR, 605, nullptr));

    TranslateMenu(menu.get(), IDM_LANG_TEST);

    EXPECT_EQ(MenuText(menu.get(), 0), L"\u00D6ffnen");
    EXPECT_EQ(GetMenuItemID(menu.get(), 0), UINT{IDM_LANG_OPEN});
    EXPECT_EQ(GetMenuState(menu.get(), 0, MF_BYPOSITION) & MF_CHECKED, UINT{MF_CHECKED});
    for (UINT separator : {1u, 4u}) {
        EXPECT_EQ(GetMenuState(menu.get(), separator, MF_BYPOSITION) & MF_SEPARATOR,
                  UINT{MF_SEPARATOR})
            << separator;
        EXPECT_EQ(MenuText(menu.get(), separator), L"") << separator;
    }
    EXPECT_EQ(MenuText(menu.get(), 2), L"Werkzeuge");
    EXPECT_EQ(MenuText(menu.get(), 3), L"Exit"); // empty value: built-in text stays
    HMENU tools = GetSubMenu(menu.get(), 2);
    ASSERT_NE(tools, nullptr) << "the translated item lost its submenu";
    EXPECT_EQ(MenuText(tools, 0), L"Zoomen");
    EXPECT_EQ(MenuText(tools, 1), L"Mehr");
    HMENU more = GetSubMenu(tools, 1);
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(MenuText(more, 0), L"Tief");
}

TEST_F(LanguageTest, TextsMessagesAndStrings) {
    WriteLanguageFile(L"t.lng", kGerman,
                      L"[Text]\r\n24=Zeile eins~Zeile zwei`   danach\r\n25=Tab\\there\\nnext\r\n"
                      L"26=\r\n27=" +
                          std::wstring(3000, L'x') +
                          L"\r\n[String]\r\n700=Datei\\nzwei\r\n701=\r\n");
    WriteConfig(m_config, kGerman);
    ASSERT_EQ(Init(m_config), kGerman);

    EXPECT_EQ(GetLangText(L"24", L"d"), L"Zeile eins~Zeile zwei`   danach");
    EXPECT_EQ(GetLangMessage(L"24", L"d"), L"Zeile eins\nZeile zwei");
    EXPECT_EQ(GetLangMessage(L"25", L"d"), L"Tab\there\nnext");
    EXPECT_EQ(GetLangText(L"26", L"built-in"), L"built-in");
    EXPECT_EQ(GetLangMessage(L"26", L"a~b`c\\n"), L"a~b`c\\n"); // the default stays as given
    EXPECT_EQ(GetLangText(L"27", L"d"), std::wstring(1023, L'x'));

    EXPECT_EQ(LoadLangString(IDS_LANG_IN_BOTH), L"Datei\nzwei");
    wchar_t raw[64] = {};
    LoadStringW(GetModuleHandleW(nullptr), IDS_LANG_RESOURCE_ONLY, raw, 64);
    ASSERT_STREQ(raw, L"Resource\\nsecond line"); // the resource holds the escape itself
    EXPECT_EQ(LoadLangString(IDS_LANG_RESOURCE_ONLY), L"Resource\nsecond line");
    EXPECT_EQ(LoadLangString(IDS_LANG_MISSING), L"");
}

TEST_F(LanguageTest, ConfigNotWrittenWithoutAMatch) {
    WriteLanguageFile(L"de.lng", kGerman, L"[Text]\r\n1=Deutsch\r\n");
    const std::wstring userDefaultName = m_config / L"Config.ini";

    test::TempDir zero;
    WriteConfig(zero, 0);
    const std::string zeroBytes = test::ReadFileBytes(zero / L"Config.ini");
    EXPECT_EQ(Init(zero), 0);
    EXPECT_EQ(test::ReadFileBytes(zero / L"Config.ini"), zeroBytes);
    EXPECT_EQ(GetLangText(L"1", L"built-in"), L"built-in");

    test::TempDir french;
    WriteConfig(french, kFrench);
    const std::string frenchBytes = test::ReadFileBytes(french / L"Config.ini");
    EXPECT_EQ(Init(french), 0);
    EXPECT_EQ(test::ReadFileBytes(french / L"Config.ini"), frenchBytes);

    ASSERT_NE(GetUserDefaultLangID(), kGerman) << "pick another language for the file";
    EXPECT_EQ(Init(m_config), 0);
    EXPECT_FALSE(test::FileExists(userDefaultName));

    test::TempDir german;
    WriteConfig(german, kGerman);
    const std::string germanBytes = test::ReadFileBytes(german / L"Config.ini");
    EXPECT_EQ(InitLanguage((m_folderName + L"_missing").c_str(), nullptr, german.path().c_str()),
              0);
    EXPECT_EQ(test::ReadFileBytes(german / L"Config.ini"), germanBytes);
    EXPECT_EQ(GetLangText(L"1", L"built-in"), L"built-in");
}

TEST_F(LanguageTest, MissingConfigTakesUserDefaultAndIsCreated) {
    const WORD user = GetUserDefaultLangID();
    ASSERT_NE(user, 0);
    WriteLanguageFile(L"user.lng", user, L"[Text]\r\n1=User language\r\n");

    EXPECT_EQ(Init(m_config), user);
    EXPECT_EQ(GetLangText(L"1", L""), L"User language");
    const std::wstring config = m_config / L"Config.ini";
    ASSERT_TRUE(test::FileExists(config));
    EXPECT_EQ(GetPrivateProfileIntW(L"Main", L"Language", 0, config.c_str()), UINT{user});
    const std::string bytes = test::ReadFileBytes(config);
    EXPECT_NE(bytes.find("[Main]"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("Language=" + std::to_string(user)), std::string::npos) << bytes;
}

TEST_F(LanguageTest, FirstMatchingFileInSearchOrderWins) {
    WriteLanguageFile(L"zero.lng", 0, L"[Text]\r\n1=zero\r\n");
    WriteLanguageFile(L"one.lng", kGerman, L"[Text]\r\n1=one.lng\r\n");
    WriteLanguageFile(L"two.lng", kGerman, L"[Text]\r\n1=two.lng\r\n");
    WriteLanguageFile(L"three.txt", kGerman, L"[Text]\r\n1=three.txt\r\n");
    WriteConfig(m_config, kGerman);
    // The platform's search order decides, not the names.
    std::wstring expected;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((m_folder + L"\\*.lng").c_str(), &data));
    ASSERT_TRUE(find);
    do {
        const std::wstring name = data.cFileName;
        if (name == L"one.lng" || name == L"two.lng") {
            expected = name;
            break;
        }
    } while (FindNextFileW(find.get(), &data));

    ASSERT_EQ(Init(m_config), kGerman);
    EXPECT_EQ(GetLangText(L"1", L""), expected);
}

TEST_F(LanguageTest, ConfigBesideTheProgramAndOwnExtension) {
    test::WriteFileText(m_folder + L"\\Config.ini", L"[Main]\r\nLanguage=1031\r\n");
    WriteLanguageFile(L"de.lng", kGerman, L"[Text]\r\n1=from lng\r\n");
    WriteLanguageFile(L"de.txt", kGerman, L"[Text]\r\n1=from txt\r\n");

    EXPECT_EQ(InitLanguage(m_folderName.c_str(), L".txt", nullptr), kGerman);
    EXPECT_EQ(GetLangText(L"1", L""), L"from txt");
}

} // namespace
} // namespace lumivex
