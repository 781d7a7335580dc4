// The programs page: the programs the hook met and those browsers.ini names, zoom switched off
// and on and the starting level edited in place by the user's keys and clicks, each written to
// browsers.ini at once and obeyed by the program's next window.
#include "app_fixture.h"
#include "host_zoom.h"

#include "test_process.h"
#include "test_windows.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace lumivex::appe2e;
using namespace lumivex::browserhost;
namespace test = lumivex::test;

namespace {

constexpr wchar_t kHostName[] = L"browser_host.exe";

class AppPrograms : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        CreateDirectoryW(DataDir().c_str(), nullptr);
        // The host's first-use prompt stays quiet; two programs the user configured by hand.
        ASSERT_TRUE(Write(L"Browsers", kHostName, L"0"));
        ASSERT_TRUE(Write(L"Processes", L"hh.exe", L"0"));
        ASSERT_TRUE(Write(L"Zoom", L"Reader.exe", L"140"));
    }

    static std::wstring BrowsersIni() { return DataDir() + L"\\browsers.ini"; }
    static bool Write(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
        return WritePrivateProfileStringW(section, key, value, BrowsersIni().c_str()) != FALSE;
    }
    // A value of browsers.ini, or "<none>" without the key.
    static std::wstring Read(const wchar_t* section, const wchar_t* key) {
        wchar_t value[64] = {};
        GetPrivateProfileStringW(section, key, L"<none>", value, 64, BrowsersIni().c_str());
        return value;
    }
    static bool WaitForValue(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
        return test::WaitUntil([&] { return Read(section, key) == value; }, 5000, 20);
    }

    HWND List() const { return m_app.PageControl(kProgramList); }
    std::vector<test::ListRow> Rows() const { return test::ListRows(m_app.process(), List(), 2); }
    int RowOf(const std::wstring& name) const {
        const std::vector<test::ListRow> rows = Rows();
        for (size_t index = 0; index < rows.size(); ++index) {
            if (rows[index].cells[0] == name) {
                return static_cast<int>(index);
            }
        }
        return -1;
    }
    // The keyboard focus of the dialog's thread.
    HWND DialogFocus() const {
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        return GetGUIThreadInfo(GetWindowThreadProcessId(List(), nullptr), &thread)
                   ? thread.hwndFocus
                   : nullptr;
    }
    // Whether a visible edit box over the list has that focus.
    bool LevelEditFocused() const {
        const HWND edit = FindWindowExW(List(), nullptr, L"Edit", nullptr);
        return edit && IsWindowVisible(edit) && DialogFocus() == edit;
    }
    // Typing starts once the box has the focus, as a person sees the caret first.
    bool WaitForLevelEdit() const {
        return test::WaitUntil([&] { return LevelEditFocused(); }, 5000, 20);
    }
    // The program's row selected in the list, which has the keyboard focus in the foreground
    // window. Else a click on the name makes it so, and the wait sees the click handled: under
    // Wine a key sent at once may otherwise be handled before it.
    bool FocusRow(const std::wstring& name) const {
        const int row = RowOf(name);
        const auto focused = [&] {
            return GetForegroundWindow() == m_app.dialog() && DialogFocus() == List() &&
                   SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) ==
                       row;
        };
        if (row < 0 || focused()) {
            return row >= 0;
        }
        const RECT text = test::ListItemRect(m_app.process(), List(), row);
        return text.right > text.left &&
               test::ClickAt({(text.left + text.right) / 2, (text.top + text.bottom) / 2}) &&
               test::WaitUntil(focused, 5000, 20);
    }
    const std::wstring m_host64 = Tree64Dir() + L"\\" + kHostName;
};

std::string Describe(const std::vector<test::ListRow>& rows) {
    std::string text;
    for (const test::ListRow& row : rows) {
        text += test::Narrow(row.cells[0]) + " " + test::Narrow(row.cells[1]) +
                (row.checked ? " on\n" : " off\n");
    }
    return text;
}

