// The second page of the main dialog: product and version, the legal notice, links to the home
// page and the support address, and the update notice once there is one.
#pragma once

#include "app/hyperlink.h"
#include "framework/dialog.h"

#include <string>

namespace lumivex::app {

class CAboutLumivex : public fw::CDialog {
public:
    explicit CAboutLumivex(HWND parent = nullptr);

    // Shows the update notice as a link to `address` (hidden until then).
    void ShowUpdateNotice(const std::wstring& text, const std::wstring& address);

    CHLinkCtrl m_homePage;    // control 20096
    CHLinkCtrl m_supportMail; // control 20097
    CHLinkCtrl m_updateLink;  // control 20098

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};

} // namespace lumivex::app
