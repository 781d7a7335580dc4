// The log writer: one plain text file per application and day, a record per caught failure.
#pragma once

#include "support/seh_exception.h"
#include "support/user_data_folder.h"

#include <windows.h>

#include <exception>
#include <string>

namespace lumivex {

// Log levels: one bit each. The system's own operations log with LOG_EXCEPTION only.
constexpr DWORD LOG_FUNC_ENTRY = 0x1;
constexpr DWORD LOG_FUNC_RETURN = 0x2;
constexpr DWORD LOG_VAR_CHANGED = 0x4;
constexpr DWORD LOG_RECEIVE_MSG = 0x100;
constexpr DWORD LOG_SEND_MSG = 0x200;
constexpr DWORD LOG_PROMPT = 0x400;
constexpr DWORD LOG_CALL_FAIL = 0x10000;
constexpr DWORD LOG_EXCEPTION = 0x20000;
constexpr DWORD LOG_FATAL = 0x40000;
constexpr DWORD LOG_OTHER_ERROR = 0x80000;

// Label that starts a record: matched on the whole value, "[Other]" for anything not a level.
const wchar_t* LogLevelLabel(DWORD level) noexcept;

// The record text WriteLog hands on: optional "FileName: %s[ Line: %d]\n", the label, then the
// object name, "::" function name, "::" second function name and "=" value, each when given.
std::wstring BuildLogRecordText(DWORD level, const wchar_t* value, const wchar_t* objectName,
                                const wchar_t* functionName, const wchar_t* sourceFile, int line,
                                const wchar_t* functionName2);

// Wide text to the single bytes of the runtime's current locale; a character the locale cannot
// represent becomes '?', so one odd character never costs the whole record.
std::string ToLocaleBytes(const std::wstring& text);

// Abstract log writer; each application derives its own. Constructing one makes it the
// process-wide current writer (GetCurrentLogWriter). Logging stays off until InitLogSettings has
// switched it on (bInitialize).
class CFAppAssist {
public:
    using LocalTimeSource = void (*)(SYSTEMTIME& now);

    CFAppAssist();
    CFAppAssist(const CFAppAssist&) = delete;
    CFAppAssist& operator=(const CFAppAssist&) = delete;

    // Virtual slots in this order.
    virtual ~CFAppAssist();
    virtual BOOL bInitialize();                    // base: InitLogSettings() != 0
    virtual BOOL bUninitialize();                  // base: TRUE
    virtual const wchar_t* GetAppName() const = 0; // used in the log file name
    virtual BOOL InitLogSettings() = 0;            // sets mask and enabled flag; TRUE on success
    virtual BOOL bReserved();                      // base: TRUE; nothing calls it

    // Returns TRUE without writing while disabled or when the level shares no bit with the mask;
    // otherwise the result of AppendLogRecord. Any pointer may be null, line -1 for none.
    BOOL WriteLog(DWORD level, const wchar_t* value, const wchar_t* objectName,
                  const wchar_t* functionName, const wchar_t* sourceFile, int line,
                  const wchar_t* functionName2);

    // Appends "HH:MM:SS text\n" to "<base>\\Log\\<app>_YYYY-MM-DD.log" (local time, text mode,
    // shared, opened and closed per record). When that "Log" cannot be made (a drive root the
    // user may not write to), "Log" in the per-user folder (UserDataFolder) takes the record.
    // FALSE only when neither folder exists or can be made; TRUE when written or when the file
    // would not open (record dropped).
    BOOL AppendLogRecord(const wchar_t* text);

    // Where "now" comes from (tests); null restores the local clock.
    void SetLocalTimeSource(LocalTimeSource source) noexcept;
    // Where the per-user folder's application data comes from (tests); null asks the shell.
    void SetAppDataLookup(AppDataLookup lookup) noexcept { m_pfnAppData = lookup; }

    const std::wstring& LogBaseDir() const noexcept { return m_strBaseDir; }
    DWORD LogMask() const noexcept { return m_dwLogMask; }
    BOOL IsLogEnabled() const noexcept { return m_bLogEnabled; }

protected:
    std::wstring m_strBaseDir;   // empty: the log folder lies at the current drive's root
    DWORD m_dwLogMask = 0xF0000; // call fail, exception, fatal, other error
    BOOL m_bLogEnabled = FALSE;  // set by InitLogSettings

private:
    LocalTimeSource m_pfnLocalTime;
    AppDataLookup m_pfnAppData = nullptr;
};

// The most recently constructed writer, or null (always null inside the hook library).
CFAppAssist* GetCurrentLogWriter() noexcept;

// The three clauses of the exception convention. Each does its work only when a current writer
// exists: OutputDebugStringW(text), then WriteLog(LOG_EXCEPTION, ...). They never throw.
void LogCaughtSehException(const wchar_t* className, const wchar_t* operation,
                           const seh_exception_base& e) noexcept;
void LogCaughtStdException(const wchar_t* className, const wchar_t* operation,
                           const std::exception& e) noexcept;
void LogCaughtUnknownException(const wchar_t* className, const wchar_t* operation) noexcept;

} // namespace lumivex
