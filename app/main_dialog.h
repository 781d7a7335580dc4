// The main program's only top-level window: a modeless dialog with the options, programs and
// about pages in a tab control, the tray icon and its menu, and the program's exit path. The user
// never closes it: the close box and "&Hide" hide it; only "E&xit" ends the program.
#pragma once

#include "app/about_page.h"
#include "app/met_programs.h"
#include "app/options_page.h"
#include "app/programs_page.h"
#include "app/tab_sheet.h"
#include "app/tray_icon.h"
#include "app/zoom_label.h"
#include "framework/dialog.h"
#include "support/owners.h"

#include <string>

namespace lumivex::app {

class CLumivexMain : public fw::CDialog {
public:
    CLumivexMain();
    ~CLumivexMain() override;

    // Visible: minimise and hide. Hidden: minimise and show normal. Returns 0.
    int ToggleVisibility();
    // Shows the dialog in front with the about page.
    void ShowAboutPage();
    // Adds or removes the tray icon as m_bShowTrayIcon of the options says.
    void UpdateTrayIcon();
    // The tray icon's messages; always 0.
    LRESULT OnTaskBarN(WPARAM wParam, LPARAM lParam);

    bool PreTranslateMessage(MSG* msg) override;

    int m_bShowTrayIcon = 0; // check box 21087

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void MapHandlers();
    void OnClose();
    void OnExitCommand();
    void OnShowTrayIconClicked();
    void ShowTrayMenu();
    void MakeVersionLabelBold();
    // Sets the update timer (once per run) or, when `on` is false, takes a pending one back.
    void ArmUpdateCheck(bool on);
    // The update timer fired: the check starts on its worker.
    void StartUpdateCheck();
    // The worker found another version: a balloon at the tray icon and a link on the about
    // page, both leading to the notice's address.
    void OnUpdateAvailable();
    // Reads the check box and stores it in the options, which are then saved.
    void StoreShowTrayIcon();
    // Config.ini in the per-user folder, where the zoom label's setting and the programs met
    // live; empty without the folder.
    static std::wstring ConfigFile();

    const std::wstring m_strConfigIni = ConfigFile(); // before the pages that are given it
    CTabSheet m_tabSheet;
    CPgeFindWin m_pageOptions;
    CPgePrograms m_pagePrograms;
    CAboutLumivex m_pageAbout;
    int m_nAboutPage = -1; // its tab
    CMetPrograms m_metPrograms;
    CZoomLabel m_zoomLabel;
    CTrayIcon m_trayIcon;
    UniqueIcon m_hBigIcon;
    UniqueIcon m_hSmallIcon;
    UniqueFont m_boldFont;
    UINT m_nTaskbarCreated = 0;
    bool m_bUpdateCheckStarted = false;
    std::wstring m_strUpdateAddress; // what a click on the update balloon opens
};

} // namespace lumivex::app
