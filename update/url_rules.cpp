#include "update/url_rules.h"

#include <array>
#include <string_view>

namespace lumivex {

namespace {

// Prefixes that WinINet itself understands; a URL with none of them is taken for a host name.
constexpr std::array<std::wstring_view, 11> kServiceTypes = {
    L"http://", L"https://", L"file://", L"ftp://", L"gopher://", L"mailto:",
    L"news:",   L"telnet:",  L"wais:",   L"mk:",    L"ms-help://"};

wchar_t LowerAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// The scheme of `location` in lower case when it starts with one (a letter, then letters,
// digits, "+", "-" or ".", then ":"); empty for a location relative to the request.
std::wstring SchemeOf(std::wstring_view location) {
    if (location.empty() || !IsAsciiLetter(location[0])) {
        return {};
    }
    std::wstring scheme;
    for (wchar_t c : location) {
        if (c == L':') {
            return scheme;
        }
        if (!IsAsciiLetter(c) && !(c >= L'0' && c <= L'9') && c != L'+' && c != L'-' && c != L'.') {
            return {};
        }
        scheme.push_back(LowerAscii(c));
    }
    return {};
}

} // namespace

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool HasKnownServiceType(const std::wstring& url) {
    for (std::wstring_view prefix : kServiceTypes) {
        if (StartsWithNoCase(url, prefix)) {
            return true;
        }
    }
    return false;
}

std::wstring WithServiceType(const std::wstring& url) {
    return HasKnownServiceType(url) ? url : L"http://" + url;
}

std::wstring WithoutFragment(const std::wstring& url) {
    return url.substr(0, url.find(L'#'));
}

bool IsOpenUrlScheme(const std::wstring& url) {
    return (url.size() > 6 && StartsWithNoCase(url, L"ftp://")) ||
           (url.size() > 9 && StartsWithNoCase(url, L"gopher://"));
}

std::optional<HttpTarget> SplitHttpUrl(const std::wstring& url) {
    if (url.empty()) {
        return std::nullopt;
    }
    // Non-zero lengths with no buffers: the parser points into `url`, so no part is cut.
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), ICU_NO_ENCODE, &parts)) {
        return std::nullopt;
    }
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
        return std::nullopt;
    }
    if (!parts.lpszHostName || parts.dwHostNameLength == 0) {
        return std::nullopt;
    }
    HttpTarget target;
    target.server.assign(parts.lpszHostName, parts.dwHostNameLength);
    if (parts.lpszUrlPath) {
        target.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    }
    if (parts.lpszExtraInfo) {
        target.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    }
    if (target.object.empty() || target.object[0] != L'/') {
        target.object.insert(0, L"/");
    }
    target.scheme = parts.nScheme;
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    target.port = parts.nPort != 0
                      ? parts.nPort
                      : (target.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    return target;
}

std::optional<std::wstring> RedirectTarget(const HttpTarget& from, const std::wstring& location) {
    if (location.empty()) {
        return std::nullopt;
    }
    const std::wstring ownScheme = from.secure ? L"https" : L"http";
    // "//server/path" names a server but keeps the request's scheme.
    const std::wstring absolute =
        location.starts_with(L"//") ? ownScheme + L":" + location : location;
    const std::wstring scheme = SchemeOf(absolute);
    if (!scheme.empty()) {
        if (scheme != L"http" && scheme != L"https") {
            return std::nullopt;
        }
        if (from.secure && scheme == L"http") {
            return std::nullopt;
        }
        if (!SplitHttpUrl(WithoutFragment(absolute))) {
            return std::nullopt;
        }
        return absolute;
    }
    std::wstring url = ownScheme + L"://";
    // A literal IPv6 address needs its brackets back.
    const bool bare6 = from.server.find(L':') != std::wstring::npos && from.server[0] != L'[';
    url += bare6 ? L"[" + from.server + L"]" : from.server;
    const INTERNET_PORT defaultPort =
        from.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    if (from.port != 0 && from.port != defaultPort) {
        url += L":" + std::to_wstring(from.port);
    }
    if (location[0] != L'/') {
        url += L"/";
    }
    return url + location;
}

std::optional<unsigned long long> ParseContentLength(const std::wstring& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned long long value = 0;
    constexpr unsigned long long kMax = ~0ULL;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        const unsigned digit = static_cast<unsigned>(c - L'0');
        if (value > (kMax - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

} // namespace lumivex
