// Identifiers the hook library shares with the browser control and with other processes.
#pragma once

#include <windows.h>

namespace lumivex::hook {

// Posted to a window right after it was subclassed; its handling reaches the browser.
inline constexpr UINT WM_SUBIEWIN_ATTACH = WM_USER + 1004;
// Answered by every subclassed browser window with SUBIEWIN_PROBE_REPLY, never passed on.
inline constexpr UINT WM_SUBIEWIN_PROBE = WM_APP + 500;
inline constexpr LRESULT SUBIEWIN_PROBE_REPLY = static_cast<LRESULT>(0xAF2891FAu);

inline constexpr wchar_t kBrowserWindowClass[] = L"Internet Explorer_Server";

// Published identifiers of the browser control, spelled out here so the library needs no
// import library for them.
inline constexpr GUID IID_IHTMLDocument_ = {
    0x626FC520, 0xA41E, 0x11CF, {0xA7, 0x31, 0x00, 0xA0, 0xC9, 0x08, 0x26, 0x37}};
inline constexpr GUID IID_IHTMLWindow2_ = {
    0x332C4427, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
inline constexpr GUID IID_IServiceProvider_ = {
    0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};
inline constexpr GUID SID_SWebBrowserApp_ = {
    0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IWebBrowser2_ = {
    0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

inline constexpr DWORD kOpticalZoom = 63;         // OLECMDID_OPTICAL_ZOOM
inline constexpr DWORD kOpticalGetZoomRange = 64; // OLECMDID_OPTICAL_GETZOOMRANGE

} // namespace lumivex::hook
