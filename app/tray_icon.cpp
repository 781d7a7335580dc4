#include "app/tray_icon.h"

#include <cwchar>

namespace lumivex::app {

bool CTrayIcon::Add(HWND owner, HICON icon, const wchar_t* tip) {
    if (m_bPresent) {
        return true;
    }
    m_record = NOTIFYICONDATAW{};
    // The second version of the record: every shell since Windows 2000 reads it, balloons
    // included.
    m_record.cbSize = NOTIFYICONDATAW_V2_SIZE;
    m_record.hWnd = owner;
    m_record.uID = kTrayIconId;
    m_record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_record.uCallbackMessage = WM_TRAY_CALLBACK;
    m_record.hIcon = icon;
    std::wcsncpy(m_record.szTip, tip, ARRAYSIZE(m_record.szTip) - 1);
    m_bPresent = ::Shell_NotifyIconW(NIM_ADD, &m_record) != FALSE;
    return m_bPresent;
}

void CTrayIcon::Delete() {
    if (m_bPresent) {
        ::Shell_NotifyIconW(NIM_DELETE, &m_record);
        m_bPresent = false;
    }
}

} // namespace lumivex::app
