// Resource identifiers of the language test program.
#pragma once

#define IDD_LANG_TEST 500
#define IDC_LANG_BUTTON 501
#define IDC_LANG_LABEL 502
#define IDC_LANG_EDIT 503
#define IDC_LANG_COMBO 504
#define IDC_LANG_LIST 505
#define IDC_LANG_PANEL 506
#define IDC_LANG_NESTED 507

#define IDM_LANG_TEST 600
#define IDM_LANG_OPEN 601
#define IDM_LANG_ZOOM 602
#define IDM_LANG_DEEP 603
#define IDM_LANG_EXIT 604

#define IDS_LANG_IN_BOTH 700
#define IDS_LANG_RESOURCE_ONLY 701
#define IDS_LANG_MISSING 799