TEST_F(AppPrograms, ListsMetAndConfiguredProgramsAndItsEditsAreObeyedByTheNextWindow) {
    ASSERT_TRUE(m_app.Start(m_folder));
    ASSERT_TRUE(m_app.ChooseTab(kProgramsPage));

    // Met: the hook's library announces the program when its browser window is reached.
    {
        HostProcess host;
        ASSERT_TRUE(host.Start(L"", m_host64)) << host.error();
        ASSERT_TRUE(FocusUntilTaken(host)) << host.Transcript();
        EXPECT_TRUE(test::WaitUntil(
            [] {
                return GetPrivateProfileIntW(L"Programs", kHostName, 0,
                                             (DataDir() + L"\\Config.ini").c_str()) == 1;
            },
            5000, 20))
            << "the program met is not kept";
        EXPECT_EQ(host.Quit(), 0u);
    }
    std::vector<test::ListRow> rows = Rows();
    ASSERT_EQ(rows.size(), 3u) << Describe(rows);
    EXPECT_EQ(Describe(rows), "browser_host.exe 100 % on\nhh.exe 100 % off\nreader.exe 140 % on\n");

    // Off by Space on its row: written at once, and the next window is left alone.
    ASSERT_TRUE(FocusRow(kHostName));
    ASSERT_TRUE(test::PressKey(VK_SPACE));
    ASSERT_TRUE(WaitForValue(L"Processes", kHostName, L"0")) << Describe(Rows());
    ExpectLeftAlone(m_host64);

    // Its level by F2, typed and kept with Enter, which leaves the dialog open.
    ASSERT_TRUE(FocusRow(kHostName));
    ASSERT_TRUE(test::PressKey(VK_F2));
    ASSERT_TRUE(WaitForLevelEdit());
    ASSERT_TRUE(test::TypeKeys(L"150"));
    ASSERT_TRUE(test::PressKey(VK_RETURN));
    ASSERT_TRUE(WaitForValue(L"Zoom", kHostName, L"150"));
    EXPECT_TRUE(m_app.StaysVisible(true, 300)) << "Enter reached the dialog";
    EXPECT_EQ(Rows()[0].cells[1], L"150 %");

    // On again: the next window is zoomed, from its own level.
    ASSERT_TRUE(FocusRow(kHostName));
    ASSERT_TRUE(test::PressKey(VK_SPACE));
    ASSERT_TRUE(WaitForValue(L"Processes", kHostName, L"<none>")) << Describe(Rows());
    {
        HostProcess host;
        ASSERT_TRUE(host.Start(L"", m_host64)) << host.error();
        ASSERT_TRUE(FocusUntilTaken(host)) << host.Transcript();
        EXPECT_TRUE(test::WaitUntil([&] { return !ZoomLevelsGiven(host).empty(); }, 5000, 50));
        EXPECT_EQ(ZoomLevelsGiven(host), std::vector<long long>{150}) << host.Transcript();
        ASSERT_TRUE(PressCtrlPlus(host)) << host.Transcript();
        EXPECT_EQ(ZoomLevelsGiven(host), (std::vector<long long>{150, 170}));
        EXPECT_EQ(host.Quit(), 0u);
    }

    // Escape gives an edit up, a click elsewhere keeps it; a double click on the level edits it
    // too, and nothing typed is 100, which takes the line away.
    ASSERT_TRUE(FocusRow(kHostName));
    ASSERT_TRUE(test::PressKey(VK_F2));
    ASSERT_TRUE(WaitForLevelEdit());
    ASSERT_TRUE(test::TypeKeys(L"300"));
    ASSERT_TRUE(test::PressKey(VK_ESCAPE));
    EXPECT_TRUE(m_app.StaysVisible(true, 300)) << "Escape reached the dialog";
    EXPECT_EQ(Read(L"Zoom", kHostName), L"150");
    EXPECT_EQ(Rows()[0].cells[1], L"150 %");
    // A click on another row keeps what was typed.
    ASSERT_TRUE(test::PressKey(VK_F2));
    ASSERT_TRUE(WaitForLevelEdit());
    ASSERT_TRUE(test::TypeKeys(L"130"));
    ASSERT_TRUE(FocusRow(L"hh.exe"));
    ASSERT_TRUE(WaitForValue(L"Zoom", kHostName, L"130"));
    EXPECT_EQ(Rows()[0].cells[1], L"130 %");
    const RECT level = test::ListItemRect(m_app.process(), List(), 0);
    ASSERT_GT(level.right, level.left);
    RECT list = {};
    ASSERT_TRUE(GetWindowRect(List(), &list));
    const POINT levelCell{level.right + 20, (level.top + level.bottom) / 2};
    ASSERT_LT(levelCell.x, list.right);
    ASSERT_TRUE(test::DoubleClickAt(levelCell));
    ASSERT_TRUE(WaitForLevelEdit()) << "a double click on the level opened no edit box";
    ASSERT_TRUE(test::PressKey(VK_BACK));
    ASSERT_TRUE(test::PressKey(VK_RETURN));
    ASSERT_TRUE(WaitForValue(L"Zoom", kHostName, L"<none>"));
    EXPECT_EQ(Rows()[0].cells[1], L"100 %");

    // The programs met are still listed after a restart; a hand edit of browsers.ini shows when
    // the page is chosen again.
    m_app.End();
    ASSERT_TRUE(Write(L"Processes", L"reader.exe", L"0"));
    ASSERT_TRUE(m_app.Start(m_folder));
    ASSERT_TRUE(m_app.ChooseTab(kProgramsPage));
    EXPECT_EQ(Describe(Rows()),
              "browser_host.exe 100 % on\nhh.exe 100 % off\nreader.exe 140 % off\n");
    ASSERT_TRUE(Write(L"Zoom", L"new.exe", L"120"));
    ASSERT_TRUE(m_app.ChooseTab(kOptionsPage));
    ASSERT_TRUE(m_app.ChooseTab(kProgramsPage));
    EXPECT_EQ(RowOf(L"new.exe"), 2) << Describe(Rows());
}

} // namespace
