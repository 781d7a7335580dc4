#include "update/inet.h"

#include "update/inet_handles.h"
#include "support/file_assist.h"
#include "support/guarded.h"
#include "support/sys_assist.h"

#include <algorithm>

namespace lumivex {

namespace {

constexpr wchar_t kAgent[] = L"Offline Browser";
constexpr wchar_t kBadUrlText[] =
    L"The URL is empty or does not contain a known Internet service type.";
constexpr wchar_t kProxyAuthText[] = L"Proxy authentication required.";
constexpr wchar_t kRedirectRefusedText[] = L"The server redirected to a location that is refused.";
constexpr wchar_t kNoSessionText[] = L"No Internet session is open.";

constexpr DWORD kRequestFlags =
    INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_HYPERLINK;
constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kReadPiece = 65536;
constexpr DWORD kWritePiece = 4096;
// A socket error that means "try again": the request may still have gone out.
constexpr DWORD kWouldBlock = 10035;
// Distinguishes a failure caught by Guarded from every result an attempt returns.
constexpr int kCaught = -1;

bool IsSuccess(int status) {
    return status >= 200 && status <= 299;
}

unsigned long long SizeLimit(int kb) {
    return kb > 0 ? 1000ULL * static_cast<unsigned>(kb) : 0;
}

// What an attempt gives when a failure escaped it: nothing received, no handle left.
int CaughtFailure(CInet& inet, std::vector<BYTE>& bytes, DWORD& received) {
    inet.RecordLastError();
    inet.CloseRequest();
    bytes.clear();
    received = 0;
    return DL_FAILED;
}

DWORD Milliseconds(int seconds) {
    return seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : 0;
}

// Gives the handles that InternetOpenUrlW makes inside itself the time-outs before it sends
// (see SetTimeouts); it reports each new handle when it is called with a context. Only the
// handle, the first member of the result, is read: Wine gives just its size.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD size) {
    if (status != INTERNET_STATUS_HANDLE_CREATED || !context || !info || size < sizeof(DWORD_PTR)) {
        return;
    }
    const auto* inet = reinterpret_cast<const CInet*>(context);
    const auto* created = static_cast<const INTERNET_ASYNC_RESULT*>(info);
    SetTimeouts(reinterpret_cast<HINTERNET>(created->dwResult),
                Milliseconds(inet->m_nConnectTimeout), Milliseconds(inet->m_nReceiveTimeout));
}

} // namespace

CInet::CInet() : m_abortEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CInet::~CInet() {
    CloseAll();
}

int CInet::OpenSession() {
    CloseAll();
    std::lock_guard lock(m_handleLock);
    if (m_bAborted) {
        SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
        RecordLastError();
        return 1;
    }
    m_hSession.reset(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!m_hSession) {
        RecordLastError();
        return 1;
    }
    SetTimeouts(m_hSession.get(), Milliseconds(m_nConnectTimeout), Milliseconds(m_nReceiveTimeout));
    InternetSetStatusCallbackW(m_hSession.get(), OnStatus);
    return 0;
}

int CInet::Download(std::wstring& url, std::vector<BYTE>& bytes, DWORD& received,
                    bool followRedirects) {
    bytes.clear();
    received = 0;
    if (!Session()) {
        m_strLastError = kNoSessionText;
        return DL_FAILED;
    }
    bool lenient = false;
    int result = DL_FAILED;
    for (int attempt = 0; attempt < m_nTries && Session(); ++attempt) {
        if (attempt > 0 && result == DL_RETRY && !Pause(Milliseconds(m_nRetryPause))) {
            return DL_FAILED;
        }
        result = IsOpenUrlScheme(url) ? DownloadUrl(url, bytes, received)
                                      : DownloadHttp(url, bytes, received, lenient);
        if (result == DL_RECONNECT) {
            CloseAll();
            OpenSession();
        } else if (result == DL_FAILED) {
            if (lenient) {
                result = DownloadUrl(url, bytes, received);
            }
            lenient = !lenient;
        }
        if (result == DL_REDIRECTED && !followRedirects) {
            return result;
        }
        if (result != DL_REDIRECTED && result != DL_RETRY && result != DL_RECONNECT &&
            result != DL_FAILED) {
            return result;
        }
    }
    // Whatever the last attempt gave, an aborted download has no result.
    std::lock_guard lock(m_handleLock);
    return m_bAborted ? DL_FAILED : result;
}

