// The tab sheet and the link control in a dialog of the test's own: which page shows, what
// SelectPage answers, the user's tab change, and the link's capture and colours.
#include "app_controls_test_ids.h"

#include "app/hyperlink.h"
#include "app/tab_sheet.h"
#include "framework/dialog.h"
#include "test_process.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace lumivex;
using namespace lumivex::app;

namespace {

class ControlsDialog : public fw::CDialog {
public:
    ControlsDialog() : CDialog(IDD_CONTROLS_TEST) {}
    CTabSheet m_sheet;
    CHLinkCtrl m_link;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override {
        fw::DDX_Control(pDX, IDC_TEST_TAB, m_sheet);
        fw::DDX_Control(pDX, IDC_TEST_LINK, m_link);
    }
};

class AppControlsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dialog.Create());
        ASSERT_TRUE(m_first.Create(m_dialog.m_sheet.GetSafeHwnd()));
        ASSERT_TRUE(m_second.Create(m_dialog.m_sheet.GetSafeHwnd()));
        ::ShowWindow(m_dialog.GetSafeHwnd(), SW_SHOW);
    }

    bool Visible(const fw::CDialog& page) const {
        return (::GetWindowLongW(page.GetSafeHwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
    }

    void AddBoth() {
        ASSERT_TRUE(m_dialog.m_sheet.AddPage(L"One", &m_first));
        ASSERT_TRUE(m_dialog.m_sheet.AddPage(L"Two", &m_second));
    }

    ControlsDialog m_dialog;
    fw::CDialog m_first{IDD_TEST_PAGE};
    fw::CDialog m_second{IDD_TEST_PAGE};
};

} // namespace

TEST_F(AppControlsTest, TabSheetShowsOnePageAtATime) {
    CTabSheet& sheet = m_dialog.m_sheet;
    EXPECT_FALSE(sheet.AddPage(L"None", nullptr));
    AddBoth();
    EXPECT_TRUE(Visible(m_first));
    EXPECT_FALSE(Visible(m_second));
    EXPECT_EQ(sheet.GetItemCount(), 2);

    // The page lies inside the tab control, below the tabs.
    RECT tab{};
    sheet.GetItemRect(0, tab);
    RECT page{};
    ::GetWindowRect(m_first.GetSafeHwnd(), &page);
    ::MapWindowPoints(nullptr, sheet.GetSafeHwnd(), reinterpret_cast<POINT*>(&page), 2);
    EXPECT_EQ(page.left, 4);
    EXPECT_EQ(page.top, tab.bottom - tab.top + 6);

    EXPECT_EQ(sheet.SelectPage(0), 0);
    EXPECT_TRUE(Visible(m_first));
    EXPECT_EQ(sheet.SelectPage(5), -1);
    EXPECT_EQ(sheet.SelectPage(-1), -1);
    EXPECT_TRUE(Visible(m_first));

    EXPECT_EQ(sheet.SelectPage(1), 0);
    EXPECT_FALSE(Visible(m_first));
    EXPECT_TRUE(Visible(m_second));
    EXPECT_EQ(sheet.GetCurSel(), 1);
    EXPECT_EQ(sheet.SelectPage(0), 1);
}

TEST_F(AppControlsTest, UserTabChangeFollowsAndAForeignTabIsIgnored) {
    CTabSheet& sheet = m_dialog.m_sheet;
    AddBoth();
    NMHDR change{sheet.GetSafeHwnd(), IDC_TEST_TAB, static_cast<UINT>(TCN_SELCHANGE)};

    sheet.SetCurSel(1);
    m_dialog.Send(WM_NOTIFY, IDC_TEST_TAB, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(sheet.GetCurrentPage(), 1);
    EXPECT_TRUE(Visible(m_second));
    EXPECT_FALSE(Visible(m_first));

    // A tab that holds no page (added behind the sheet's back) changes nothing.
    sheet.InsertItem(2, L"Stray");
    sheet.SetCurSel(2);
    m_dialog.Send(WM_NOTIFY, IDC_TEST_TAB, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(sheet.GetCurrentPage(), 1);
    EXPECT_TRUE(Visible(m_second));
}

TEST_F(AppControlsTest, LinkColoursByStateAndAFailedClickKeepsStateAndFreesTheMouse) {
    CHLinkCtrl& link = m_dialog.m_link;
    // No program opens this scheme, neither through the shortcut object nor the shell.
    link.SetAddress(L"lumivex-no-such-scheme:nowhere");
    HDC dc = ::GetDC(link.GetSafeHwnd());
    ASSERT_NE(dc, nullptr);
    auto colour = [&] {
        const auto brush =
            reinterpret_cast<HBRUSH>(m_dialog.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                   reinterpret_cast<LPARAM>(link.GetSafeHwnd())));
        EXPECT_EQ(brush, static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)));
        return ::GetTextColor(dc);
    };
    EXPECT_EQ(colour(), RGB(0, 0, 255));
    EXPECT_TRUE(link.GetStyle() & SS_NOTIFY) << "the static must hear clicks";
    LOGFONTW font{};
    ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font);
    EXPECT_TRUE(font.lfUnderline);

    link.Send(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(link.GetState(), LinkState::Hover);
    EXPECT_EQ(::GetCapture(), link.GetSafeHwnd());
    EXPECT_EQ(colour(), RGB(255, 0, 0));

    link.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_EQ(::GetCapture(), nullptr) << "a kept capture sends every later click to the link";
    EXPECT_EQ(link.GetState(), LinkState::Normal);
    EXPECT_EQ(colour(), RGB(0, 0, 255));

    // Losing the capture to someone else while hovering restores the saved state too.
    link.Send(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    ASSERT_EQ(link.GetState(), LinkState::Hover);
    ::SetCapture(m_dialog.GetSafeHwnd());
    EXPECT_EQ(link.GetState(), LinkState::Normal);
    ::ReleaseCapture();
    ::ReleaseDC(link.GetSafeHwnd(), dc);
}

TEST_F(AppControlsTest, AnIconStaticIsNotDrawnAsALink) {
    CHLinkCtrl icon;
    ASSERT_TRUE(icon.SubclassDlgItem(IDC_TEST_ICON_STATIC, m_dialog.GetSafeHwnd()));
    HDC dc = ::GetDC(icon.GetSafeHwnd());
    const LRESULT brush = m_dialog.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                        reinterpret_cast<LPARAM>(icon.GetSafeHwnd()));
    EXPECT_NE(reinterpret_cast<HBRUSH>(brush), static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)));
    ::ReleaseDC(icon.GetSafeHwnd(), dc);
}
