#include "update/inet_handles.h"

#include "update/url_rules.h"

#include <cwchar>

namespace lumivex {

namespace {

// A header value as text, from a buffer of 1000 bytes zeroed before the query.
std::optional<std::wstring> QueryText(HINTERNET request, DWORD what) {
    wchar_t text[500] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (!HttpQueryInfoW(request, what, text, &size, nullptr)) {
        return std::nullopt;
    }
    return std::wstring(text);
}

} // namespace

std::optional<int> QueryStatus(HINTERNET request) {
    const auto text = QueryText(request, HTTP_QUERY_STATUS_CODE);
    const auto status = text ? ParseContentLength(*text) : std::nullopt;
    if (!status || *status < 100 || *status > 999) {
        return std::nullopt;
    }
    return static_cast<int>(*status);
}

std::optional<unsigned long long> QueryContentLength(HINTERNET request) {
    const auto text = QueryText(request, HTTP_QUERY_CONTENT_LENGTH);
    return text ? ParseContentLength(*text) : std::nullopt;
}

// The Location header, asked for its length first: it may be longer than any fixed buffer.
std::optional<std::wstring> QueryLocation(HINTERNET request) {
    DWORD size = 0;
    HttpQueryInfoW(request, HTTP_QUERY_LOCATION, nullptr, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return std::nullopt;
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(request, HTTP_QUERY_LOCATION, text.data(), &size, nullptr)) {
        return std::nullopt;
    }
    text.resize(std::wcslen(text.c_str()));
    return text;
}

void SetTimeouts(HINTERNET handle, DWORD connectMs, DWORD receiveMs) {
    InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof(connectMs));
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveMs, sizeof(receiveMs));
}

bool SetTextOption(HINTERNET request, DWORD option, const std::wstring& value) {
    wchar_t text[64] = {};
    std::wcsncpy(text, value.c_str(), 63);
    return InternetSetOptionW(request, option, text, static_cast<DWORD>(std::wcslen(text) + 1));
}

} // namespace lumivex
