#include "server/server_command.h"

#include "framework/owners.h"

#include <shellapi.h>

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

std::vector<std::wstring> ParseSwitches(const std::vector<std::wstring>& words) {
    std::vector<std::wstring> switches;
    for (size_t i = 1; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        if (!word.empty() && (word[0] == L'/' || word[0] == L'-')) {
            switches.push_back(word.substr(1));
        }
    }
    return switches;
}

ServerCommand CommandFromSwitches(const std::vector<std::wstring>& switches) {
    ServerCommand command;
    if (switches.empty()) {
        return command;
    }
    const std::wstring& first = switches[0];
    if (EqualsIgnoringCase(first, L"Enable")) {
        command.code = SERVER_ENABLE;
    } else if (EqualsIgnoringCase(first, L"Disable")) {
        command.code = SERVER_DISABLE;
    } else if (EqualsIgnoringCase(first, L"Exit")) {
        command.code = SERVER_EXIT;
    } else if (EqualsIgnoringCase(first, L"Inject")) {
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

std::vector<std::wstring> CommandLineWords(const wchar_t* commandLine) {
    std::vector<std::wstring> words;
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW(commandLine, &count);
    const UniqueLocal owner(reinterpret_cast<HLOCAL>(split));
    for (int i = 0; split && i < count; ++i) {
        words.emplace_back(split[i]);
    }
    return words;
}

} // namespace lumivex::server
