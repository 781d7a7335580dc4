// The dialog the framework tests drive: members exchanged with the test dialog's controls, and
// the handler registration opened up so tests can add handlers from outside.
#pragma once

#include "framework/app.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework_test_ids.h"

#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace fwtest {

using namespace lumivex::fw;

class TestStatic : public CStatic {
public:
    using CWnd::Default;
    using CWnd::MapMessage;
    using CWnd::MapReflect;
    using CWnd::MapReflectCommand;
};

class TestTab : public CTabCtrl {
public:
    using CWnd::MapReflectNotify;
};

class TestEdit : public CWnd {
public:
    using CWnd::MapReflectCommand;
};

class TestDialog : public CDialog {
public:
    explicit TestDialog(HWND parent = nullptr, UINT templateId = IDD_FW_TEST)
        : CDialog(templateId, parent) {}

    using CWnd::Default;
    using CWnd::MapCommand;
    using CWnd::MapMessage;
    using CWnd::MapNotify;

    int m_nCheck = 0;
    std::wstring m_strEdit;
    std::wstring m_strStatic;
    TestStatic m_static;
    TestTab m_tab;
    bool m_bExchangeMissingControl = false;

    std::function<void(TestDialog&)> onInit; // after the framework's initialisation
    std::function<bool(MSG*)> preTranslate;  // before the dialog keyboard handling
    std::function<void()> postNcDestroy;
    int okCalls = 0;
    int cancelCalls = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_FW_STATIC, m_static);
        DDX_Control(pDX, IDC_FW_TAB, m_tab);
        DDX_Check(pDX, IDC_FW_CHECK, m_nCheck);
        DDX_Text(pDX, IDC_FW_EDIT, m_strEdit);
        DDX_Text(pDX, IDC_FW_STATIC, m_strStatic);
        if (m_bExchangeMissingControl) {
            DDX_Text(pDX, 4711, m_strEdit);
        }
    }
    BOOL OnInitDialog() override {
        const BOOL result = CDialog::OnInitDialog();
        if (onInit) {
            onInit(*this);
        }
        return result;
    }
    void OnOK() override {
        ++okCalls;
        CDialog::OnOK();
    }
    void OnCancel() override {
        ++cancelCalls;
        CDialog::OnCancel();
    }
    bool PreTranslateMessage(MSG* msg) override {
        if (preTranslate && preTranslate(msg)) {
            return true;
        }
        return CDialog::PreTranslateMessage(msg);
    }
    void PostNcDestroy() override {
        if (postNcDestroy) {
            postNcDestroy();
        }
    }
};

// The test program's application object: records the commands that no dialog handled.
class TestApp : public CWinApp {
public:
    std::vector<std::pair<UINT, UINT>> commands;
    bool OnCommand(UINT id, UINT code) override {
        commands.emplace_back(id, code);
        return id == 57665;
    }
};

TestApp& App();

// Handles every message already waiting, through the application's loop (pre-translation
// included), without waiting for new ones.
void RunLoopUntilIdle();

} // namespace fwtest