int CInet::DownloadHttp(std::wstring& url, std::vector<BYTE>& bytes, DWORD& received,
                        bool lenient) {
    const int result = Guarded(L"CInet", L"DownloadHttp", kCaught, [&]() -> int {
        bytes.clear();
        m_nHttpStatus = 0;
        received = 0;
        if (!HasKnownServiceType(url)) {
            url = WithServiceType(url);
        }
        const auto target = SplitHttpUrl(WithoutFragment(url));
        if (!target) {
            m_dwLastError = ERROR_INTERNET_UNRECOGNIZED_SCHEME;
            m_strLastError = kBadUrlText;
            return DL_BAD_URL;
        }
        if (!Keep(m_hConnect, InternetConnectW(Session(), target->server.c_str(), target->port, L"",
                                               L"", INTERNET_SERVICE_HTTP, 0, 0))) {
            RecordLastError();
            CloseRequest();
            return DL_FAILED;
        }
        SetTimeouts(Connection(), Milliseconds(m_nConnectTimeout), Milliseconds(m_nReceiveTimeout));
        const DWORD flags = kRequestFlags | (target->secure ? INTERNET_FLAG_SECURE : 0);
        if (!Keep(m_hRequest, HttpOpenRequestW(Connection(), L"GET", target->object.c_str(),
                                               L"HTTP/1.0", nullptr, nullptr, flags, 0))) {
            CloseRequest();
            RecordLastError();
            return DL_FAILED;
        }
        SetTimeouts(Request(), Milliseconds(m_nConnectTimeout), Milliseconds(m_nReceiveTimeout));
        if (const auto stop = Send(lenient, false)) {
            return *stop;
        }
        auto status = QueryStatus(Request());
        if ((status == 401 || status == 407) && m_strProxyUser.empty()) {
            CloseRequest();
            m_strLastError = kProxyAuthText;
            return DL_AUTH_REQUIRED;
        }
        if (status == 401 || status == 407) {
            SetTextOption(Request(), INTERNET_OPTION_PROXY_USERNAME, m_strProxyUser);
            SetTextOption(Request(), INTERNET_OPTION_PROXY_PASSWORD, m_strProxyPassword);
            if (const auto stop = Send(lenient, true)) {
                return *stop;
            }
            status = QueryStatus(Request());
        }
        if (!status) {
            // Without a status there is nothing to act on, lenient or not.
            RecordLastError();
            CloseRequest();
            return DL_FAILED;
        }
        m_nHttpStatus = *status;
        switch (*status) {
        case 301:
        case 302:
        case 303: {
            const auto location = QueryLocation(Request());
            const auto next = location ? RedirectTarget(*target, *location) : std::nullopt;
            if (!next) {
                if (location) {
                    m_strLastError = kRedirectRefusedText;
                } else {
                    RecordLastError();
                }
                CloseRequest();
                return DL_FAILED;
            }
            url = *next;
            CloseRequest();
            return DL_REDIRECTED;
        }
        case 404:
        case 408:
        case 504:
            Pause(500);
            CloseRequest();
            return DL_RETRY;
        case 407:
            CloseRequest();
            return DL_AUTH_REQUIRED;
        default:
            break;
        }
        if (*status != 200 && !(lenient && IsSuccess(*status))) {
            CloseRequest();
            return DL_HTTP_STATUS;
        }
        const int read = ReadBody(Request(), QueryContentLength(Request()), bytes, received);
        CloseRequest();
        return read;
    });
    return result == kCaught ? CaughtFailure(*this, bytes, received) : result;
}

std::optional<int> CInet::Send(bool lenient, bool again) {
    if (HttpSendRequestW(Request(), nullptr, 0, nullptr, 0) || lenient) {
        return std::nullopt;
    }
    RecordLastError();
    if (m_dwLastError == kWouldBlock) {
        if (Pause(1000)) {
            return std::nullopt;
        }
        CloseRequest();
        return DL_FAILED;
    }
    CloseRequest();
    return (m_dwLastError == ERROR_FILE_NOT_FOUND && !again) ? DL_RECONNECT : DL_FAILED;
}

