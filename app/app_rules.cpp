#include "app/app_rules.h"

#include "support/lumivex_names.h"

#include <cwctype>

namespace lumivex::app {

namespace {

// wcsnicmp(text, prefix, length of prefix): a shorter text compares with its terminating zero,
// so it never matches.
bool StartsWithNoCase(const std::wstring& text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::towlower(text[i]) != std::towlower(prefix[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

StartRequest RequestFromSwitches(const std::vector<std::wstring>& switches) {
    if (switches.empty()) {
        return StartRequest::Normal;
    }
    const std::wstring& first = switches.front();
    if (StartsWithNoCase(first, L"clean")) {
        return StartRequest::Clean;
    }
    if (StartsWithNoCase(first, L"u")) {
        return StartRequest::Uninstall;
    }
    if (StartsWithNoCase(first, L"m")) {
        return StartRequest::Minimized;
    }
    return StartRequest::Normal;
}

std::wstring AutostartCommand(std::wstring_view programFolder) {
    std::wstring program(programFolder);
    program += kMainProgramName;
    if (program.find(L' ') != std::wstring::npos) {
        program = L"\"" + program + L"\"";
    }
    return program + L" /m";
}

bool IsSetAsideFileName(std::wstring_view fileName) {
    const std::wstring_view suffix = kSetAsideSuffix;
    if (fileName.size() <= suffix.size() ||
        !StartsWithNoCase(std::wstring(fileName.substr(fileName.size() - suffix.size())), suffix)) {
        return false;
    }
    const std::wstring_view rest = fileName.substr(0, fileName.size() - suffix.size());
    const size_t dot = rest.rfind(L'.');
    if (dot == std::wstring_view::npos || dot == 0 || dot + 1 == rest.size()) {
        return false;
    }
    for (const wchar_t c : rest.substr(dot + 1)) {
        if (c < L'0' || c > L'9') {
            return false;
        }
    }
    return true;
}

std::wstring VersionLabel(const std::vector<std::wstring>& versionFields) {
    std::wstring label = kProductName;
    if (versionFields.empty()) {
        return label;
    }
    label += L" V";
    for (size_t i = 0; i < versionFields.size() && i < 3; ++i) {
        if (i > 0) {
            label += L'.';
        }
        label += versionFields[i];
    }
    return label;
}

PageBox PageBoxFor(const PageBox& client, long tabHeight) {
    return PageBox{client.left + 4, client.top + tabHeight + 6, client.right - 6,
                   client.bottom - 6};
}

std::wstring ZoomLabelText(int level) {
    return std::to_wstring(level) + L" %";
}

PageBox ZoomLabelBoxFor(const PageBox& browser, long width, long height, long margin) {
    long left = browser.left + (browser.right - browser.left - width) / 2;
    left = left < browser.left ? browser.left : left;
    const long top = browser.top + margin;
    return PageBox{left, top, left + width, top + height};
}

} // namespace lumivex::app
