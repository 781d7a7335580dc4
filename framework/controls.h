// Control classes that dialogs attach to their controls (DDX_Control or SubclassDlgItem) and that
// derived classes extend, usually with reflected notifications.
#pragma once

#include "framework/wnd.h"

#include <string>

namespace lumivex::fw {

// A static control. A derived class colours it by handling the reflected WM_CTLCOLORSTATIC.
class CStatic : public CWnd {
public:
    // STM_SETICON; returns the previous icon. The control does not own the icon.
    HICON SetIcon(HICON icon) const;
    HICON GetIcon() const;
};

// A tab control. A derived class follows the user's tab changes with the reflected
// TCN_SELCHANGE (MapReflectNotify).
class CTabCtrl : public CWnd {
public:
    // Inserts a text tab at `index`; returns its index, -1 on failure.
    int InsertItem(int index, const std::wstring& text) const;
    int GetItemCount() const;
    int GetCurSel() const;
    // Selects a tab without a notification; returns the previous selection, -1 on failure.
    int SetCurSel(int index) const;
    // Rectangle of tab `index` in the control's client coordinates.
    bool GetItemRect(int index, RECT& rect) const;
    bool DeleteAllItems() const;
};

} // namespace lumivex::fw
