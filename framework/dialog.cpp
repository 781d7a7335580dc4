#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/common_controls.h"

namespace lumivex::fw {

namespace {

// Dialog templates may hold common controls (tab controls); their classes must be registered
// before the template is built.
void RegisterCommonControls() {
    static const bool registered = comctl::InitCommonControls(ICC_WIN95_CLASSES);
    (void)registered;
}

// Messages whose dialog-procedure result is the message result itself, not DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

} // namespace

HWND CDataExchange::Control(int id) {
    HWND control = ::GetDlgItem(m_pDlg->GetSafeHwnd(), id);
    if (!control) {
        m_bFailed = true;
    }
    return control;
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    HWND control = pDX->Control(id);
    if (!control) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
    } else {
        ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::wstring& value) {
    HWND control = pDX->Control(id);
    if (!control) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        const int length = ::GetWindowTextLengthW(control);
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        text.resize(static_cast<size_t>(
            ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
        value = std::move(text);
    } else {
        ::SetWindowTextW(control, value.c_str());
    }
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.GetSafeHwnd()) {
        return;
    }
    HWND window = pDX->Control(id);
    if (window && !control.SubclassWindow(window)) {
        pDX->m_bFailed = true;
    }
}

CDialog::CDialog(UINT templateId, HWND parent, HINSTANCE module)
    : m_nIDTemplate(templateId), m_hParent(parent), m_hModule(module ? module : ModuleInstance()) {}

INT_PTR CDialog::DoModal() {
    if (GetSafeHwnd()) {
        return -1;
    }
    RegisterCommonControls();
    // Owned windows cannot be owned by child windows: the owner is the top-level window.
    HWND owner = m_hParent ? ::GetAncestor(m_hParent, GA_ROOT) : nullptr;
    m_bModal = true;
    const INT_PTR result = ::DialogBoxParamW(m_hModule, MAKEINTRESOURCEW(m_nIDTemplate), owner,
                                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return result;
}

bool CDialog::Create() {
    return Create(m_hParent);
}

bool CDialog::Create(HWND parent) {
    if (GetSafeHwnd()) {
        return false;
    }
    RegisterCommonControls();
    m_hParent = parent;
    m_bModal = false;
    HWND window = ::CreateDialogParamW(m_hModule, MAKEINTRESOURCEW(m_nIDTemplate), parent,
                                       &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!window || GetSafeHwnd() != window) {
        return false;
    }
    m_ownsWindow = true;
    return true;
}

bool CDialog::UpdateData(bool saveAndValidate) {
    if (!GetSafeHwnd()) {
        return false;
    }
    CDataExchange exchange(*this, saveAndValidate);
    DoDataExchange(&exchange);
    return !exchange.m_bFailed;
}

void CDialog::EndDialog(INT_PTR result) {
    ::EndDialog(GetSafeHwnd(), result);
}

bool CDialog::PreTranslateMessage(MSG* msg) {
    HWND self = GetSafeHwnd();
    if (!self || (GetStyle() & WS_CHILD) || msg->message < WM_KEYFIRST ||
        msg->message > WM_KEYLAST) {
        return false;
    }
    if (msg->hwnd != self && !::IsChild(self, msg->hwnd)) {
        return false;
    }
    return ::IsDialogMessageW(self, msg) != FALSE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_INITDIALOG) {
        result = OnInitDialog();
        return true;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

bool CDialog::OnCommand(UINT id, UINT code, HWND control) {
    if (CWnd::OnCommand(id, code, control)) {
        return true;
    }
    if (code <= 1 && id == IDOK) {
        OnOK();
        return true;
    }
    if (code <= 1 && id == IDCANCEL) {
        OnCancel();
        return true;
    }
    CAppBase* app = GetApp();
    return app && app->OnCommand(id, code);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = dynamic_cast<CDialog*>(FromHandle(window));
    if (self && self->m_frame && self->m_frame->toDefault) {
        self->m_frame->toDefault = false; // re-entered from Default(): the platform handles it
        return FALSE;
    }
    if (!self) {
        // Messages before WM_INITDIALOG (WM_SETFONT, notifications of controls being created)
        // get the platform's handling.
        if (message != WM_INITDIALOG || !lParam) {
            return FALSE;
        }
        self = reinterpret_cast<CDialog*>(lParam);
        if (!self->Attach(window, Link::Dialog)) {
            return FALSE;
        }
    }
    if (message == WM_NCDESTROY) {
        self->WindowDestroyed(); // FALSE below lets the platform free its dialog data
        return FALSE;
    }
    LRESULT result = 0;
    if (!self->Dispatch(window, message, wParam, lParam, result)) {
        return FALSE;
    }
    if (ReturnsDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

} // namespace lumivex::fw
