#include "app/about_page.h"

#include "app/app_ids.h"
#include "app/app_rules.h"
#include "build_settings.h"
#include "framework/app.h"
#include "support/guarded.h"
#include "support/language.h"
#include "support/sys_assist.h"

#include <vector>

namespace lumivex::app {

CAboutLumivex::CAboutLumivex(HWND parent) : CDialog(IDD_ABOUT_LUMIVEX, parent) {}

void CAboutLumivex::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Control(pDX, IDC_HOME_PAGE_LINK, m_homePage);
    fw::DDX_Control(pDX, IDC_SUPPORT_LINK, m_supportMail);
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

        const CFSysAssist system;
        std::wstring productName;
        std::wstring internalName;
        std::wstring productVersion;
        system.GetVersionStrings(nullptr, fw::ModuleInstance(), productName, internalName,
                                 productVersion);
        std::vector<std::wstring> fields;
        system.SplitString(productVersion, L", ", fields);
        ::SetDlgItemTextW(GetSafeHwnd(), IDC_VERSION_LABEL, VersionLabel(fields).c_str());

        ::SetDlgItemTextW(GetSafeHwnd(), IDC_LEGAL_NOTICE, LUMIVEX_LEGAL_NOTICE);
    });
    return TRUE;
}

} // namespace lumivex::app
