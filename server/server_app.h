// The hook server's application object: decides between resident server and messenger.
#pragma once

#include "framework/app.h"
#include "support/owners.h"
#include "server/main_window.h"

#include <memory>

namespace lumivex::server {

class CLumivexApp : public fw::CWinApp {
public:
    CLumivexApp();

    // Resident server: creates the hidden main window and runs the loop. Messenger: passes the
    // command on (if it finds the resident) and ends once it is carried out or given up on.
    // "Exit" with no server running: ends at once.
    bool InitInstance() override;
    // Destroys the main window and closes the mutex. The exit code is always 0.
    int ExitInstance() override;

    UniqueHandle m_hMutex;   // the single-instance mutex, held for the life of the process
    UINT_PTR m_nCommand = 0; // command code from the command line; 0 when none
    INT_PTR m_nParam = 0;    // its numeric parameter; 0 when none

private:
    UINT m_nQueryMessage = 0;
    std::unique_ptr<CLumivexMain> m_pMainDlg;
};

// Libraries that are loaded by name come from the system folder and this program's folder only.
// Looked up at run time: older systems lack the call, and the server must still start there.
void SetSafeLibrarySearch();

} // namespace lumivex::server
