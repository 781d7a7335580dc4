#include "update/auto_update.h"

#include "support/guarded.h"

#include <optional>

namespace lumivex {

namespace {

constexpr DWORD kValueChars = 260;
constexpr DWORD kInfoChars = 2048;

// The fetched description lies in a temporary file while the profile functions read it; it goes
// on every path out of the check.
class TemporaryFile {
public:
    TemporaryFile() {
        wchar_t folder[MAX_PATH + 1] = {};
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
        wchar_t name[MAX_PATH] = {};
        // Number 0: a new unique name, made as an empty file, so that no other file of that
        // name is overwritten and two checks never share one.
        if (length > 0 && length <= MAX_PATH &&
            ::GetTempFileNameW(folder, kUpdateTempPrefix, 0, name) != 0) {
            m_path = name;
        }
    }
    ~TemporaryFile() {
        if (!m_path.empty()) {
            ::DeleteFileW(m_path.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::wstring& Path() const noexcept { return m_path; }

private:
    std::wstring m_path;
};

// Closes the session whichever way the check ends.
class SessionScope {
public:
    explicit SessionScope(CInet& inet) : m_inet(inet) {}
    ~SessionScope() { m_inet.CloseAll(); }
    SessionScope(const SessionScope&) = delete;
    SessionScope& operator=(const SessionScope&) = delete;

private:
    CInet& m_inet;
};

// A key's value, or nothing when it is missing or empty.
std::optional<std::wstring> ReadValue(const std::wstring& file, const wchar_t* section,
                                      const wchar_t* key, DWORD capacity) {
    std::wstring value(capacity, L'\0');
    const DWORD length =
        ::GetPrivateProfileStringW(section, key, L"", value.data(), capacity, file.c_str());
    if (length == 0) {
        return std::nullopt;
    }
    value.resize(length);
    return value;
}

void ReadInto(std::wstring& member, const std::wstring& file, const wchar_t* section,
              const wchar_t* key, DWORD capacity = kValueChars) {
    if (auto value = ReadValue(file, section, key, capacity)) {
        member = std::move(*value);
    }
}

DWORD WINAPI CheckThread(void* parameter) {
    static_cast<CAutoUpdate*>(parameter)->RunCheck();
    return 0;
}

} // namespace

CAutoUpdate::CAutoUpdate() = default;

CAutoUpdate::~CAutoUpdate() {
    if (!Stop()) {
        ::WaitForSingleObject(m_hThread.get(), INFINITE);
    }
}

BOOL CAutoUpdate::StartCheck(bool withThread, const std::wstring& section, const std::wstring& url,
                             const std::wstring& currentVersion) {
    // The worker writes these members: never change them under it.
    if (IsWorkerRunning()) {
        return m_bNewVersion;
    }
    m_strSection = section;
    m_strUrl = url;
    m_strCurVersion = currentVersion;
    if (!withThread) {
        RunCheck();
        return m_bNewVersion;
    }
    m_hThread.reset(::CreateThread(nullptr, 0, &CheckThread, this, 0, nullptr));
    return m_bNewVersion;
}

void CAutoUpdate::RunCheck() {
    Guarded(L"CAutoUpdate", L"RunCheck", [this] {
        m_strInfoID.clear();
        const SessionScope session(m_inet);
        if (m_inet.OpenSession() != 0) {
            return;
        }
        std::wstring url = m_strUrl;
        std::vector<BYTE> bytes;
        DWORD received = 0;
        if (m_inet.Download(url, bytes, received, true) != DL_OK) {
            return;
        }
        const TemporaryFile file;
        if (file.Path().empty() || !SaveBytesToFile(file.Path(), bytes)) {
            return;
        }
        std::vector<BYTE>().swap(bytes);
        ReadDescription(file.Path());
    });
}

void CAutoUpdate::ReadDescription(const std::wstring& file) {
    const wchar_t* section = m_strSection.c_str();
    if (auto version = ReadValue(file, section, L"Version", kValueChars)) {
        m_strLatestVersion = std::move(*version);
        // Any difference counts, an older version on the server included.
        if (!EqualsNoCase(m_strLatestVersion, m_strCurVersion)) {
            m_bNewVersion = 1;
        }
        m_bNotify = 1;
        if (auto notify = ReadValue(file, section, L"Notify", kValueChars);
            notify && EqualsNoCase(*notify, L"False")) {
            m_bNotify = 0;
        }
        ReadInto(m_strNewVerFile, file, section, L"NewVerFile");
        ReadInto(m_strReleaseDate, file, section, L"ReleaseDate");
        ReadInto(m_strUpgradeFee, file, section, L"UpgradeFee");
        ReadInto(m_strUpgradeFee2, file, section, L"UpgradeFee2");
        ReadInto(m_strUpgradeFee3, file, section, L"UpgradeFee3");
        ReadInto(m_strUpgradeLink, file, section, L"UpgradeLink");
        ReadInto(m_strHistoryLink, file, section, L"HistoryLink");
        ReadInto(m_strNewInfo, file, section, L"NewInfo", kInfoChars);
        if (m_bNewVersion && m_hNotifyWnd) {
            ::PostMessageW(m_hNotifyWnd, WM_UPDATE_AVAILABLE, 0, 0);
        }
    }
    if (m_bNewVersion) {
        return;
    }
    if (auto valid = ReadValue(file, L"Info", L"Valid", kValueChars);
        valid && EqualsNoCase(*valid, L"True")) {
        ReadInto(m_strInfoID, file, L"Info", L"InfoID");
        ReadInto(m_strNewVerFile, file, L"Info", L"NewVerFile");
        ReadInto(m_strNewInfo, file, L"Info", L"NewInfo", kInfoChars);
        if (m_hNotifyWnd) {
            ::PostMessageW(m_hNotifyWnd, WM_UPDATE_INFO, 0, 0);
        }
    }
}

bool CAutoUpdate::IsWorkerRunning() const {
    return m_hThread && ::WaitForSingleObject(m_hThread.get(), 0) == WAIT_TIMEOUT;
}

bool CAutoUpdate::Stop() {
    if (!m_hThread) {
        return true;
    }
    // Closing the handles breaks a wait inside WinINet, which may last the whole time-out.
    m_inet.Abort();
    return ::WaitForSingleObject(m_hThread.get(), kUpdateStopWaitMs) != WAIT_TIMEOUT;
}

CAutoUpdate& GetAutoUpdate() {
    static CAutoUpdate* const update = new CAutoUpdate;
    return *update;
}

} // namespace lumivex
