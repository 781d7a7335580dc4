// A list-view control for dialogs to attach to their list (DDX_Control). In a file of its own:
// the hook library links the other controls, and takes whole files along.
#pragma once

#include "framework/wnd.h"

#include <string>

namespace lumivex::fw {

// A list-view control in report view. A derived class or the dialog follows the user with the
// control's notifications (LVN_ITEMCHANGED, NM_DBLCLK and the like).
class CListCtrl : public CWnd {
public:
    // Sets the extended styles in `mask` to those in `styles`.
    void SetExtendedStyle(DWORD mask, DWORD styles) const;
    // Adds a column of `width` pixels at `index`; returns its index, -1 on failure.
    int InsertColumn(int index, const std::wstring& title, int width) const;
    // Adds an item with the text of its first column; returns its index, -1 on failure.
    int InsertItem(int index, const std::wstring& text) const;
    bool SetItemText(int item, int subItem, const std::wstring& text) const;
    std::wstring GetItemText(int item, int subItem) const;
    int GetItemCount() const;
    bool DeleteAllItems() const;
    // The check box of an item (LVS_EX_CHECKBOXES).
    bool GetCheck(int item) const;
    bool SetCheck(int item, bool checked) const;
    // The focused item, else the first selected one; -1 when there is none.
    int GetCurrentItem() const;
    bool SelectItem(int item) const;
    // A cell's rectangle in the control's client coordinates.
    bool GetSubItemRect(int item, int subItem, RECT& rect) const;
    // The item and column under a point of the client area, and whether it is the check box;
    // item -1 when the point is on none.
    struct Hit {
        int item = -1;
        int subItem = 0;
        bool onCheckBox = false;
    };
    Hit HitTest(POINT client) const;
};

} // namespace lumivex::fw
