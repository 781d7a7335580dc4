// Resource and command identifiers of the main program, shared by its resource script and code.
// The language files key their texts by these numbers, so they never change.
#pragma once

// Dialog templates; also the language file sections of their texts.
#define IDD_LUMIVEX_DIALOG 317
#define IDD_FIND_WIN 318
#define IDD_ABOUT_LUMIVEX 20102
#define IDD_PROGRAMS 319

// The tray menu (also its language file section) and the program icon.
#define IDR_TASKBAR_MENU 2
#define IDI_LUMIVEX 2

// String table: the support mail address.
#define IDS_SUPPORT_ADDRESS 20099

// Main dialog.
#define IDC_PROGRAM_ICON 24107
#define IDC_VERSION_LABEL 24105
#define IDC_DESCRIPTION 1239
#define IDC_PAGE_TAB 1248
#define IDC_SHOW_TRAY_ICON 21087
#define IDC_EXIT 1254

// Options page.
#define IDC_HELP_TEXT 1246
#define IDC_AUTOSTART 1056
#define IDC_CHECK_UPDATE 1057
#define IDC_ZOOM_LABEL 1058
// Programs page.
#define IDC_PROGRAMS_HINT 1059
#define IDC_PROGRAM_LIST 1060

// About page (the version label shares its number with the main dialog's).
#define IDC_LEGAL_NOTICE 24106
#define IDC_HOME_PAGE_LINK 20096
#define IDC_SUPPORT_LINK 20097
#define IDC_UPDATE_LINK 20098 // shown once the update check has found a new version

// Commands of the tray menu; "Open" is also what a second instance sends.
#define ID_OPEN_LUMIVEX 26027
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
