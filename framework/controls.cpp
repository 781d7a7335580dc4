#include "framework/controls.h"

#include <commctrl.h>

namespace lumivex::fw {

HICON CStatic::SetIcon(HICON icon) const {
    return reinterpret_cast<HICON>(Send(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
}

HICON CStatic::GetIcon() const {
    return reinterpret_cast<HICON>(Send(STM_GETICON));
}

int CTabCtrl::InsertItem(int index, const std::wstring& text) const {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(
        Send(TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

int CTabCtrl::GetItemCount() const {
    return static_cast<int>(Send(TCM_GETITEMCOUNT));
}

int CTabCtrl::GetCurSel() const {
    return static_cast<int>(Send(TCM_GETCURSEL));
}

int CTabCtrl::SetCurSel(int index) const {
    return static_cast<int>(Send(TCM_SETCURSEL, static_cast<WPARAM>(index)));
}

bool CTabCtrl::GetItemRect(int index, RECT& rect) const {
    return Send(TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)) != 0;
}

bool CTabCtrl::DeleteAllItems() const {
    return Send(TCM_DELETEALLITEMS) != 0;
}

} // namespace lumivex::fw
