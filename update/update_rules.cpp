#include "update/update_rules.h"

#include "update/url_rules.h"

namespace lumivex {

namespace {

constexpr unsigned long kLongestDelaySeconds = 24UL * 60 * 60;

} // namespace

std::wstring CurrentVersionFrom(const std::vector<std::wstring>& versionFields) {
    if (versionFields.size() < 3) {
        return {};
    }
    return L"V" + versionFields[0] + L"." + versionFields[1] + L"." + versionFields[2];
}

std::wstring UpdateUrlFrom(const wchar_t* environmentValue, const wchar_t* buildSetting) {
    if (environmentValue && *environmentValue) {
        return environmentValue;
    }
    return buildSetting ? buildSetting : L"";
}

UINT UpdateDelayFrom(const wchar_t* environmentValue, UINT defaultMs) {
    if (!environmentValue || !*environmentValue) {
        return defaultMs;
    }
    unsigned long seconds = 0;
    for (const wchar_t* c = environmentValue; *c; ++c) {
        if (*c < L'0' || *c > L'9') {
            return defaultMs;
        }
        seconds = seconds * 10 + static_cast<unsigned long>(*c - L'0');
        if (seconds > kLongestDelaySeconds) {
            return defaultMs;
        }
    }
    return static_cast<UINT>(seconds * 1000);
}

bool IsWebAddress(const std::wstring& address) {
    const bool http = StartsWithNoCase(address, L"http://") && address.size() > 7;
    const bool https = StartsWithNoCase(address, L"https://") && address.size() > 8;
    if (!http && !https) {
        return false;
    }
    // The shell puts the address into the browser's command line: a blank, quote or control
    // character there could split it into further arguments.
    for (const wchar_t c : address) {
        if (c <= L' ' || c == L'"' || c == 0x7F) {
            return false;
        }
    }
    return true;
}

std::wstring NoticeAddress(const std::wstring& newVerFile, const std::wstring& homePage) {
    return IsWebAddress(newVerFile) ? newVerFile : homePage;
}

} // namespace lumivex
