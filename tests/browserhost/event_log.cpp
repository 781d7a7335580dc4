#include "event_log.h"

#include <windows.h>

namespace lumivex::browserhost {

bool EventLog::Open(const std::wstring& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_file.reset(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(m_file);
}

void EventLog::Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_file.reset();
}

void EventLog::Write(std::string_view kind, const FieldList& fields) {
    std::lock_guard<std::mutex> guard(m_lock);
    std::string line = FormatLogLine(++m_seq, GetCurrentProcessId(), kind, fields.items());
    line += '\n';
    if (m_file) {
        // No buffering of our own: the test reads the file while we run.
        DWORD written = 0;
        WriteFile(m_file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        OutputDebugStringA(line.c_str());
    }
}

EventLog& HostLog() {
    static EventLog* log = new EventLog();
    return *log;
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring Utf16(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string WindowText(const void* hwnd) {
    return HexText(reinterpret_cast<std::uintptr_t>(hwnd));
}

} // namespace lumivex::browserhost
