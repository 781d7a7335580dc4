#include "server/main_window.h"

#include "server/hook_library.h"
#include "server/server_resource.h"
#include "support/user_data_folder.h"

namespace lumivex::server {

CLumivexMain::CLumivexMain(UINT queryMessage, ServerCommand startCommand)
    : CDialog(IDD_LUMIVEXSERVER_DIALOG), m_startCommand(startCommand) {
    // A failed registration gives 0; answering message 0 would make every window look like us.
    if (queryMessage) {
        MapMessage(queryMessage, [queryMessage](WPARAM, LPARAM) -> LRESULT {
            return static_cast<LRESULT>(queryMessage);
        });
    }
    MapMessage(WM_SERVER_COMMAND, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
        OnServerCommand(static_cast<UINT_PTR>(wParam), static_cast<INT_PTR>(lParam));
        return 0;
    });
}

BOOL CLumivexMain::OnInitDialog() {
    CDialog::OnInitDialog();
    ::ShowWindow(GetSafeHwnd(), SW_HIDE);
    // Made for the hook library's and the main program's files; without application data the
    // server has no folder of its own to fall back on, and needs none.
    UserDataFolder(std::wstring());
    if (m_startCommand.code != SERVER_NONE) {
        OnServerCommand(m_startCommand.code, m_startCommand.param);
    }
    // No default focus: focusing a control would activate this window and could take the
    // foreground from the program the user works in.
    return FALSE;
}

void CLumivexMain::OnServerCommand(UINT_PTR code, INT_PTR param) {
    (void)param; // only "Inject" carries one, and it asks for nothing here
    switch (code) {
    case SERVER_ENABLE:
        InstallHook();
        break;
    case SERVER_DISABLE:
        RemoveHook();
        break;
    case SERVER_EXIT:
        RemoveHook();
        ::PostQuitMessage(0);
        break;
    default:
        break;
    }
}

} // namespace lumivex::server
