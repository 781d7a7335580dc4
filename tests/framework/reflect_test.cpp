// Notifications the parent receives about a control, reflected to the control's own object:
// WM_CTLCOLORSTATIC from real painting, WM_NOTIFY from real tab clicks, WM_COMMAND notifications.
#include "test_dialog.h"

#include "support/owners.h"
#include "test_process.h"

#include <gtest/gtest.h>

using namespace fwtest;
using lumivex::test::WaitUntil;

namespace {

// Paints `window` into a memory bitmap and reads one pixel of it.
COLORREF PaintedPixel(HWND window, int x, int y) {
    RECT client = {};
    ::GetClientRect(window, &client);
    lumivex::WindowDc screen(nullptr);
    lumivex::UniqueCreatedDc memory(::CreateCompatibleDC(screen.get()));
    lumivex::UniqueBitmap bitmap(
        ::CreateCompatibleBitmap(screen.get(), client.right, client.bottom));
    lumivex::SelectScope select(memory.get(), bitmap.get());
    ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()), PRF_CLIENT);
    return ::GetPixel(memory.get(), x, y);
}

// A real click: waits until the window is the one under the point and its top-level window is
// foreground, since input injected earlier may go elsewhere.
::testing::AssertionResult ClickAt(HWND window, POINT clientPoint) {
    POINT screen = clientPoint;
    ::ClientToScreen(window, &screen);
    ::SetForegroundWindow(::GetAncestor(window, GA_ROOT));
    ::SetCursorPos(screen.x, screen.y);
    const bool ready = WaitUntil(
        [&] {
            POINT cursor = {};
            ::GetCursorPos(&cursor);
            return ::WindowFromPoint(screen) == window &&
                   ::GetForegroundWindow() == ::GetAncestor(window, GA_ROOT) &&
                   cursor.x == screen.x && cursor.y == screen.y;
        },
        3000);
    if (!ready) {
        return ::testing::AssertionFailure() << "the window did not come under the cursor";
    }
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    if (::SendInput(2, inputs, sizeof(INPUT)) != 2) {
        return ::testing::AssertionFailure() << "SendInput failed";
    }
    return ::testing::AssertionSuccess();
}

