// The hook library's application object: one per process the library enters.
#pragma once

#include "framework/app.h"
#include "hooklib/browser_config.h"

namespace lumivex::hook {

class LumivexDllApp : public fw::CDllApp, public CBrowserConfig {
public:
    LumivexDllApp();

    HINSTANCE ModuleHandle() const noexcept { return GetInstance(); }

    // Values of the last Initialize call; nothing reads them.
    int m_nInitParam1 = 0;
    void* m_pInitParam = nullptr;
    int m_nInitParam2 = 0;

protected:
    // Runs at the first hook call or Initialize, outside the loader lock.
    bool OnStartup() override;
    void OnUnload(bool processTerminating) override;
};

LumivexDllApp& TheApp();

// Enables the debug privilege in this process's token when the token holds it; failures are
// ignored.
void EnableDebugPrivilege();

} // namespace lumivex::hook
