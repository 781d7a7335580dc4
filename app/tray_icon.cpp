#include "app/tray_icon.h"

#include <cwchar>

namespace lumivex::app {

namespace {

// Shells since Vista take the system's own time; older ones this one.
constexpr UINT kBalloonTimeoutMs = 15000;

} // namespace

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

bool CTrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text) {
    if (!m_bPresent) {
        return false;
    }
    NOTIFYICONDATAW balloon = m_record;
    balloon.uFlags = NIF_INFO;
    std::wcsncpy(balloon.szInfoTitle, title.c_str(), ARRAYSIZE(balloon.szInfoTitle) - 1);
    balloon.szInfoTitle[ARRAYSIZE(balloon.szInfoTitle) - 1] = L'\0';
    std::wcsncpy(balloon.szInfo, text.c_str(), ARRAYSIZE(balloon.szInfo) - 1);
    balloon.szInfo[ARRAYSIZE(balloon.szInfo) - 1] = L'\0';
    balloon.dwInfoFlags = NIIF_INFO;
    balloon.uTimeout = kBalloonTimeoutMs;
    return ::Shell_NotifyIconW(NIM_MODIFY, &balloon) != FALSE;
}

void CTrayIcon::Delete() {
    if (m_bPresent) {
        ::Shell_NotifyIconW(NIM_DELETE, &m_record);
        m_bPresent = false;
    }
}

} // namespace lumivex::app
