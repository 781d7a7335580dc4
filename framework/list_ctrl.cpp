#include "framework/list_ctrl.h"

#include <commctrl.h>

namespace lumivex::fw {

void CListCtrl::SetExtendedStyle(DWORD mask, DWORD styles) const {
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, styles);
}

int CListCtrl::InsertColumn(int index, const std::wstring& title, int width) const {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(title.c_str());
    column.cx = width;
    column.iSubItem = index;
    return static_cast<int>(
        Send(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::InsertItem(int index, const std::wstring& text) const {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CListCtrl::SetItemText(int item, int subItem, const std::wstring& text) const {
    LVITEMW cell = {};
    cell.iSubItem = subItem;
    cell.pszText = const_cast<wchar_t*>(text.c_str());
    return Send(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell)) != 0;
}

std::wstring CListCtrl::GetItemText(int item, int subItem) const {
    wchar_t text[512] = {};
    LVITEMW cell = {};
    cell.iSubItem = subItem;
    cell.pszText = text;
    cell.cchTextMax = ARRAYSIZE(text);
    const auto length = static_cast<size_t>(
        Send(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell)));
    return std::wstring(text, length < ARRAYSIZE(text) ? length : 0);
}

int CListCtrl::GetItemCount() const {
    return static_cast<int>(Send(LVM_GETITEMCOUNT));
}

bool CListCtrl::DeleteAllItems() const {
    return Send(LVM_DELETEALLITEMS) != 0;
}

bool CListCtrl::GetCheck(int item) const {
    // State image 1 is the empty box, 2 the ticked one.
    const auto state =
        static_cast<UINT>(Send(LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

bool CListCtrl::SetCheck(int item, bool checked) const {
    LVITEMW state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    return Send(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state)) != 0;
}

int CListCtrl::GetCurrentItem() const {
    const auto focused =
        static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused >= 0) {
        return focused;
    }
    return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool CListCtrl::SelectItem(int item) const {
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (!Send(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state))) {
        return false;
    }
    Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
    return true;
}

bool CListCtrl::GetSubItemRect(int item, int subItem, RECT& rect) const {
    rect = {};
    rect.top = subItem;
    rect.left = LVIR_BOUNDS;
    if (!Send(LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect))) {
        return false;
    }
    if (subItem == 0) {
        // The first column's bounds are the whole row's; it ends where the second begins.
        RECT second = {};
        second.top = 1;
        second.left = LVIR_BOUNDS;
        if (Send(LVM_GETSUBITEMRECT, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&second))) {
            rect.right = second.left;
        }
    }
    return true;
}

CListCtrl::Hit CListCtrl::HitTest(POINT client) const {
    LVHITTESTINFO test = {};
    test.pt = client;
    Hit hit;
    if (Send(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&test)) >= 0 && test.iItem >= 0) {
        hit.item = test.iItem;
        hit.subItem = test.iSubItem;
        hit.onCheckBox = (test.flags & LVHT_ONITEMSTATEICON) != 0;
    }
    return hit;
}

} // namespace lumivex::fw
