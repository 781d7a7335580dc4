#include "hooklib/browser_config.h"

#include "support/owners.h"
#include "hooklib/hook_rules.h"
#include "support/file_assist.h"
#include "support/guarded.h"
#include "support/lumivex_names.h"

#include <psapi.h>

namespace lumivex::hook {

namespace {

// Opens this process the way the exclusion test needs; empty when it cannot be opened.
UniqueHandle OpenOwnProcess() {
    const DWORD pid = GetCurrentProcessId();
    if (pid == 0) {
        return UniqueHandle();
    }
    return UniqueHandle(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
}

std::wstring ExeNameOf(HANDLE process) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = K32GetModuleFileNameExW(process, nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::wstring();
    }
    return LowerAsciiLetters(FileNameOf(std::wstring_view(path, length)));
}

// The executable of a process never changes, and asking the platform for it costs far more
// than the rest of a focus decision, so a name once found is kept. A failed look-up is not kept:
// the next decision asks again.
SRWLOCK g_exeNameLock = SRWLOCK_INIT;
std::wstring* g_exeName = nullptr; // never freed: it may be read until the process ends

// The lower-case executable name, or empty when this process cannot be opened or named.
std::wstring OwnExeName() {
    std::wstring known;
    {
        SharedLock lock(g_exeNameLock);
        known = g_exeName ? *g_exeName : std::wstring();
    }
    if (!known.empty()) {
        return known;
    }
    UniqueHandle process = OpenOwnProcess();
    if (!process) {
        return std::wstring();
    }
    std::wstring name = ExeNameOf(process.get());
    if (!name.empty()) {
        ExclusiveLock lock(g_exeNameLock);
        if (!g_exeName) {
            g_exeName = new std::wstring(name);
        }
    }
    return name;
}

std::wstring ReadValue(const std::wstring& file, const wchar_t* section, const std::wstring& key) {
    wchar_t value[kConfigValueChars] = {};
    const DWORD length =
        GetPrivateProfileStringW(section, key.c_str(), L"", value, kConfigValueChars, file.c_str());
    return std::wstring(value, length);
}

// True when both stamps name the same state of the file.
bool SameStamp(bool exists, const FILETIME& written, ULONGLONG size, bool knownExists,
               const FILETIME& knownWritten, ULONGLONG knownSize) {
    if (exists != knownExists) {
        return false;
    }
    return !exists || (CompareFileTime(&written, &knownWritten) == 0 && size == knownSize);
}

} // namespace

BOOL CBrowserConfig::bGetAllConfigs(HMODULE libraryModule) {
    return Guarded(L"", L"bGetAllConfigs", TRUE, [&] {
        wchar_t ownPath[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(libraryModule, ownPath, MAX_PATH);
        std::wstring fallback;
        if (length > 0 && length < MAX_PATH) {
            fallback = CFFileAssist().SplitPath(ownPath, SPLIT_DRIVE | SPLIT_DIR);
        }
        m_strConfigFile = UserDataFolder(fallback, m_appDataLookup) + L"\\" + kBrowsersIniName;
        ExclusiveLock lock(m_readingLock);
        m_reading = EnabledReading(); // a reading of another file says nothing about this one
        return TRUE;
    });
}

std::wstring CBrowserConfig::GetProcessExeName() const {
    return OwnExeName();
}

BOOL CBrowserConfig::bIsProcessEnabled() const {
    const std::wstring name = OwnExeName();
    if (name.empty()) {
        // A process that cannot be opened or named is zoomed.
        return TRUE;
    }
    // Reading the file at every focus change costs several times the change itself; its stamp
    // is cheap, and an edit changes it, so an edit still counts at the next focus change.
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    const bool exists =
        GetFileAttributesExW(m_strConfigFile.c_str(), GetFileExInfoStandard, &data) != FALSE;
    const ULONGLONG size =
        exists ? (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow : 0;
    EnabledReading known;
    {
        SharedLock lock(m_readingLock);
        known = m_reading;
    }
    if (known.valid &&
        SameStamp(exists, data.ftLastWriteTime, size, known.exists, known.written, known.size)) {
        return known.enabled;
    }
    EnabledReading fresh;
    fresh.valid = true;
    fresh.exists = exists;
    fresh.written = data.ftLastWriteTime;
    fresh.size = size;
    fresh.enabled = ReadValue(m_strConfigFile, kProcessesSection, name).empty() ? TRUE : FALSE;
    ExclusiveLock lock(m_readingLock);
    m_reading = fresh;
    return fresh.enabled;
}

int CBrowserConfig::DefaultZoom() const {
    // Read once per window that reaches its browser: rare enough to need no stamp.
    const std::wstring name = OwnExeName();
    return name.empty() ? kZoomDefault
                        : DefaultZoomFromValue(ReadValue(m_strConfigFile, kZoomSection, name));
}

bool CBrowserConfig::ShowsZoomLabel() const {
    const std::wstring name = OwnExeName();
    return name.empty() || LabelShownFor(ReadValue(m_strConfigFile, kLabelSection, name));
}

BOOL CBrowserConfig::bNeedPrompt(std::wstring& name) const {
    name = GetProcessExeName();
    if (name.empty()) {
        return TRUE;
    }
    if (PromptSuppressedBy(ReadValue(m_strConfigFile, kBrowsersSection, name))) {
        return FALSE;
    }
    const std::wstring marker = PromptMarkerName(GetCurrentProcessId());
    HANDLE mutex = CreateMutexW(nullptr, FALSE, marker.c_str());
    const DWORD error = GetLastError();
    if (mutex && error != ERROR_ALREADY_EXISTS) {
        // Kept open on purpose: the marker must live as long as the process, even if this
        // library is unloaded and loaded again.
        return TRUE;
    }
    if (mutex) {
        CloseHandle(mutex);
    }
    return FALSE;
}

void CBrowserConfig::vDisablePrompt() const {
    const std::wstring name = GetProcessExeName();
    if (!name.empty()) {
        WritePrivateProfileStringW(kBrowsersSection, name.c_str(), L"0", m_strConfigFile.c_str());
    }
}

} // namespace lumivex::hook
