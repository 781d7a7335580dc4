#include "app/programs_page.h"

#include "app/app_ids.h"
#include "app/app_rules.h"
#include "app/program_settings.h"
#include "support/language.h"

#include <commctrl.h>

namespace lumivex::app {

namespace {

// Column widths in dialog units, so they follow the dialog's font and the screen's dpi.
constexpr int kNameColumnUnits = 150;
constexpr int kLevelColumnUnits = 70;

} // namespace

CPgePrograms::CPgePrograms(std::wstring browsersIni, std::wstring configIni)
    : CDialog(IDD_PROGRAMS), m_browsersIni(std::move(browsersIni)),
      m_configIni(std::move(configIni)) {
    MapNotify(IDC_PROGRAM_LIST, LVN_ITEMCHANGED, [this](NMHDR* header) -> LRESULT {
        OnItemChanged(*reinterpret_cast<NMLISTVIEW*>(header));
        return 0;
    });
    MapNotify(IDC_PROGRAM_LIST, NM_DBLCLK, [this](NMHDR* header) -> LRESULT {
        OnDoubleClick(reinterpret_cast<const NMITEMACTIVATE*>(header)->ptAction);
        return 0;
    });
    // Scrolling would leave the box over another row.
    MapNotify(IDC_PROGRAM_LIST, LVN_BEGINSCROLL, [this](NMHDR*) -> LRESULT {
        m_levelEdit.End(true);
        return 0;
    });
    // Shown again (its tab chosen): what changed meanwhile shows.
    MapMessage(WM_SHOWWINDOW, [this](WPARAM shown, LPARAM) -> LRESULT {
        if (shown) {
            Reload();
        } else {
            m_levelEdit.End(true);
        }
        return Default();
    });
}

void CPgePrograms::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Control(pDX, IDC_PROGRAM_LIST, m_list);
}

BOOL CPgePrograms::OnInitDialog() {
    CDialog::OnInitDialog();
    TranslateDialog(GetSafeHwnd(), IDD_PROGRAMS);
    m_list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                            LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    // Both across: a rectangle's left and right are mapped with the horizontal unit.
    RECT widths{kNameColumnUnits, 0, kLevelColumnUnits, 0};
    ::MapDialogRect(GetSafeHwnd(), &widths);
    m_list.InsertColumn(kNameColumn, GetLangText(L"31", L"Program"), widths.left);
    m_list.InsertColumn(kLevelColumn, GetLangText(L"32", L"Default zoom"), widths.right);
    Reload();
    return TRUE;
}

void CPgePrograms::OnProgramMet(const std::wstring& name) {
    m_metThisRun.insert(name);
    if (ItemOf(name) >= 0) {
        return;
    }
    // The user's typing is not cut short: the row comes when the edit ends.
    if (m_levelEdit.Editing()) {
        m_reloadAfterEdit = true;
    } else {
        Reload();
    }
}

void CPgePrograms::Reload() {
    if (!m_list.GetSafeHwnd()) {
        return;
    }
    m_levelEdit.End(true);
    std::vector<ProgramRow> rows =
        ReadProgramRows(m_browsersIni, m_configIni,
                        std::vector<std::wstring>(m_metThisRun.begin(), m_metThisRun.end()));
    if (rows == m_rows) {
        return;
    }
    const int current = m_list.GetCurrentItem();
    const std::wstring selected =
        current >= 0 && current < static_cast<int>(m_rows.size()) ? m_rows[current].name : L"";
    m_rows = std::move(rows);
    Fill();
    if (const int item = ItemOf(selected); item >= 0) {
        m_list.SelectItem(item);
    }
}

void CPgePrograms::Fill() {
    m_filling = true;
    m_list.DeleteAllItems();
    for (size_t index = 0; index < m_rows.size(); ++index) {
        const ProgramRow& row = m_rows[index];
        const int item = m_list.InsertItem(static_cast<int>(index), row.name);
        m_list.SetItemText(item, kLevelColumn, ZoomLabelText(row.startLevel));
        m_list.SetCheck(item, row.zoomed);
    }
    m_filling = false;
}

int CPgePrograms::ItemOf(const std::wstring& name) const {
    for (size_t index = 0; index < m_rows.size(); ++index) {
        if (m_rows[index].name == name) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

void CPgePrograms::OnItemChanged(const NMLISTVIEW& change) {
    if (m_filling || !(change.uChanged & LVIF_STATE) || change.iItem < 0 ||
        change.iItem >= static_cast<int>(m_rows.size())) {
        return;
    }
    const UINT before = (change.uOldState & LVIS_STATEIMAGEMASK) >> 12;
    const UINT after = (change.uNewState & LVIS_STATEIMAGEMASK) >> 12;
    // Image 0 is an item that has no box yet; only a tick or its removal is the user's.
    if (before == 0 || after == 0 || before == after) {
        return;
    }
    ProgramRow& row = m_rows[static_cast<size_t>(change.iItem)];
    const bool zoomed = after == 2;
    if (WriteZoomed(m_browsersIni, row.name, zoomed)) {
        row.zoomed = zoomed;
    } else {
        // Not written: the box shows what the file says.
        m_filling = true;
        m_list.SetCheck(change.iItem, row.zoomed);
        m_filling = false;
    }
}

void CPgePrograms::OnDoubleClick(POINT at) {
    // The click's own point: the pointer may have moved on since.
    const fw::CListCtrl::Hit hit = m_list.HitTest(at);
    if (hit.item >= 0 && !hit.onCheckBox) {
        BeginLevelEdit(hit.item);
    }
}

void CPgePrograms::BeginLevelEdit(int item) {
    if (item < 0 || item >= static_cast<int>(m_rows.size())) {
        return;
    }
    RECT cell{};
    if (!m_list.GetSubItemRect(item, kLevelColumn, cell)) {
        return;
    }
    const std::wstring name = m_rows[static_cast<size_t>(item)].name;
    m_list.SelectItem(item);
    m_levelEdit.Begin(m_list.GetSafeHwnd(), cell,
                      std::to_wstring(m_rows[static_cast<size_t>(item)].startLevel), ES_NUMBER,
                      [this, name](const std::wstring* typed) {
                          if (typed) {
                              OnLevelTyped(name, *typed);
                          }
                          if (m_reloadAfterEdit) {
                              m_reloadAfterEdit = false;
                              Reload();
                          }
                      });
}

void CPgePrograms::OnLevelTyped(const std::wstring& name, const std::wstring& typed) {
    // Found by name: the list may have been filled again meanwhile.
    const int item = ItemOf(name);
    const std::optional<int> level = StartLevelFromTyped(typed);
    if (item < 0 || !level) {
        ::MessageBeep(MB_ICONWARNING);
        return;
    }
    ProgramRow& row = m_rows[static_cast<size_t>(item)];
    if (*level != row.startLevel && WriteStartLevel(m_browsersIni, name, *level)) {
        row.startLevel = *level;
    }
    m_list.SetItemText(item, kLevelColumn, ZoomLabelText(row.startLevel));
}

bool CPgePrograms::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && msg->hwnd == m_list.GetSafeHwnd() &&
        (msg->wParam == VK_F2 || msg->wParam == VK_RETURN)) {
        BeginLevelEdit(m_list.GetCurrentItem());
        return true;
    }
    return CDialog::PreTranslateMessage(msg);
}

} // namespace lumivex::app
