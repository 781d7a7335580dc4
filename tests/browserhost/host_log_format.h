// The browser host's event lines: one per event, "<seq> <pid> <KIND> key=value ...".
// Written by the host, read back by the test client; no Win32 here so both sides and the unit
// tests share one definition.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace lumivex::browserhost {

struct LogField {
    std::string key;
    std::string value;
};

// Builds the fields of one line in order.
class FieldList {
public:
    FieldList& Add(std::string_view key, std::string_view value) {
        m_items.push_back({std::string(key), std::string(value)});
        return *this;
    }
    FieldList& Add(std::string_view key, const char* value) {
        return Add(key, std::string_view(value));
    }
    template <typename T>
    requires std::is_integral_v<T> FieldList& Add(std::string_view key, T value) {
        return Add(key, std::string_view(std::to_string(value)));
    }
    FieldList& AddHex(std::string_view key, std::uint64_t value);

    const std::vector<LogField>& items() const { return m_items; }

private:
    std::vector<LogField> m_items;
};

struct LogLine {
    unsigned long seq = 0;
    unsigned long pid = 0;
    std::string kind;
    std::vector<LogField> fields;

    const std::string* Find(std::string_view key) const;
    std::string Text(std::string_view key) const; // "" when missing
    std::optional<long long> Number(std::string_view key) const;
    int index() const; // the "index" field (browser window index), -1 when there is none
};

// "0x" and at least 8 lower-case hex digits.
std::string HexText(std::uint64_t value);
// Decimal with an optional sign, or 0x hex; nothing else around it.
std::optional<long long> ParseNumber(std::string_view text);

// One line without the line feed. Values that are empty or hold blanks, quotes, backslashes,
// '=' or control characters are written in double quotes with \" \\ \n \r \t escapes.
std::string FormatLogLine(unsigned long seq, unsigned long pid, std::string_view kind,
                          const std::vector<LogField>& fields);
std::optional<LogLine> ParseLogLine(std::string_view text);

// Browser windows as listed in READY: "0:0x00010022,1:0x00010024".
std::string FormatWindowList(const std::vector<std::pair<int, std::uint64_t>>& windows);
std::optional<std::map<int, std::uint64_t>> ParseWindowList(std::string_view text);

} // namespace lumivex::browserhost
