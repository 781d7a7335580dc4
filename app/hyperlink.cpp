#include "app/hyperlink.h"

#include <intshcut.h>
#include <shellapi.h>

namespace lumivex::app {

namespace {

// The shell's Internet shortcut object and its wide interface.
constexpr CLSID kInternetShortcut = {
    0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
constexpr IID kUniformResourceLocatorW = {
    0xCABB0DA0, 0xDA57, 0x11CF, {0x99, 0x74, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x62}};

bool OpenWithShortcutObject(HWND parent, const std::wstring& address) {
    ComPtr<IUniformResourceLocatorW> locator;
    if (FAILED(::CoCreateInstance(kInternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                  kUniformResourceLocatorW, locator.put_void())) ||
        !locator) {
        return false;
    }
    if (FAILED(locator->SetURL(address.c_str(), IURL_SETURL_FL_GUESS_PROTOCOL))) {
        return false;
    }
    URLINVOKECOMMANDINFOW invoke{};
    invoke.dwcbSize = sizeof(invoke);
    invoke.dwFlags = IURL_INVOKECOMMAND_FL_ALLOW_UI;
    invoke.hwndParent = parent;
    invoke.pcszVerb = L"open";
    return SUCCEEDED(locator->InvokeCommand(&invoke));
}

// COM for the calling thread while a link opens; the thread may have it already.
class ComScope {
public:
    ComScope() : m_started(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (m_started) {
            ::CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool m_started;
};

// Restores the previous cursor when the link has been opened, whichever way.
class WaitCursor {
public:
    WaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { ::SetCursor(m_previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

} // namespace

CHLinkCtrl::CHLinkCtrl() : m_hHandCursor(::LoadCursorW(nullptr, IDC_HAND)) {
    MapMessage(WM_SETCURSOR, [this](WPARAM, LPARAM) -> LRESULT {
        ::SetCursor(m_hHandCursor);
        return TRUE;
    });
    MapMessage(WM_MOUSEMOVE, [this](WPARAM, LPARAM lParam) -> LRESULT {
        OnMouseMove(lParam);
        return Default();
    });
    MapMessage(WM_LBUTTONDOWN, [this](WPARAM, LPARAM) -> LRESULT {
        OnClick();
        return 0;
    });
    MapMessage(WM_CAPTURECHANGED, [this](WPARAM, LPARAM) -> LRESULT {
        // Whoever took the capture, the pointer is no longer tracked over the link.
        if (m_state == LinkState::Hover) {
            LeaveHover();
        }
        return Default();
    });
    MapReflect(WM_CTLCOLORSTATIC, [this](WPARAM wParam, LPARAM) -> LRESULT {
        return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wParam)));
    });
}

void CHLinkCtrl::SetState(LinkState state) {
    m_state = state;
    ::InvalidateRect(GetSafeHwnd(), nullptr, TRUE);
}

void CHLinkCtrl::OnMouseMove(LPARAM point) {
    if (!m_bHoverTracking) {
        return;
    }
    RECT client{};
    ::GetClientRect(GetSafeHwnd(), &client);
    const POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    if (::PtInRect(&client, at)) {
        if (m_state != LinkState::Hover) {
            ::SetCapture(GetSafeHwnd());
            m_savedState = m_state;
            SetState(LinkState::Hover);
        }
    } else if (m_state == LinkState::Hover) {
        LeaveHover();
        ::ReleaseCapture();
    }
}

void CHLinkCtrl::LeaveHover() {
    SetState(m_savedState);
}

void CHLinkCtrl::OnClick() {
    // The capture taken for hovering goes first: kept, it would send every later click in the
    // program here and open the link again.
    if (::GetCapture() == GetSafeHwnd()) {
        ::ReleaseCapture();
    }
    if (m_state == LinkState::Hover) {
        LeaveHover();
    }
    if (OpenLink()) {
        m_savedState = LinkState::Visited;
        SetState(LinkState::Visited);
    }
}

bool OpenAddress(HWND parent, const std::wstring& address) {
    const WaitCursor wait;
    const ComScope com;
    if (OpenWithShortcutObject(parent, address)) {
        return true;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(parent, L"open", address.c_str(), nullptr, nullptr, SW_SHOW));
    return result > 32;
}

bool CHLinkCtrl::OpenLink() const {
    return OpenAddress(::GetParent(GetSafeHwnd()), m_strAddress);
}

HBRUSH CHLinkCtrl::OnCtlColor(HDC dc) {
    const DWORD style = GetStyle();
    if (!(style & SS_NOTIFY)) {
        ::SetWindowLongW(GetSafeHwnd(), GWL_STYLE, static_cast<LONG>(style | SS_NOTIFY));
    }
    // Only plain text (left, centred, right) is drawn as a link.
    if ((style & SS_TYPEMASK) > SS_RIGHT) {
        return nullptr;
    }
    if (!m_underlineFont) {
        auto font = reinterpret_cast<HFONT>(Send(WM_GETFONT));
        if (!font) {
            font = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
        }
        LOGFONTW description{};
        if (::GetObjectW(font, sizeof(description), &description) == sizeof(description)) {
            description.lfUnderline = TRUE;
            m_underlineFont.reset(::CreateFontIndirectW(&description));
        }
    }
    if (m_underlineFont) {
        ::SelectObject(dc, m_underlineFont.get());
    }
    switch (m_state) {
    case LinkState::Visited:
        ::SetTextColor(dc, m_crVisited);
        break;
    case LinkState::Hover:
        ::SetTextColor(dc, m_crHover);
        break;
    default:
        ::SetTextColor(dc, m_crLink);
        break;
    }
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

} // namespace lumivex::app
