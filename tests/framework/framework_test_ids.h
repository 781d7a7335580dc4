// Resource identifiers of the framework test dialog.
#pragma once

#define IDD_FW_TEST 100
#define IDC_FW_CHECK 101
#define IDC_FW_EDIT 102
#define IDC_FW_STATIC 103
#define IDC_FW_TAB 104
#define IDD_FW_MISSING 999
