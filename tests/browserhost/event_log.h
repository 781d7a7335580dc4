// The host's event log: one UTF-8 line per event, appended and visible to readers at once.
#pragma once

#include "host_log_format.h"

#include "support/owners.h"

#include <mutex>
#include <string>
#include <string_view>

namespace lumivex::browserhost {

class EventLog {
public:
    // Opens `path` for appending, shared with readers and other writers. False on failure; the
    // lines then go to the debugger output only.
    bool Open(const std::wstring& path);
    void Close();
    // Thread-safe; each line is one WriteFile, so lines of several writers never interleave.
    void Write(std::string_view kind, const FieldList& fields = {});

private:
    std::mutex m_lock;
    UniqueHandle m_file;
    unsigned long m_seq = 0;
};

// The process's log. Never destroyed: a loaded library may release our objects, which log,
// while it is unloaded at process exit.
EventLog& HostLog();

std::string Utf8(std::wstring_view text);
std::wstring Utf16(std::string_view text);
std::string WindowText(const void* hwnd); // a handle as HexText

} // namespace lumivex::browserhost
