// A static text control that behaves like a web link: underlined, coloured by state, the hand
// cursor over it, and a click opens its address.
#pragma once

#include "framework/controls.h"
#include "support/owners.h"

#include <string>

namespace lumivex::app {

// Opens `address` with the shell's Internet shortcut object, else with ShellExecuteW.
bool OpenAddress(HWND parent, const std::wstring& address);

enum class LinkState { Normal = 0, Visited = 1, Hover = 2 };

class CHLinkCtrl : public fw::CStatic {
public:
    CHLinkCtrl();

    void SetAddress(const std::wstring& address) { m_strAddress = address; }
    void SetLinkText(const std::wstring& text) const { SetText(text); }
    LinkState GetState() const noexcept { return m_state; }

    // Opens the address (OpenAddress) for the control's parent.
    bool OpenLink() const;

    COLORREF m_crLink = RGB(0, 0, 255);
    COLORREF m_crVisited = RGB(128, 0, 128);
    COLORREF m_crHover = RGB(255, 0, 0);
    int m_bHoverTracking = 1;

private:
    void OnMouseMove(LPARAM point);
    void OnClick();
    // Leaves Hover for the saved state; the capture is already gone or about to go.
    void LeaveHover();
    HBRUSH OnCtlColor(HDC dc);
    void SetState(LinkState state);

    std::wstring m_strAddress;
    HCURSOR m_hHandCursor;
    LinkState m_state = LinkState::Normal;
    LinkState m_savedState = LinkState::Normal;
    UniqueFont m_underlineFont; // made at the first paint
};

} // namespace lumivex::app
