// Window-free rules of the download about URLs and header values: which scheme a URL carries,
// where an http or https URL leads, where a redirect may lead, and what a Content-Length says.
// Whatever a server sends is untrusted: nothing it names outside http and https is followed.
#pragma once

#include <windows.h>

#include <wininet.h>

#include <optional>
#include <string>
#include <string_view>

namespace lumivex {

// Where an http or https URL leads, as the platform's URL parser splits it.
struct HttpTarget {
    std::wstring server;
    std::wstring object;    // path and query, "/" when the URL has none
    INTERNET_PORT port = 0; // the URL's own, else 80 for http and 443 for https
    bool secure = false;    // https: fetched over TLS
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
};

// Comparisons of the protocol's words (schemes, "True", "V1.2.0"), blind to ASCII letter case.
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// True when `url` starts, in any letter case, with one of the service types WinINet knows
// ("http://", "https://", "file://", "ftp://", ...).
bool HasKnownServiceType(const std::wstring& url);
// `url` with "http://" in front unless it has a known service type.
std::wstring WithServiceType(const std::wstring& url);
// `url` up to its first "#": a fragment is never sent.
std::wstring WithoutFragment(const std::wstring& url);
// True for the URLs fetched by the open-URL path rather than as HTTP requests (ftp, gopher).
bool IsOpenUrlScheme(const std::wstring& url);
// Splits `url` (no fragment) without encoding; nothing when it is not an http or https URL
// with a server part.
std::optional<HttpTarget> SplitHttpUrl(const std::wstring& url);
// The URL a redirect from `from` to `location` leads to, or nothing when it must not be
// followed: no location, a scheme other than http and https, or https to http. A location
// without a server stays on the request's scheme, server and port.
std::optional<std::wstring> RedirectTarget(const HttpTarget& from, const std::wstring& location);
// A Content-Length value as an unsigned decimal number; nothing for anything else (empty,
// signs, blanks inside, other characters, overflow).
std::optional<unsigned long long> ParseContentLength(const std::wstring& text);

} // namespace lumivex