int CInet::DownloadUrl(const std::wstring& url, std::vector<BYTE>& bytes, DWORD& received) {
    const int result = Guarded(L"CInet", L"DownloadUrl", kCaught, [&]() -> int {
        bytes.clear();
        received = 0;
        const std::wstring sent = WithoutFragment(WithServiceType(url));
        // Kept as the request so that Abort closes it too.
        if (!Keep(m_hRequest, InternetOpenUrlW(Session(), sent.c_str(), nullptr, 0, kOpenUrlFlags,
                                               reinterpret_cast<DWORD_PTR>(this)))) {
            RecordLastError();
            return DL_FAILED;
        }
        // Schemes without a status (ftp) have nothing to check; an HTTP answer must be 2xx.
        std::optional<unsigned long long> announced;
        if (const auto status = QueryStatus(Request())) {
            m_nHttpStatus = *status;
            if (!IsSuccess(*status)) {
                CloseRequest();
                return DL_FAILED;
            }
            announced = QueryContentLength(Request());
        }
        const int read = ReadBody(Request(), announced, bytes, received);
        CloseRequest();
        return read;
    });
    return result == kCaught ? CaughtFailure(*this, bytes, received) : result;
}

int CInet::ReadBody(HINTERNET handle, std::optional<unsigned long long> announced,
                    std::vector<BYTE>& bytes, DWORD& received) {
    const unsigned long long limit = SizeLimit(m_nMaxSizeKB);
    // An announced length above the limit ends the attempt before any of the body is read.
    if (announced && *announced > limit) {
        return DL_TOO_LARGE;
    }
    std::vector<BYTE> piece(kReadPiece);
    bool complete = true;
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(handle, piece.data(), kReadPiece, &got)) {
            complete = false;
            break;
        }
        if (got == 0) {
            break;
        }
        if (bytes.size() + got > limit) {
            bytes.clear();
            received = 0;
            return DL_TOO_LARGE;
        }
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + got);
    }
    RecordLastError();
    // A body cut short is no content, even when some of it arrived.
    if (!complete || (announced && bytes.size() != *announced) || bytes.empty()) {
        bytes.clear();
        received = 0;
        return DL_FAILED;
    }
    received = static_cast<DWORD>(bytes.size());
    return DL_OK;
}

void CInet::CloseRequest() {
    std::lock_guard lock(m_handleLock);
    m_hRequest.reset();
    m_hConnect.reset();
}

void CInet::CloseAll() {
    CloseRequest();
    std::lock_guard lock(m_handleLock);
    m_hSession.reset();
}

void CInet::RecordLastError() {
    m_strLastError = CFSysAssist().GetLastErrorText(m_dwLastError);
    std::fill(std::begin(m_szExtError), std::end(m_szExtError), L'\0');
    if (m_dwLastError == ERROR_INTERNET_EXTENDED_ERROR) {
        DWORD chars = static_cast<DWORD>(std::size(m_szExtError));
        InternetGetLastResponseInfoW(&m_dwExtError, m_szExtError, &chars);
        m_szExtError[std::size(m_szExtError) - 1] = L'\0';
    }
}

void CInet::Abort() {
    std::lock_guard lock(m_handleLock);
    m_bAborted = true;
    m_hRequest.reset();
    m_hConnect.reset();
    m_hSession.reset();
    if (m_abortEvent) {
        SetEvent(m_abortEvent.get());
    }
}

bool CInet::Pause(DWORD ms) {
    if (!m_abortEvent) {
        Sleep(ms);
    } else if (WaitForSingleObject(m_abortEvent.get(), ms) != WAIT_TIMEOUT) {
        return false;
    }
    std::lock_guard lock(m_handleLock);
    return !m_bAborted;
}

HINTERNET CInet::Session() const {
    std::lock_guard lock(m_handleLock);
    return m_hSession.get();
}

HINTERNET CInet::Connection() const {
    std::lock_guard lock(m_handleLock);
    return m_hConnect.get();
}

HINTERNET CInet::Request() const {
    std::lock_guard lock(m_handleLock);
    return m_hRequest.get();
}

bool CInet::Keep(UniqueInternet& owner, HINTERNET handle) {
    if (!handle) {
        return false;
    }
    std::lock_guard lock(m_handleLock);
    if (m_bAborted) {
        InternetCloseHandle(handle);
        SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
        return false;
    }
    owner.reset(handle);
    return true;
}

bool SaveBytesToFile(const std::wstring& path, const std::vector<BYTE>& bytes) {
    const std::wstring folder = CFFileAssist().SplitPath(path, SPLIT_DRIVE | SPLIT_DIR);
    if (!folder.empty() && !MakeFolderIfMissing(folder)) {
        return false;
    }
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(kWritePiece, bytes.size() - done));
        DWORD wrote = 0;
        written =
            WriteFile(file.get(), bytes.data() + done, piece, &wrote, nullptr) && wrote == piece;
        done += wrote;
    }
    written = CloseHandle(file.release()) && written;
    if (!written) {
        DeleteFileW(path.c_str());
    }
    return written;
}

} // namespace lumivex
