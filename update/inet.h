// Download of one URL into memory through WinINet, for the update check: several attempts, a
// pause after a retryable status, redirects followed by hand, and a size limit. Whatever the
// server sends is untrusted: every answer ends in a result code, and nothing it names outside
// http and https is ever fetched.
#pragma once

#include "support/owners.h"
#include "update/url_rules.h"

#include <windows.h>

#include <wininet.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lumivex {

// Download results.
inline constexpr int DL_OK = 0;
inline constexpr int DL_BAD_URL = 2;
inline constexpr int DL_RECONNECT = 4;
inline constexpr int DL_REDIRECTED = 5;
inline constexpr int DL_FAILED = 6;
inline constexpr int DL_RETRY = 8;
inline constexpr int DL_AUTH_REQUIRED = 9;
inline constexpr int DL_TOO_LARGE = 10;
inline constexpr int DL_HTTP_STATUS = 11;

namespace traits {
struct InternetHandle {
    using Value = HINTERNET;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr; }
    static void Release(Value v) noexcept { ::InternetCloseHandle(v); }
};
} // namespace traits
using UniqueInternet = Owner<traits::InternetHandle>;

class CInet {
public:
    CInet();
    virtual ~CInet();
    CInet(const CInet&) = delete;
    CInet& operator=(const CInet&) = delete;

    // Opens the session (a session already open is closed first) and sets the time-outs.
    // 0 on success; 1 when it cannot be opened, or after Abort.
    int OpenSession();
    // Fetches `url` into `bytes` (emptied first); `url` may be rewritten (scheme added,
    // redirect target). Without an open session no attempt is made and DL_FAILED is returned.
    int Download(std::wstring& url, std::vector<BYTE>& bytes, DWORD& received,
                 bool followRedirects);
    // Closes the request and then the connection.
    void CloseRequest();
    // CloseRequest, then the session.
    void CloseAll();
    // The calling thread's last error and its text, and the server's extended error text.
    void RecordLastError();

    // From any thread: closes every handle and refuses further sessions and attempts; a pause
    // between attempts ends at once. A call blocked on a handle returns at once on Windows;
    // Wine lets it run to its receive time-out. Used when the program ends while a download
    // may wait for a slow server.
    void Abort();

    DWORD m_dwExtError = 0;
    int m_nHttpStatus = 0;
    wchar_t m_szExtError[1024] = {};
    std::wstring m_strLastError;
    DWORD m_dwLastError = 0;
    int m_nTries = 3;
    int m_nMaxSizeKB = 2048;
    std::wstring m_strProxyUser;
    std::wstring m_strProxyPassword;
    int m_nConnectTimeout = 90;
    int m_nReceiveTimeout = 90;
    int m_nRetryPause = 5;

private:
    int DownloadHttp(std::wstring& url, std::vector<BYTE>& bytes, DWORD& received, bool lenient);
    int DownloadUrl(const std::wstring& url, std::vector<BYTE>& bytes, DWORD& received);
    // Sends the open request (again: after proxy credentials); the result to return, or
    // nothing when the attempt goes on.
    std::optional<int> Send(bool lenient, bool again);
    // Reads the body of `handle` into `bytes`, held against the size limit (an announced length
    // above it reads nothing) and against the announced length. The one body reader of both
    // paths.
    int ReadBody(HINTERNET handle, std::optional<unsigned long long> announced,
                 std::vector<BYTE>& bytes, DWORD& received);
    // Stores a new handle in `owner` under the lock; after Abort it is closed instead and the
    // result is false.
    bool Keep(UniqueInternet& owner, HINTERNET handle);
    // Waits `ms` milliseconds, or less when Abort is called meanwhile; false when aborted.
    bool Pause(DWORD ms);
    // The current handles, read under the lock that Abort takes.
    HINTERNET Session() const;
    HINTERNET Connection() const;
    HINTERNET Request() const;

    UniqueInternet m_hSession;
    UniqueInternet m_hConnect;
    UniqueInternet m_hRequest;

    mutable std::mutex m_handleLock; // guards the three handles and m_bAborted
    bool m_bAborted = false;
    UniqueHandle m_abortEvent; // manual reset, set by Abort
};

// Writes `bytes` to `path` (replacing a file there), creating its folder (one level) when it
// cannot be accessed. True only when every byte was written.
bool SaveBytesToFile(const std::wstring& path, const std::vector<BYTE>& bytes);

} // namespace lumivex