TEST(Reflect, CtlColorStaticReachesTheStaticAndItsBrushPaintsTheControl) {
    lumivex::UniqueBrush red(::CreateSolidBrush(RGB(255, 0, 0)));
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HWND staticControl = dialog.m_static;
    int childCalls = 0, parentCalls = 0;
    bool childGivesBrush = true;
    dialog.m_static.MapReflect(WM_CTLCOLORSTATIC, [&](WPARAM dc, LPARAM) -> LRESULT {
        ++childCalls;
        if (!childGivesBrush) {
            return 0;
        }
        ::SetBkColor(reinterpret_cast<HDC>(dc), RGB(255, 0, 0));
        return reinterpret_cast<LRESULT>(red.get());
    });
    dialog.MapMessage(WM_CTLCOLORSTATIC, [&](WPARAM, LPARAM control) -> LRESULT {
        if (reinterpret_cast<HWND>(control) == staticControl) {
            ++parentCalls;
        }
        return dialog.Default();
    });
    ::ShowWindow(dialog, SW_SHOW);
    ::RedrawWindow(staticControl, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_GT(childCalls, 0) << "painting the static did not reach its object";
    EXPECT_EQ(parentCalls, 0) << "the parent got a notification the control had handled";

    RECT client = {};
    ::GetClientRect(staticControl, &client);
    EXPECT_EQ(PaintedPixel(staticControl, client.right - 2, client.bottom / 2), RGB(255, 0, 0))
        << "the brush of the reflected handler was not used";

    // No brush: the notification goes on to the parent.
    childGivesBrush = false;
    ::RedrawWindow(staticControl, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_GT(parentCalls, 0);
    EXPECT_NE(PaintedPixel(staticControl, client.right - 2, client.bottom / 2), RGB(255, 0, 0));
}

TEST(Reflect, NotifyGoesToTheControlFirstAndItsResultBackToTheSender) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    int childCalls = 0, parentSelChange = 0, parentClick = 0;
    dialog.m_tab.MapReflectNotify(TCN_SELCHANGE, [&](NMHDR*) -> LRESULT {
        ++childCalls;
        return 1234;
    });
    dialog.MapNotify(IDC_FW_TAB, TCN_SELCHANGE,
                     [&](NMHDR*) -> LRESULT { return ++parentSelChange; });
    dialog.MapNotify(IDC_FW_TAB, NM_CLICK, [&](NMHDR*) -> LRESULT { return ++parentClick; });

    NMHDR header = {dialog.m_tab, IDC_FW_TAB, static_cast<UINT>(TCN_SELCHANGE)};
    EXPECT_EQ(dialog.Send(WM_NOTIFY, IDC_FW_TAB, reinterpret_cast<LPARAM>(&header)), 1234);
    EXPECT_EQ(childCalls, 1);
    EXPECT_EQ(parentSelChange, 0);
    header.code = static_cast<UINT>(NM_CLICK); // the control has no handler for this one
    dialog.Send(WM_NOTIFY, IDC_FW_TAB, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(parentClick, 1);
}

TEST(Reflect, RealTabClicksReachTheTabObjectAndItsAnswerCounts) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ASSERT_EQ(dialog.m_tab.InsertItem(0, L"First"), 0);
    ASSERT_EQ(dialog.m_tab.InsertItem(1, L"Second"), 1);
    ASSERT_EQ(dialog.m_tab.GetItemCount(), 2);
    int selectionSeen = -1;
    bool refuseChange = false;
    dialog.m_tab.MapReflectNotify(TCN_SELCHANGE, [&](NMHDR*) -> LRESULT {
        selectionSeen = dialog.m_tab.GetCurSel();
        return 0;
    });
    dialog.m_tab.MapReflectNotify(TCN_SELCHANGING,
                                  [&](NMHDR*) -> LRESULT { return refuseChange ? TRUE : FALSE; });
    ::SetWindowPos(dialog, HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);

    RECT item = {};
    ASSERT_TRUE(dialog.m_tab.GetItemRect(1, item));
    ASSERT_TRUE(
        ClickAt(dialog.m_tab, {(item.left + item.right) / 2, (item.top + item.bottom) / 2}));
    EXPECT_TRUE(WaitUntil([&] { return selectionSeen == 1; }, 3000))
        << "the click on tab 1 did not arrive as TCN_SELCHANGE; selection seen " << selectionSeen;

    // TRUE from TCN_SELCHANGING keeps the selection: the reflected result reaches the control.
    refuseChange = true;
    ASSERT_TRUE(dialog.m_tab.GetItemRect(0, item));
    ASSERT_TRUE(
        ClickAt(dialog.m_tab, {(item.left + item.right) / 2, (item.top + item.bottom) / 2}));
    ::Sleep(200);
    lumivex::test::PumpMessages();
    EXPECT_EQ(dialog.m_tab.GetCurSel(), 1);
    EXPECT_EQ(dialog.m_tab.SetCurSel(0), 1);
}

TEST(Reflect, CommandNotificationsGoToTheControlObject) {
    TestDialog dialog;
    int childCalls = 0, parentCalls = 0;
    dialog.MapCommand(IDC_FW_EDIT, EN_CHANGE, [&] { ++parentCalls; });
    ASSERT_TRUE(dialog.Create());
    parentCalls = 0; // the initial data exchange set the edit's text
    TestEdit edit;
    edit.MapReflectCommand(EN_CHANGE, [&] { ++childCalls; });
    ASSERT_TRUE(edit.SubclassDlgItem(IDC_FW_EDIT, dialog));
    ::SetDlgItemTextW(dialog, IDC_FW_EDIT, L"x");
    EXPECT_EQ(childCalls, 1);
    EXPECT_EQ(parentCalls, 0);
    edit.UnsubclassWindow();
    ::SetDlgItemTextW(dialog, IDC_FW_EDIT, L"y");
    EXPECT_EQ(childCalls, 1);
    EXPECT_EQ(parentCalls, 1);
}

} // namespace
