#include "hooklib/dlg_msg_prompt.h"

#include "hooklib/resource.h"

namespace lumivex::hook {

CDlgMsgPrompt::CDlgMsgPrompt(const std::wstring& title, const std::wstring& message, int buttons,
                             HICON icon, const wchar_t* checkText, HWND parent)
    : CDialog(IDD_MSG_PROMPT, parent), m_strTitle(title), m_strMessage(message),
      m_strCheckText(checkText ? checkText : L""), m_nButtons(buttons), m_hIcon(icon) {}

void CDlgMsgPrompt::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Control(pDX, IDC_PROMPT_ICON, m_icon);
    fw::DDX_Text(pDX, IDC_PROMPT_TEXT, m_strMessage);
}

BOOL CDlgMsgPrompt::OnInitDialog() {
    if (!CDialog::OnInitDialog()) {
        return FALSE;
    }
    SetText(m_strTitle);
    CenterOnOwner();
    const HWND check = GetDlgItem(IDC_PROMPT_CHECK);
    if (m_hIcon) {
        m_icon.SetIcon(m_hIcon);
    } else {
        RECT place = {};
        ::GetWindowRect(m_icon, &place);
        ::MapWindowPoints(nullptr, *this, reinterpret_cast<POINT*>(&place), 2);
        ::ShowWindow(m_icon, SW_HIDE);
        ::SetWindowPos(GetDlgItem(IDC_PROMPT_TEXT), nullptr, place.left, place.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!m_strCheckText.empty()) {
        ::SetWindowTextW(check, m_strCheckText.c_str());
    } else {
        ::ShowWindow(check, SW_HIDE);
    }
    if (!(m_nButtons & PROMPT_SHOW_OK)) {
        ::ShowWindow(GetDlgItem(IDOK), SW_HIDE);
    }
    if (!(m_nButtons & PROMPT_SHOW_CANCEL)) {
        ::ShowWindow(GetDlgItem(IDCANCEL), SW_HIDE);
    }
    return TRUE;
}

// Over the middle of the owner, kept inside the owner's monitor: the platform would put the
// dialog at the owner's top-left corner, over the very window whose frame flashes.
void CDlgMsgPrompt::CenterOnOwner() {
    const HWND owner = ::GetWindow(*this, GW_OWNER);
    RECT own = {};
    RECT self = {};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!owner || !::GetWindowRect(owner, &own) || !::GetWindowRect(*this, &self) ||
        !::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT& area = monitor.rcWork;
    const int width = self.right - self.left;
    const int height = self.bottom - self.top;
    int x = (own.left + own.right - width) / 2;
    int y = (own.top + own.bottom - height) / 2;
    x = x + width > area.right ? area.right - width : x;
    y = y + height > area.bottom ? area.bottom - height : y;
    x = x < area.left ? area.left : x;
    y = y < area.top ? area.top : y;
    ::SetWindowPos(*this, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDlgMsgPrompt::TakeCheck() {
    m_bChecked = ::SendMessageW(GetDlgItem(IDC_PROMPT_CHECK), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The message is read-only, so nothing is read back: the base class's OK would only copy the
// control's text over the member.
void CDlgMsgPrompt::OnOK() {
    TakeCheck();
    EndDialog(IDOK);
}

void CDlgMsgPrompt::OnCancel() {
    TakeCheck();
    EndDialog(IDCANCEL);
}

} // namespace lumivex::hook
