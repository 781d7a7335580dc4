// The second page of the main dialog: product and version, the legal notice, and links to the
// home page and the support address.
#pragma once

#include "app/hyperlink.h"
#include "framework/dialog.h"

namespace lumivex::app {

class CAboutLumivex : public fw::CDialog {
public:
    explicit CAboutLumivex(HWND parent = nullptr);

    CHLinkCtrl m_homePage;    // control 20096
    CHLinkCtrl m_supportMail; // control 20097

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};

} // namespace lumivex::app
