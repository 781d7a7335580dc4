#include "app/about_page.h"

#include "app/app_ids.h"
#include "app/app_rules.h"
#include "app/program_version.h"
#include "build_settings.h"
#include "framework/app.h"
#include "support/guarded.h"
#include "support/language.h"

namespace lumivex::app {

CAboutLumivex::CAboutLumivex(HWND parent) : CDialog(IDD_ABOUT_LUMIVEX, parent) {}

void CAboutLumivex::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Control(pDX, IDC_HOME_PAGE_LINK, m_homePage);
    fw::DDX_Control(pDX, IDC_SUPPORT_LINK, m_supportMail);
    fw::DDX_Control(pDX, IDC_UPDATE_LINK, m_updateLink);
}

void CAboutLumivex::ShowUpdateNotice(const std::wstring& text, const std::wstring& address) {
    if (!m_updateLink.GetSafeHwnd()) {
        return;
    }
    m_updateLink.SetAddress(address);
    m_updateLink.SetLinkText(text);
    ::ShowWindow(m_updateLink.GetSafeHwnd(), SW_SHOW);
}

BOOL CAboutLumivex::OnInitDialog() {
    // Whatever fails, the page shows what was set up to that point.
    Guarded(L"CAboutLumivex", L"OnInitDialog", [this] {
        CDialog::OnInitDialog();
        TranslateDialog(GetSafeHwnd(), IDD_ABOUT_LUMIVEX);

        m_homePage.SetAddress(LUMIVEX_HOME_PAGE);
        m_homePage.SetLinkText(LUMIVEX_HOME_PAGE);
        const std::wstring support = LoadLangString(IDS_SUPPORT_ADDRESS);
        m_supportMail.SetAddress(support);
        m_supportMail.SetLinkText(support);

        ::SetDlgItemTextW(GetSafeHwnd(), IDC_VERSION_LABEL,
                          VersionLabel(ReadProgramVersion().fields).c_str());

        ::SetDlgItemTextW(GetSafeHwnd(), IDC_LEGAL_NOTICE, LUMIVEX_LEGAL_NOTICE);
    });
    return TRUE;
}

} // namespace lumivex::app
