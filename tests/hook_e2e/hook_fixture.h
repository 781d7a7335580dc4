// What every end-to-end test of the hook library shares: the library loaded into this test
// program by full path as the loaders load it, a per-user configuration that lets the browser
// host through without the first-use prompt, and readings of the host's event log.
#pragma once

#include "host_client.h"

#include "support/owners.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumivex::e2e {

using browserhost::HostProcess;
using browserhost::LogLine;

// The library's own values, written out here rather than taken from its headers, so a wrong
// value in the library cannot pass for right.
inline constexpr UINT kProbeMessage = 0x81F4; // WM_APP + 500
inline constexpr std::uint32_t kProbeReply = 0xAF2891FAu;
inline constexpr UINT kAttachMessage = 0x07EC; // WM_USER + 1004
inline constexpr long long kCmdZoom = 63;      // OLECMDID_OPTICAL_ZOOM
inline constexpr long long kCmdZoomRange = 64; // OLECMDID_OPTICAL_GETZOOMRANGE
inline constexpr std::intptr_t kNoReply = INTPTR_MIN;

// LumivexDll.dll or LumivexDll64.dll beside the test program, by full path.
std::wstring HookLibraryPath();

// The hook library in this process, found and called as the main program and the server do.
class HookLibrary {
public:
    HookLibrary() = default;
    ~HookLibrary() { Unload(); }
    HookLibrary(const HookLibrary&) = delete;
    HookLibrary& operator=(const HookLibrary&) = delete;

    // LoadLibraryW by full path and the three exports; false with `error` set when not.
    bool Load(std::string& error);
    // ClearIECBT, then FreeLibrary.
    void Unload();
    bool loaded() const { return static_cast<bool>(m_module); }
    HMODULE module() const { return m_module.get(); }

    BOOL SetIECBT() const { return m_set(); }
    BOOL ClearIECBT() const { return m_clear(); }
    int Initialize(HWND window, int a, void* p, int b) const {
        return m_initialize(window, a, p, b);
    }

private:
    using HookFunction = BOOL(WINAPI*)();
    using InitializeFunction = int(WINAPI*)(HWND, int, void*, int);

    UniqueModule m_module;
    HookFunction m_set = nullptr;
    HookFunction m_clear = nullptr;
    InitializeFunction m_initialize = nullptr;
};

// %APPDATA%\Lumivex\browsers.ini, where the library reads its configuration.
std::wstring ConfigFilePath();
// Writes `key`=`value` in `section`, creating the folder when missing.
bool WriteConfig(const wchar_t* section, const std::wstring& key, const wchar_t* value);
// Removes `key` from `section`.
bool RemoveConfig(const wchar_t* section, const std::wstring& key);

// Executable names the tests run the host as; each is let through without the first-use prompt.
inline const wchar_t* const kHostNames[] = {L"browser_host.exe", L"hh.exe"};

// Fresh per-user state, the prompt switched off for every host name, the library loaded (not
// hooked: tests that want the hook call InstallHook).
class HookTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void InstallHook();

    HookLibrary m_hook;
};

std::intptr_t Ask(HostProcess& host, const std::wstring& text);

// Whether `window` answers the library's probe message (it does while subclassed).
bool AnswersProbe(HWND window);

// "focus N" and, when that focus change made the library take the window, a wait until the
// attach message has been handled (the library is done reaching the browser).
bool FocusAndSettle(HostProcess& host, int index);

// Whether the debug privilege is enabled in process `pid`'s token, which the library's start-up
// does; nothing when the token cannot be read or does not hold the privilege.
std::optional<bool> DebugPrivilegeEnabled(DWORD pid);
// Switches the debug privilege off in this process's token; false when that failed.
bool DisableOwnDebugPrivilege();

// What one injected gesture did: whether it reached the host, and the browser calls it caused.
struct Gesture {
    bool delivered = false;
    std::vector<LogLine> execwb; // EXECWB lines of the browser since the gesture began
    LogLine message;             // the KEYUP or WHEEL line that reached the host

    std::vector<int> Levels() const; // the levels OLECMDID_OPTICAL_ZOOM was given
    int RangeQueries() const;        // OLECMDID_OPTICAL_GETZOOMRANGE calls
};

// Ctrl (if asked) + key down and up on browser `index`, which must have the focus. Waits until
// every injected key reached the host.
Gesture PressKey(HostProcess& host, int index, WORD vk, bool withCtrl = true);
// The wheel by `distance` (with Ctrl held, if asked) on browser `index`, which must have the focus
// and be under the pointer (HostProcess::PointAt).
Gesture TurnWheel(HostProcess& host, int index, int distance, bool withCtrl = true);
// With Ctrl, `count` wheel messages of `distance` in one injection; waits until all of them
// reached the host (`message` is the last).
Gesture TurnWheelSeries(HostProcess& host, int index, int distance, int count);

// The levels of OLECMDID_OPTICAL_ZOOM calls on browser `index` since `from`.
std::vector<int> ZoomLevels(HostProcess& host, int index, std::size_t from = 0);

// Injected key halves, for tests that look between key-down and key-up.
bool InjectKeyHalf(WORD vk, bool up);

// Milliseconds since some fixed point, for measuring waits.
unsigned long long NowMs();

} // namespace lumivex::e2e
