// Dialogs from dialog resources, modal or modeless, with data exchange between controls and
// members.
#pragma once

#include "framework/wnd.h"

#include <string>

namespace lumivex::fw {

class CDialog;

// One data exchange pass: controls to members when saving, members to controls otherwise.
class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate) noexcept
        : m_pDlg(&dialog), m_bSaveAndValidate(saveAndValidate) {}

    // The dialog's control `id`; a missing control marks the pass as failed.
    HWND Control(int id);

    CDialog* m_pDlg;
    bool m_bSaveAndValidate;
    bool m_bFailed = false;
};

// Check box state (BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE) <-> int.
void DDX_Check(CDataExchange* pDX, int id, int& value);
// Window text of an edit, static or button <-> wide string.
void DDX_Text(CDataExchange* pDX, int id, std::wstring& value);
// Attaches `control` to the dialog's control `id` (subclassing it) if it is not attached yet.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
public:
    // `module`: where the template lives; null means the module this framework is linked into.
    // `parent`: owner of a modal run, parent of a modeless one.
    explicit CDialog(UINT templateId, HWND parent = nullptr, HINSTANCE module = nullptr);

    // Runs the dialog modally; returns the EndDialog result, -1 when it could not be created.
    // The owner is the top-level window that contains the parent; it is disabled while the
    // dialog is open.
    INT_PTR DoModal();
    // Creates the dialog modeless (with the parent given here or at construction). Its dialog
    // keyboard handling runs in the application's message loop. The object owns the window.
    bool Create();
    bool Create(HWND parent);

    // Data exchange: true reads the controls into the members, false fills the controls.
    bool UpdateData(bool saveAndValidate = true);
    // Ends a modal run with `result`; a modeless dialog is hidden.
    void EndDialog(INT_PTR result);

    UINT GetTemplateId() const noexcept { return m_nIDTemplate; }
    bool IsModal() const noexcept { return m_bModal; }

    // Dialog keyboard handling (IsDialogMessage) for key messages of a top-level dialog and its
    // controls. Child dialogs leave it to the top-level dialog that contains them.
    bool PreTranslateMessage(MSG* msg) override;

protected:
    virtual void DoDataExchange(CDataExchange* pDX) { (void)pDX; }
    // Runs the data exchange into the controls. The result is WM_INITDIALOG's: TRUE lets the
    // platform set the focus.
    virtual BOOL OnInitDialog();
    // IDOK: reads the controls and ends with IDOK; stays open when reading failed.
    virtual void OnOK();
    // IDCANCEL (also Escape and the close box): ends with IDCANCEL.
    virtual void OnCancel();

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Own handlers first, then OK and Cancel, then the application object.
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    HWND m_hParent;
    HINSTANCE m_hModule;
    bool m_bModal = false;
};

} // namespace lumivex::fw
