// Reads and settings on one WinINet request: the answer's status, length and location, and the
// options a request takes. Each read fails rather than guesses: no value is made up.
#pragma once

#include <windows.h>

#include <wininet.h>

#include <optional>
#include <string>

namespace lumivex {

// The status code of the answer; nothing when there is none or it is no three-digit number.
std::optional<int> QueryStatus(HINTERNET request);
// The announced Content-Length; nothing when it is missing or no plain number.
std::optional<unsigned long long> QueryContentLength(HINTERNET request);
// The Location header at whatever length; nothing when there is none.
std::optional<std::wstring> QueryLocation(HINTERNET request);

// Wine takes the receive time-out only on a connection or request, not on the session, and
// its children copy it when they are made: set on each, a silent server cannot hold an attempt
// for longer than these.
void SetTimeouts(HINTERNET handle, DWORD connectMs, DWORD receiveMs);
// A text option such as the proxy user name, cut to 63 characters as the request takes it.
bool SetTextOption(HINTERNET request, DWORD option, const std::wstring& value);

} // namespace lumivex
