// The main dialog's icon in the notification area.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace lumivex::app {

// Messages of the tray icon to the main dialog.
inline constexpr UINT WM_TRAY_CALLBACK = WM_USER + 110;
inline constexpr UINT kTrayIconId = 516;

class CTrayIcon {
public:
    CTrayIcon() = default;
    ~CTrayIcon() { Delete(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Adds the icon for `owner` unless it is there; present only when the shell took it.
    bool Add(HWND owner, HICON icon, const wchar_t* tip);
    // Removes the icon if it is there.
    void Delete();
    // Shows a balloon with `title` and `text` (cut to what the record holds) at the icon; false
    // when the icon is not there or the shell refused it. A click on it reaches the owner as
    // NIN_BALLOONUSERCLICK.
    bool ShowBalloon(const std::wstring& title, const std::wstring& text);
    bool IsPresent() const noexcept { return m_bPresent; }
    // The shell lost its icons (Explorer restarted, or the taskbar came up after us): whatever
    // was there is gone and must be added again.
    void Forget() noexcept { m_bPresent = false; }

private:
    NOTIFYICONDATAW m_record{};
    bool m_bPresent = false;
};

} // namespace lumivex::app
