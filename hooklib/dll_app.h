// The hook library's application object: one per process the library enters. It holds the
// program's configuration and, in the one process that installed it, the hook.
#pragma once

#include "framework/app.h"
#include "hooklib/browser_config.h"

namespace lumivex::hook {

class LumivexDllApp : public fw::CDllApp {
public:
    LumivexDllApp();

    HINSTANCE ModuleHandle() const noexcept { return GetInstance(); }
    CBrowserConfig& Config() noexcept { return m_config; }

    // Installs the system-wide CBT hook once; true when this process holds it afterwards.
    bool InstallHook();
    // Removes the hook this process holds; false when there was none.
    bool RemoveHook();
    // The hook this process holds; null everywhere else.
    HHOOK Hook() const noexcept { return m_hCBTHook; }

    // Values of the last Initialize call; nothing reads them.
    int m_nInitParam1 = 0;
    void* m_pInitParam = nullptr;
    int m_nInitParam2 = 0;

protected:
    // Runs once a browser window was met (or at Initialize), outside the loader lock.
    bool OnStartup() override;
    void OnUnload(bool processTerminating) override;

private:
    CBrowserConfig m_config;
    HHOOK m_hCBTHook = nullptr;
};

LumivexDllApp& TheApp();

// Enables the debug privilege in this process's token when the token holds it; failures are
// ignored.
void EnableDebugPrivilege();

} // namespace lumivex::hook
