// The resident server's main window: a dialog that is never shown. Messengers find it by the
// registered query message and hand it their commands.
#pragma once

#include "framework/dialog.h"
#include "server/server_command.h"

namespace lumivex::server {

class CLumivexMain : public fw::CDialog {
public:
    // `queryMessage`: the registered message answered with its own number (0: none registered).
    // `startCommand`: carried out while the window is being created.
    CLumivexMain(UINT queryMessage, ServerCommand startCommand);

    // Carries out one command; code 4 also ends the message loop.
    void OnServerCommand(UINT_PTR code, INT_PTR param);

protected:
    BOOL OnInitDialog() override;

private:
    ServerCommand m_startCommand;
};

} // namespace lumivex::server
