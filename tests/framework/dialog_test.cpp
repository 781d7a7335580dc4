// Dialogs: modal runs and their owner, data exchange, handler tables, Default(), the dialog
// keyboard handling of the message loop, and what happens when window or object goes first.
#include "test_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace fwtest;

namespace fwtest {

TestApp& App() {
    static TestApp app;
    return app;
}

void RunLoopUntilIdle() {
    ::PostQuitMessage(0);
    while (App().PumpMessage()) {
    }
}

} // namespace fwtest

namespace {

// The application object must exist before the first dialog, as in a program.
[[maybe_unused]] const TestApp& g_app = App();

std::wstring ControlText(HWND dialog, int id) {
    wchar_t text[256] = {};
    ::GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

TEST(Dialog, ModalRunReturnsTheEndDialogResult) {
    TestDialog ok;
    ok.onInit = [](TestDialog& d) { ::PostMessageW(d, WM_COMMAND, IDOK, 0); };
    EXPECT_EQ(ok.DoModal(), IDOK);
    EXPECT_EQ(ok.okCalls, 1);
    EXPECT_EQ(ok.GetSafeHwnd(), nullptr) << "the object stays attached to a destroyed dialog";

    TestDialog custom;
    custom.MapMessage(WM_APP + 1, [&custom](WPARAM w, LPARAM) -> LRESULT {
        custom.EndDialog(static_cast<INT_PTR>(w));
        return 0;
    });
    custom.onInit = [](TestDialog& d) { ::PostMessageW(d, WM_APP + 1, 77, 0); };
    EXPECT_EQ(custom.DoModal(), 77);

    TestDialog escape;
    escape.onInit = [](TestDialog& d) { ::PostMessageW(d, WM_CLOSE, 0, 0); };
    EXPECT_EQ(escape.DoModal(), IDCANCEL) << "the close box must end the run through OnCancel";
    EXPECT_EQ(escape.cancelCalls, 1);

    TestDialog missing(nullptr, IDD_FW_MISSING);
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST(Dialog, ModalOwnerIsTheTopLevelAncestorAndDisabledWhileOpen) {
    HWND top = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 300, 200, nullptr, nullptr, nullptr, nullptr);
    HWND child = ::CreateWindowExW(0, L"STATIC", L"child", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, top,
                                   nullptr, nullptr, nullptr);
    ASSERT_TRUE(top && child);
    HWND ownerSeen = nullptr;
    BOOL ownerEnabledWhileOpen = TRUE;
    TestDialog dialog(child);
    dialog.onInit = [&](TestDialog& d) {
        ownerSeen = ::GetWindow(d, GW_OWNER);
        ownerEnabledWhileOpen = ::IsWindowEnabled(top);
        ::PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(ownerSeen, top);
    EXPECT_FALSE(ownerEnabledWhileOpen);
    EXPECT_TRUE(::IsWindowEnabled(top)) << "the owner stays disabled after the run";
    ::DestroyWindow(top);
}

TEST(Dialog, DataExchangeRunsBothWaysAndOkSavesButCancelDoesNot) {
    std::wstring editShown, staticShown;
    UINT checkShown = 99;
    TestDialog dialog;
    dialog.m_nCheck = BST_CHECKED;
    dialog.m_strEdit = L"hello";
    dialog.m_strStatic = L"label";
    dialog.onInit = [&](TestDialog& d) {
        checkShown = ::IsDlgButtonChecked(d, IDC_FW_CHECK);
        editShown = ControlText(d, IDC_FW_EDIT);
        staticShown = ControlText(d, IDC_FW_STATIC);
        ::CheckDlgButton(d, IDC_FW_CHECK, BST_UNCHECKED);
        ::SetDlgItemTextW(d, IDC_FW_EDIT, L"\x00e9t\x00e9 \x65e5\x672c"); // not only ASCII
        ::PostMessageW(d, WM_COMMAND, IDOK, 0);
    };
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(checkShown, static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(editShown, L"hello");
    EXPECT_EQ(staticShown, L"label");
    EXPECT_EQ(dialog.m_nCheck, BST_UNCHECKED);
    EXPECT_EQ(dialog.m_strEdit, L"\x00e9t\x00e9 \x65e5\x672c");

    dialog.onInit = [](TestDialog& d) {
        ::SetDlgItemTextW(d, IDC_FW_EDIT, L"thrown away");
        ::CheckDlgButton(d, IDC_FW_CHECK, BST_CHECKED);
        ::PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    };
    ASSERT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.m_strEdit, L"\x00e9t\x00e9 \x65e5\x672c");
    EXPECT_EQ(dialog.m_nCheck, BST_UNCHECKED);
}

TEST(Dialog, OkStaysOpenWhenTheDataExchangeFails) {
    TestDialog dialog;
    dialog.m_bExchangeMissingControl = true;
    bool loadFailed = false;
    dialog.onInit = [&](TestDialog& d) {
        loadFailed = !d.UpdateData(false);
        ::PostMessageW(d, WM_COMMAND, IDOK, 0);
        ::PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.okCalls, 1);
    EXPECT_TRUE(loadFailed) << "a missing control went unnoticed";
}

TEST(Dialog, HandlersGetTheirMessagesAndTheirResultsReachTheSender) {
    TestDialog dialog;
    int commands = 0, editChanges = 0;
    dialog.MapMessage(WM_APP + 7, [](WPARAM w, LPARAM l) -> LRESULT {
        return static_cast<LRESULT>(w + static_cast<WPARAM>(l));
    });
    dialog.MapCommand(3000, [&] { ++commands; });
    dialog.MapCommand(IDC_FW_EDIT, EN_CHANGE, [&] { ++editChanges; });
    NMHDR seen = {};
    dialog.MapNotify(IDC_FW_TAB, NM_CLICK, [&](NMHDR* header) -> LRESULT {
        seen = *header;
        return 55;
    });
    ASSERT_TRUE(dialog.Create());
    editChanges = 0; // the initial data exchange set the edit's text

    EXPECT_EQ(dialog.Send(WM_APP + 7, 40, 2), 42);
    dialog.Send(WM_COMMAND, MAKEWPARAM(3000, 0));
    dialog.Send(WM_COMMAND, MAKEWPARAM(3000, 1)); // the same command from an accelerator
    EXPECT_EQ(commands, 2);
    ::SetDlgItemTextW(dialog, IDC_FW_EDIT, L"typed");
    EXPECT_EQ(editChanges, 1);
    NMHDR header = {dialog.GetDlgItem(IDC_FW_TAB), IDC_FW_TAB, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(dialog.Send(WM_NOTIFY, IDC_FW_TAB, reinterpret_cast<LPARAM>(&header)), 55);
    EXPECT_EQ(seen.hwndFrom, header.hwndFrom);
}

TEST(Dialog, DefaultInsideAHandlerRunsThePlatformHandlingOnce) {
    TestDialog dialog;
    int calls = 0;
    dialog.MapMessage(WM_SETTEXT, [&](WPARAM, LPARAM) -> LRESULT {
        ++calls;
        return dialog.Default();
    });
    int closes = 0;
    dialog.MapMessage(WM_CLOSE, [&](WPARAM, LPARAM) -> LRESULT {
        ++closes;
        return dialog.Default(); // the platform answers with IDCANCEL
    });
    ASSERT_TRUE(dialog.Create());
    ::ShowWindow(dialog, SW_SHOW);

    EXPECT_TRUE(::SetWindowTextW(dialog, L"new caption"));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(dialog.GetText(), L"new caption");

    dialog.Send(WM_CLOSE);
    RunLoopUntilIdle();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(dialog.cancelCalls, 1) << "the platform's WM_CLOSE handling did not run";
    EXPECT_FALSE(::IsWindowVisible(dialog)) << "EndDialog hides a modeless dialog";
}

TEST(Dialog, UnhandledCommandsReachTheApplicationObject) {
    App().commands.clear();
    TestDialog dialog;
    dialog.MapCommand(3001, [] {});
    ASSERT_TRUE(dialog.Create());
    // Control notifications nobody handled reach it too, such as the edit's EN_CHANGE when the
    // initial data exchange set its text.
    EXPECT_NE(
        std::find(App().commands.begin(), App().commands.end(),
                  std::make_pair(static_cast<UINT>(IDC_FW_EDIT), static_cast<UINT>(EN_CHANGE))),
        App().commands.end());
    App().commands.clear();
    dialog.Send(WM_COMMAND, MAKEWPARAM(57665, 0));
    dialog.Send(WM_COMMAND, MAKEWPARAM(3001, 0));
    dialog.Send(WM_COMMAND, MAKEWPARAM(IDOK, 0));
    ASSERT_EQ(App().commands.size(), 1u);
    EXPECT_EQ(App().commands[0], std::make_pair(57665u, 0u));
}

TEST(Dialog, MessageLoopGivesModelessDialogsTheirKeyboardHandling) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ::ShowWindow(dialog, SW_SHOW);
    HWND edit = dialog.GetDlgItem(IDC_FW_EDIT);
    ::SetFocus(edit);
    ASSERT_EQ(::GetFocus(), edit);

    ::PostMessageW(edit, WM_KEYDOWN, VK_TAB, 1);
    RunLoopUntilIdle();
    EXPECT_EQ(::GetFocus(), ::GetNextDlgTabItem(dialog, edit, FALSE)) << "Tab did not move on";

    // The pre-translation hook comes first and may swallow a key.
    dialog.preTranslate = [](MSG* msg) {
        return msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE;
    };
    ::SetFocus(edit);
    ::PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1);
    RunLoopUntilIdle();
    EXPECT_EQ(dialog.cancelCalls, 0);
    dialog.preTranslate = nullptr;
    ::PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1);
    RunLoopUntilIdle();
    EXPECT_EQ(dialog.cancelCalls, 1) << "Escape in a modeless dialog did not reach OnCancel";
}

TEST(Dialog, DestroyingTheWindowDetachesDialogAndControls) {
    TestDialog dialog;
    int postNcDestroy = 0;
    dialog.postNcDestroy = [&] { ++postNcDestroy; };
    ASSERT_TRUE(dialog.Create());
    HWND window = dialog;
    HWND staticControl = dialog.m_static;
    ASSERT_NE(staticControl, nullptr) << "DDX_Control did not attach the static";
    EXPECT_EQ(CWnd::FromHandle(window), &dialog);
    EXPECT_EQ(CWnd::FromHandle(staticControl), &dialog.m_static);

    ::DestroyWindow(window);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.m_static.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.m_tab.GetSafeHwnd(), nullptr);
    EXPECT_EQ(postNcDestroy, 1);
    // The object can be used again for a new window.
    ASSERT_TRUE(dialog.Create());
    EXPECT_NE(dialog.m_static.GetSafeHwnd(), nullptr);
}

