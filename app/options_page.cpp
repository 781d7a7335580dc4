#include "app/options_page.h"

#include "app/app_ids.h"
#include "app/autostart.h"
#include "controller/core_assist.h"
#include "support/language.h"

namespace lumivex::app {

namespace {

// The help text when no language file gives one.
constexpr wchar_t kDefaultHelpText[] =
    L"Full page zoom would be added to the browser-based application automatically when you "
    L"click on the page in them. \n\nYou can press [CTRL +] or [CTRL Mousewheel up] to zoom in. "
    L"Press [CTRL -] or [CTRL Mousewheel down] to zoom out. Reset zoom to 100% with Ctrl-0.";

} // namespace

CPgeFindWin::CPgeFindWin(HWND parent) : CDialog(IDD_FIND_WIN, parent) {
    MapCommand(IDC_AUTOSTART, [this] {
        UpdateData(true);
        SetAutostart(m_bAutostart);
    });
    MapCommand(IDC_CHECK_UPDATE, [this] {
        UpdateData(true);
        CCoreAssist& core = GetCoreAssist();
        core.m_option.m_bCheckUpdate = m_bCheckUpdate ? 1 : 0;
        core.SaveOptions();
        if (m_onCheckUpdateChanged) {
            m_onCheckUpdateChanged(m_bCheckUpdate != 0);
        }
    });
    MapCommand(IDC_ZOOM_LABEL, [this] {
        UpdateData(true);
        if (m_onZoomLabelChanged) {
            m_onZoomLabelChanged(m_bZoomLabel != 0);
        }
    });
}

void CPgeFindWin::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Check(pDX, IDC_AUTOSTART, m_bAutostart);
    fw::DDX_Check(pDX, IDC_CHECK_UPDATE, m_bCheckUpdate);
    fw::DDX_Check(pDX, IDC_ZOOM_LABEL, m_bZoomLabel);
}

BOOL CPgeFindWin::OnInitDialog() {
    CDialog::OnInitDialog();
    TranslateDialog(GetSafeHwnd(), IDD_FIND_WIN);
    m_bAutostart = IsAutostartSet() ? 1 : 0;
    m_bCheckUpdate = GetCoreAssist().m_option.m_bCheckUpdate ? 1 : 0;
    ::SetDlgItemTextW(GetSafeHwnd(), IDC_HELP_TEXT,
                      GetLangMessage(L"24", kDefaultHelpText).c_str());
    UpdateData(false);
    return TRUE;
}

void CPgeFindWin::SetAutostart(int flag) {
    if (flag) {
        WriteAutostartValue();
    } else {
        DeleteAutostartValue();
    }
}

bool CPgeFindWin::IsAutostartSet() const {
    return HasAutostartValue();
}

} // namespace lumivex::app
