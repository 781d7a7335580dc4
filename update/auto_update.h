// The once-per-run update check: a worker thread fetches the description "update.ini", compares
// the version it announces with the running one and posts the result to the main dialog. The
// description comes from the network: every value of it is untrusted, nothing it names is run,
// and the dialog opens only web addresses from it.
#pragma once

#include "support/owners.h"
#include "update/inet.h"

#include <windows.h>

#include <string>

namespace lumivex {

// Posted by the update worker to the main dialog, both parameters 0.
inline constexpr UINT WM_UPDATE_AVAILABLE = WM_USER + 2000;
inline constexpr UINT WM_UPDATE_INFO = WM_USER + 2001;

// The one-shot timer of the main dialog that starts the check, and its delay.
inline constexpr UINT_PTR kUpdateTimerId = 2;
inline constexpr UINT kUpdateDelayMs = 60000;

// How long the program's exit waits for a worker it has interrupted.
inline constexpr DWORD kUpdateStopWaitMs = 3000;

// Prefix of the description's temporary file.
inline constexpr wchar_t kUpdateTempPrefix[] = L"lvx";

class CAutoUpdate {
public:
    CAutoUpdate();
    // Stops a running check first; waits for its worker, however long, rather than free what it
    // still uses. The program's own instance is never destroyed (see GetAutoUpdate).
    virtual ~CAutoUpdate();
    CAutoUpdate(const CAutoUpdate&) = delete;
    CAutoUpdate& operator=(const CAutoUpdate&) = delete;

    // Stores the arguments and runs RunCheck, on a new thread when `withThread` is set (not while
    // one still runs). Returns m_bNewVersion, meaningful only without a thread.
    BOOL StartCheck(bool withThread, const std::wstring& section, const std::wstring& url,
                    const std::wstring& currentVersion);
    // The check itself.
    void RunCheck();
    // Interrupts a running check (its download returns at once) and waits up to
    // kUpdateStopWaitMs for its worker. True when no worker runs any more.
    bool Stop();

    HWND m_hNotifyWnd = nullptr;
    std::wstring m_strUrl;
    std::wstring m_strSection;
    std::wstring m_strNewVerFile;
    std::wstring m_strNewInfo;
    std::wstring m_strLatestVersion;
    CInet m_inet;
    std::wstring m_strCurVersion;
    BOOL m_bNewVersion = 0;
    std::wstring m_strInfoID;
    std::wstring m_strReleaseDate;
    std::wstring m_strUpgradeFee;
    std::wstring m_strUpgradeFee2;
    std::wstring m_strUpgradeFee3;
    std::wstring m_strUpgradeLink;
    std::wstring m_strHistoryLink;
    BOOL m_bNotify = 1;

private:
    // Reads the fetched description from `file` into the members and posts the result.
    void ReadDescription(const std::wstring& file);
    bool IsWorkerRunning() const;

    UniqueHandle m_hThread; // kept so that the exit can wait for it
};

// The program's one update check. Made once and never destroyed: a worker that a stuck network
// call keeps from ending may still use it while the runtime ends the process.
CAutoUpdate& GetAutoUpdate();

} // namespace lumivex
