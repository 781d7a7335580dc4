#include "app/tab_sheet.h"

#include "app/app_rules.h"

#include <commctrl.h>

namespace lumivex::app {

CTabSheet::CTabSheet() {
    MapReflectNotify(TCN_SELCHANGE, [this](NMHDR*) -> LRESULT {
        // A selection that names no page (a tab added by someone else) is ignored.
        SwitchTo(GetCurSel());
        return 0;
    });
    MapMessage(WM_DESTROY, [this](WPARAM, LPARAM) -> LRESULT {
        m_pages.clear(); // the pages are their owner's
        return Default();
    });
}

BOOL CTabSheet::AddPage(const std::wstring& title, fw::CDialog* page) {
    if (!page || !page->GetSafeHwnd() || !GetSafeHwnd()) {
        return FALSE;
    }
    const int index = static_cast<int>(m_pages.size());
    m_pages.push_back(page);
    InsertItem(index, title);
    PositionPage(index);
    ::ShowWindow(page->GetSafeHwnd(), index == 0 ? SW_SHOW : SW_HIDE);
    return TRUE;
}

void CTabSheet::PositionPage(int index) const {
    RECT window{};
    ::GetWindowRect(GetSafeHwnd(), &window);
    POINT corners[2] = {{window.left, window.top}, {window.right, window.bottom}};
    ::MapWindowPoints(nullptr, GetSafeHwnd(), corners, 2);
    RECT tab{};
    GetItemRect(0, tab);
    const PageBox box = PageBoxFor(PageBox{corners[0].x, corners[0].y, corners[1].x, corners[1].y},
                                   tab.bottom - tab.top);
    ::MoveWindow(m_pages[static_cast<size_t>(index)]->GetSafeHwnd(), box.left, box.top,
                 box.right - box.left, box.bottom - box.top, TRUE);
}

bool CTabSheet::SwitchTo(int index) {
    const int count = GetPageCount();
    if (index < 0 || index >= count || m_nCurrentPage < 0 || m_nCurrentPage >= count) {
        return false;
    }
    if (index == m_nCurrentPage) {
        return true;
    }
    ::ShowWindow(m_pages[static_cast<size_t>(m_nCurrentPage)]->GetSafeHwnd(), SW_HIDE);
    m_nCurrentPage = index;
    ::ShowWindow(m_pages[static_cast<size_t>(index)]->GetSafeHwnd(), SW_SHOW);
    return true;
}

int CTabSheet::SelectPage(int index) {
    if (index < 0 || index >= GetPageCount()) {
        return -1;
    }
    const int previous = m_nCurrentPage;
    if (index == previous) {
        return previous;
    }
    if (SwitchTo(index)) {
        SetCurSel(index);
    }
    return previous;
}

} // namespace lumivex::app