TEST(Dialog, DestroyingTheObjectFirstIsSafe) {
    HWND window = nullptr, staticControl = nullptr;
    {
        TestDialog dialog;
        ASSERT_TRUE(dialog.Create());
        window = dialog;
        staticControl = dialog.m_static;
    }
    EXPECT_FALSE(::IsWindow(window)) << "a modeless dialog outlives the object that owns it";

    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    staticControl = dialog.GetDlgItem(IDC_FW_STATIC);
    int calls = 0;
    {
        auto extra = std::make_unique<TestStatic>();
        extra->MapMessage(WM_SETTEXT, [&](WPARAM, LPARAM) -> LRESULT {
            ++calls;
            return 0;
        });
        dialog.m_static.UnsubclassWindow();
        ASSERT_TRUE(extra->SubclassWindow(staticControl));
        EXPECT_FALSE(dialog.m_static.SubclassWindow(staticControl)) << "two objects, one window";
    }
    EXPECT_EQ(CWnd::FromHandle(staticControl), nullptr);
    EXPECT_TRUE(::SetWindowTextW(staticControl, L"after"));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ControlText(dialog, IDC_FW_STATIC), L"after");
}

// Owns itself and deletes itself when its window is gone, as a fire-and-forget dialog would.
class SelfDeletingDialog : public TestDialog {
public:
    SelfDeletingDialog(bool& handlerFinished, bool& deletedTooEarly)
        : m_handlerFinished(handlerFinished), m_deletedTooEarly(deletedTooEarly) {
        MapMessage(WM_APP + 3, [this](WPARAM, LPARAM) -> LRESULT {
            ::DestroyWindow(*this);
            m_nCheck = 5; // the object must still be alive here
            m_handlerFinished = true;
            return 0;
        });
    }

protected:
    void PostNcDestroy() override {
        m_deletedTooEarly = !m_handlerFinished;
        delete this;
    }

private:
    bool& m_handlerFinished;
    bool& m_deletedTooEarly;
};

TEST(Dialog, SelfDeletionInPostNcDestroyWaitsForTheRunningHandler) {
    bool handlerFinished = false;
    bool deletedTooEarly = true;
    auto* dialog = new SelfDeletingDialog(handlerFinished, deletedTooEarly);
    ASSERT_TRUE(dialog->Create());
    HWND window = *dialog;
    ::SendMessageW(window, WM_APP + 3, 0, 0);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(handlerFinished);
    EXPECT_FALSE(deletedTooEarly);
}

} // namespace
