#include "hooklib/dll_app.h"

#include "support/owners.h"
#include "hooklib/cbt_hook.h"
#include "hooklib/prompt_frame.h"
#include "hooklib/sub_win_table.h"
#include "support/guarded.h"

namespace lumivex::hook {

namespace {

LumivexDllApp theApp;

} // namespace

LumivexDllApp& TheApp() {
    return theApp;
}

LumivexDllApp::LumivexDllApp() : CDllApp(L"Lumivex") {}

bool LumivexDllApp::OnStartup() {
    // Start-up never refuses: a caught failure still reports success.
    return Guarded(L"", L"", true, [&] {
        bGetAllConfigs(GetInstance());
        EnableDebugPrivilege();
        return true;
    });
}

void LumivexDllApp::OnUnload(bool processTerminating) {
    if (processTerminating) {
        // The process is ending: the browsers' libraries may be gone already and the windows
        // die with the process, so nothing is called.
        return;
    }
    SubWinTable().RemoveAllSubWin();
    DeleteFlashPen();
    ClearIECBT();
}

void EnableDebugPrivilege() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.put())) {
        return;
    }
    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
        return;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr);
}

} // namespace lumivex::hook
