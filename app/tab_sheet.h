// A tab control that holds page dialogs: each tab owns one modeless child dialog, and exactly
// one page shows at a time. The pages are created by their owner as children of the tab control
// and stay the owner's; the sheet only refers to them.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

#include <string>
#include <vector>

namespace lumivex::app {

class CTabSheet : public fw::CTabCtrl {
public:
    CTabSheet();

    // Adds a tab for an already created page and positions the page; the first page shows, the
    // others hide. FALSE for a page without a window.
    BOOL AddPage(const std::wstring& title, fw::CDialog* page);
    // Shows page `index`: the previous current index, or -1 when `index` is outside the list.
    int SelectPage(int index);

    int GetCurrentPage() const noexcept { return m_nCurrentPage; }
    int GetPageCount() const noexcept { return static_cast<int>(m_pages.size()); }

private:
    void PositionPage(int index) const;
    // Hides the current page and shows `index`; false when either is outside the list.
    bool SwitchTo(int index);

    std::vector<fw::CDialog*> m_pages;
    int m_nCurrentPage = 0;
};

} // namespace lumivex::app
