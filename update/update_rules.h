// Rules of the update check that need no window and no network: the running version in the
// description's form, where the check looks and when, and which address a notice may open.
// Driven directly by tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lumivex {

// "V<a>.<b>.<c>" from the fields of a product version ("1", "2", "0", "0" gives "V1.2.0").
// Empty with fewer than three fields: no version can then be compared.
std::wstring CurrentVersionFrom(const std::vector<std::wstring>& versionFields);

// The description's address: the environment's override when it is set and not empty, else the
// address the build was made with.
std::wstring UpdateUrlFrom(const wchar_t* environmentValue, const wchar_t* buildSetting);

// The delay before the check in milliseconds: the environment's value in whole seconds (digits
// only, at most a day), else `defaultMs`.
UINT UpdateDelayFrom(const wchar_t* environmentValue, UINT defaultMs);

// True for an address that starts with "http://" or "https://" (any letter case), has something
// after it and holds no blank, quote or control character: the only kind a notice opens.
bool IsWebAddress(const std::wstring& address);

// The address a notice opens: the description's "NewVerFile" when it is a web address, else the
// home page. Nothing that came from the network is ever run or opened as a file.
std::wstring NoticeAddress(const std::wstring& newVerFile, const std::wstring& homePage);

} // namespace lumivex
