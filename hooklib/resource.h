// Resource identifiers of the hook library.
#pragma once

#define IDD_MSG_PROMPT 10003
#define IDC_PROMPT_TEXT 10004
#define IDC_PROMPT_ICON 10005
#define IDC_PROMPT_CHECK 10006
