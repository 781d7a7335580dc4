// Resource identifiers of the hook server.
#pragma once

#define IDD_LUMIVEXSERVER_DIALOG 317
#define IDC_SERVER_TEXT 1000
