#include "host_log_format.h"

#include <charconv>
#include <cstdio>

namespace lumivex::browserhost {

namespace {

bool NeedsQuotes(std::string_view value) {
    if (value.empty()) {
        return true;
    }
    for (char c : value) {
        if (c == ' ' || c == '"' || c == '\\' || c == '=' || static_cast<unsigned char>(c) < 0x20) {
            return true;
        }
    }
    return false;
}

void AppendValue(std::string& out, std::string_view value) {
    if (!NeedsQuotes(value)) {
        out += value;
        return;
    }
    out += '"';
    for (char c : value) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
            break;
        }
    }
    out += '"';
}

bool IsKeyChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

// Reads one value at `pos` (bare or quoted); leaves `pos` after it.
std::optional<std::string> ReadValue(std::string_view text, size_t& pos) {
    std::string value;
    if (pos < text.size() && text[pos] == '"') {
        ++pos;
        while (pos < text.size() && text[pos] != '"') {
            char c = text[pos++];
            if (c == '\\') {
                if (pos >= text.size()) {
                    return std::nullopt;
                }
                char e = text[pos++];
                switch (e) {
                case 'n':
                    value += '\n';
                    break;
                case 'r':
                    value += '\r';
                    break;
                case 't':
                    value += '\t';
                    break;
                case '"':
                case '\\':
                    value += e;
                    break;
                default:
                    return std::nullopt;
                }
            } else {
                value += c;
            }
        }
        if (pos >= text.size()) {
            return std::nullopt; // unterminated
        }
        ++pos;
        return value;
    }
    while (pos < text.size() && text[pos] != ' ') {
        if (text[pos] == '"' || text[pos] == '=') {
            return std::nullopt;
        }
        value += text[pos++];
    }
    return value;
}

std::optional<unsigned long> ReadUnsigned(std::string_view text, size_t& pos) {
    size_t end = text.find(' ', pos);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    unsigned long value = 0;
    auto [ptr, ec] = std::from_chars(text.data() + pos, text.data() + end, value);
    if (ec != std::errc() || ptr != text.data() + end || end == pos) {
        return std::nullopt;
    }
    pos = end + 1;
    return value;
}

} // namespace

FieldList& FieldList::AddHex(std::string_view key, std::uint64_t value) {
    return Add(key, std::string_view(HexText(value)));
}

const std::string* LogLine::Find(std::string_view key) const {
    for (const LogField& field : fields) {
        if (field.key == key) {
            return &field.value;
        }
    }
    return nullptr;
}

std::string LogLine::Text(std::string_view key) const {
    const std::string* value = Find(key);
    return value ? *value : std::string();
}

std::optional<long long> LogLine::Number(std::string_view key) const {
    const std::string* value = Find(key);
    return value ? ParseNumber(*value) : std::nullopt;
}

int LogLine::index() const {
    std::optional<long long> value = Number("index");
    return value ? static_cast<int>(*value) : -1;
}

std::string HexText(std::uint64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%08llx", static_cast<unsigned long long>(value));
    return buffer;
}

std::optional<long long> ParseNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned long long magnitude = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    // Hex is how handles and bit patterns are written: keep their bits whatever the top bit.
    long long value = static_cast<long long>(magnitude);
    return negative ? -value : value;
}

std::string FormatLogLine(unsigned long seq, unsigned long pid, std::string_view kind,
                          const std::vector<LogField>& fields) {
    std::string out = std::to_string(seq) + " " + std::to_string(pid) + " ";
    out += kind;
    for (const LogField& field : fields) {
        out += ' ';
        out += field.key;
        out += '=';
        AppendValue(out, field.value);
    }
    return out;
}

std::optional<LogLine> ParseLogLine(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    LogLine line;
    size_t pos = 0;
    std::optional<unsigned long> seq = ReadUnsigned(text, pos);
    std::optional<unsigned long> pid = seq ? ReadUnsigned(text, pos) : std::nullopt;
    if (!pid) {
        return std::nullopt;
    }
    line.seq = *seq;
    line.pid = *pid;
    size_t kindEnd = text.find(' ', pos);
    if (kindEnd == std::string_view::npos) {
        kindEnd = text.size();
    }
    line.kind = std::string(text.substr(pos, kindEnd - pos));
    if (line.kind.empty()) {
        return std::nullopt;
    }
    for (char c : line.kind) {
        if (!IsKeyChar(c)) {
            return std::nullopt;
        }
    }
    pos = kindEnd;
    while (pos < text.size()) {
        if (text[pos] != ' ') {
            return std::nullopt;
        }
        ++pos;
        size_t keyStart = pos;
        while (pos < text.size() && IsKeyChar(text[pos])) {
            ++pos;
        }
        if (pos == keyStart || pos >= text.size() || text[pos] != '=') {
            return std::nullopt;
        }
        std::string key(text.substr(keyStart, pos - keyStart));
        ++pos;
        std::optional<std::string> value = ReadValue(text, pos);
        if (!value) {
            return std::nullopt;
        }
        line.fields.push_back({std::move(key), std::move(*value)});
    }
    return line;
}

std::string FormatWindowList(const std::vector<std::pair<int, std::uint64_t>>& windows) {
    std::string out;
    for (const auto& [index, handle] : windows) {
        if (!out.empty()) {
            out += ',';
        }
        out += std::to_string(index) + ":" + HexText(handle);
    }
    return out.empty() ? std::string("none") : out;
}

std::optional<std::map<int, std::uint64_t>> ParseWindowList(std::string_view text) {
    std::map<int, std::uint64_t> windows;
    if (text == "none") {
        return windows;
    }
    if (text.empty()) {
        return std::nullopt;
    }
    while (!text.empty()) {
        size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        size_t colon = item.find(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        std::optional<long long> index = ParseNumber(item.substr(0, colon));
        std::optional<long long> handle = ParseNumber(item.substr(colon + 1));
        if (!index || !handle || *index < 0 || !windows.emplace(int(*index), *handle).second) {
            return std::nullopt;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
        if (text.empty()) {
            return std::nullopt;
        }
    }
    return windows;
}

} // namespace lumivex::browserhost
