#include "server/server_command.h"

#include <climits>

namespace lumivex::server {

namespace {

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualsIgnoringCase(const std::wstring& text, const wchar_t* name) {
    size_t i = 0;
    for (; i < text.size() && name[i]; ++i) {
        if (AsciiLower(text[i]) != AsciiLower(name[i])) {
            return false;
        }
    }
    return i == text.size() && !name[i];
}

bool IsBlank(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

} // namespace

ServerCommand CommandFromSwitches(const std::vector<std::wstring>& switches) {
    ServerCommand command;
    if (switches.empty()) {
        return command;
    }
    const std::wstring& first = switches[0];
    if (EqualsIgnoringCase(first, kServerEnableWord)) {
        command.code = SERVER_ENABLE;
    } else if (EqualsIgnoringCase(first, kServerDisableWord)) {
        command.code = SERVER_DISABLE;
    } else if (EqualsIgnoringCase(first, kServerExitWord)) {
        command.code = SERVER_EXIT;
    } else if (EqualsIgnoringCase(first, kServerInjectWord)) {
        command.code = SERVER_INJECT;
        if (switches.size() > 1) {
            command.param = static_cast<INT_PTR>(LeadingDecimal(switches[1]));
        }
    }
    return command;
}

int LeadingDecimal(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    // Accumulated as a magnitude with room for INT_MIN; stops growing at the limit.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > limit) {
            magnitude = limit;
        }
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

} // namespace lumivex::server
