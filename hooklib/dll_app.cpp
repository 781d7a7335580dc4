#include "hooklib/dll_app.h"

#include "support/owners.h"
#include "hooklib/cbt_hook.h"
#include "hooklib/sub_win_table.h"
#include "hooklib/window_trampoline.h"
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
        m_config.bGetAllConfigs(GetInstance());
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
    // The hook first, so no focus change takes another window while the others are given back.
    RemoveHook();
    SubWinTable().RemoveAllSubWin();
    // After the windows have their procedures back: only messages already under way still reach
    // the trampoline, and those skip the library from now on. A library pinned for a window
    // left forwarding stays, and so does its part of the trampoline.
    if (!LibraryPinned()) {
        WindowTrampolineLibraryGone();
    }
}

bool LumivexDllApp::InstallHook() {
    if (!m_hCBTHook) {
        m_hCBTHook = SetWindowsHookExW(WH_CBT, &CBTHookProc, GetInstance(), 0);
    }
    return m_hCBTHook != nullptr;
}

bool LumivexDllApp::RemoveHook() {
    if (!m_hCBTHook) {
        return false;
    }
    const BOOL removed = UnhookWindowsHookEx(m_hCBTHook);
    m_hCBTHook = nullptr;
    return removed != FALSE;
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
