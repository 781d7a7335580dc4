#include "support/log_writer.h"

#include "support/file_assist.h"
#include "support/log_caught.h"

#include <share.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace lumivex {

namespace {

void LocalClock(SYSTEMTIME& now) {
    GetLocalTime(&now);
}

void AppendDigits(std::wstring& text, unsigned value, int width) {
    wchar_t digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value && count < 12);
    for (int i = count; i < width; ++i) {
        text += L'0';
    }
    while (count) {
        text += digits[--count];
    }
}

const wchar_t* OrEmpty(const wchar_t* text) {
    return text ? text : L"";
}

std::wstring AnsiToWide(const char* text) {
    if (!text || !*text) {
        return {};
    }
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (wideLength <= 1) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), wideLength)) {
        return {};
    }
    wide.resize(static_cast<size_t>(wideLength - 1));
    return wide;
}

void WriteException(const std::wstring& text, const wchar_t* className, const wchar_t* operation) {
    CFAppAssist* writer = GetCurrentLogWriter();
    if (!writer) {
        return;
    }
    OutputDebugStringW(text.c_str());
    writer->WriteLog(LOG_EXCEPTION, text.c_str(), className, operation, nullptr, -1, nullptr);
}

// Formats a caught failure and hands it to the current writer.
void ReportCaught(const detail::CaughtFailure& failure) {
    if (failure.seh) {
        WriteException(FormatSehException(*failure.seh), failure.className, failure.operation);
    } else if (failure.standard) {
        const std::wstring text = L"Exception Reason: " + AnsiToWide(failure.standard->what()) +
                                  L"; At: " + OrEmpty(failure.className) + L"::" +
                                  OrEmpty(failure.operation) + L"\n";
        WriteException(text, nullptr, nullptr);
    } else {
        const std::wstring text = std::wstring(L"Exception At: ") + OrEmpty(failure.className) +
                                  L"::" + OrEmpty(failure.operation) + L"\n";
        WriteException(text, nullptr, nullptr);
    }
}

} // namespace

const wchar_t* LogLevelLabel(DWORD level) noexcept {
    switch (level) {
    case LOG_FUNC_ENTRY:
        return L"[Func Entry]";
    case LOG_FUNC_RETURN:
        return L"[Func Return]";
    case LOG_VAR_CHANGED:
        return L"[Var Changed]";
    case LOG_RECEIVE_MSG:
        return L"[Receive Msg]";
    case LOG_SEND_MSG:
        return L"[Send Msg]";
    case LOG_PROMPT:
        return L"[Prompt]";
    case LOG_CALL_FAIL:
        return L"[Call Fail]";
    case LOG_EXCEPTION:
        return L"[Exception]";
    case LOG_FATAL:
        return L"[Fatal]";
    case LOG_OTHER_ERROR:
        return L"[Other Error]";
    default:
        return L"[Other]";
    }
}

std::wstring BuildLogRecordText(DWORD level, const wchar_t* value, const wchar_t* objectName,
                                const wchar_t* functionName, const wchar_t* sourceFile, int line,
                                const wchar_t* functionName2) {
    std::wstring text;
    if (sourceFile) {
        text += L"FileName: ";
        text += sourceFile;
        if (line != -1) {
            text += L" Line: ";
            text += std::to_wstring(line);
        }
        text += L"\n";
    }
    text += LogLevelLabel(level);
    if (objectName) {
        text += objectName;
    }
    if (functionName) {
        text += L"::";
        text += functionName;
    }
    if (functionName2) {
        text += L"::";
        text += functionName2;
    }
    if (value) {
        text += L"=";
        text += value;
    }
    return text;
}

std::string ToLocaleBytes(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    char converted[MB_LEN_MAX > 16 ? MB_LEN_MAX : 16];
    for (wchar_t ch : text) {
        const int count = wctomb(converted, ch);
        if (count > 0) {
            bytes.append(converted, static_cast<size_t>(count));
        } else {
            bytes += '?';
        }
    }
    return bytes;
}

CFAppAssist::CFAppAssist() : m_pfnLocalTime(&LocalClock) {
    detail::SetCurrentLogWriter(this, &ReportCaught);
}

CFAppAssist::~CFAppAssist() {
    // Callers test the pointer before they log; leave none pointing at a destroyed writer.
    detail::ClearCurrentLogWriter(this);
}

BOOL CFAppAssist::bInitialize() {
    return InitLogSettings() ? TRUE : FALSE;
}

BOOL CFAppAssist::bUninitialize() {
    return TRUE;
}

BOOL CFAppAssist::bReserved() {
    return TRUE;
}

void CFAppAssist::SetLocalTimeSource(LocalTimeSource source) noexcept {
    m_pfnLocalTime = source ? source : &LocalClock;
}

BOOL CFAppAssist::WriteLog(DWORD level, const wchar_t* value, const wchar_t* objectName,
                           const wchar_t* functionName, const wchar_t* sourceFile, int line,
                           const wchar_t* functionName2) {
    if (!m_bLogEnabled || !(level & m_dwLogMask)) {
        return TRUE;
    }
    try {
        const std::wstring text = BuildLogRecordText(level, value, objectName, functionName,
                                                     sourceFile, line, functionName2);
        return AppendLogRecord(text.c_str());
    } catch (...) {
        return TRUE; // out of memory: the record is dropped like one whose file will not open
    }
}

BOOL CFAppAssist::AppendLogRecord(const wchar_t* text) {
    try {
        std::wstring folder = m_strBaseDir + L"\\Log";
        if (!MakeFolderIfMissing(folder)) {
            // No fallback of its own: an empty answer would lead back to the drive's root.
            const std::wstring perUser = UserDataFolder(std::wstring(), m_pfnAppData);
            folder = perUser + L"\\Log";
            if (perUser.empty() || !MakeFolderIfMissing(folder)) {
                return FALSE;
            }
        }

        SYSTEMTIME now{};
        m_pfnLocalTime(now);
        std::wstring path = folder + L"\\" + OrEmpty(GetAppName()) + L"_";
        AppendDigits(path, now.wYear, 4);
        path += L'-';
        AppendDigits(path, now.wMonth, 2);
        path += L'-';
        AppendDigits(path, now.wDay, 2);
        path += L".log";

        std::wstring record;
        AppendDigits(record, now.wHour, 2);
        record += L':';
        AppendDigits(record, now.wMinute, 2);
        record += L':';
        AppendDigits(record, now.wSecond, 2);
        record += L' ';
        record += OrEmpty(text);
        record += L'\n';
        const std::string bytes = ToLocaleBytes(record);

        FILE* file = _wfsopen(path.c_str(), L"a+", _SH_DENYNO);
        if (file) {
            fwrite(bytes.data(), 1, bytes.size(), file);
            fclose(file);
        }
        return TRUE;
    } catch (...) {
        return TRUE;
    }
}

} // namespace lumivex
