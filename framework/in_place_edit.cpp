#include "framework/in_place_edit.h"

#include "framework/app.h"

namespace lumivex::fw {

namespace {

constexpr int kEditId = 1;

} // namespace

CInPlaceEdit::CInPlaceEdit() {
    // A click elsewhere keeps the text, as a list's own label editing does.
    MapMessage(WM_KILLFOCUS, [this](WPARAM, LPARAM) -> LRESULT {
        const LRESULT result = Default();
        End(true);
        return result;
    });
}

bool CInPlaceEdit::Begin(HWND parent, const RECT& cell, const std::wstring& text, DWORD styles,
                         DoneHandler done) {
    End(true);
    if (GetSafeHwnd() && ::GetParent(GetSafeHwnd()) != parent) {
        return false; // one box serves one list
    }
    if (!GetSafeHwnd()) {
        HWND box = ::CreateWindowExW(
            0, L"EDIT", L"", WS_CHILD | WS_BORDER | ES_AUTOHSCROLL | WS_CLIPSIBLINGS | styles, 0, 0,
            0, 0, parent, reinterpret_cast<HMENU>(kEditId), ModuleInstance(), nullptr);
        if (!box) {
            return false;
        }
        if (!SubclassWindow(box)) {
            ::DestroyWindow(box);
            return false;
        }
        m_ownsWindow = true;
        const auto font = ::SendMessageW(parent, WM_GETFONT, 0, 0);
        Send(WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    }
    m_done = std::move(done);
    SetText(text);
    ::SetWindowPos(GetSafeHwnd(), HWND_TOP, cell.left, cell.top, cell.right - cell.left,
                   cell.bottom - cell.top, SWP_SHOWWINDOW);
    Send(EM_SETSEL, 0, -1);
    ::SetFocus(GetSafeHwnd());
    return true;
}

void CInPlaceEdit::End(bool keep) {
    if (!m_done) {
        return;
    }
    // Taken first: hiding the box moves the focus, which ends the edit again.
    DoneHandler done = std::move(m_done);
    m_done = nullptr;
    const std::wstring typed = GetText();
    HWND parent = ::GetParent(GetSafeHwnd());
    if (::GetFocus() == GetSafeHwnd()) {
        ::SetFocus(parent);
    }
    ::ShowWindow(GetSafeHwnd(), SW_HIDE);
    done(keep ? &typed : nullptr);
}

bool CInPlaceEdit::PreTranslateMessage(MSG* msg) {
    if (msg->hwnd == GetSafeHwnd() && msg->message == WM_KEYDOWN && Editing() &&
        (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        End(msg->wParam == VK_RETURN);
        return true;
    }
    return CWnd::PreTranslateMessage(msg);
}

} // namespace lumivex::fw
