// What the first-use prompt tests share: the hook installed from this process, the browser host
// copied under a name of our choosing, the prompt dialog found among the host's windows, the
// per-user "Browsers" section, and pixels read back from the screen.
#pragma once

#include "host_client.h"

#include "test_files.h"

#include <windows.h>

#include <optional>
#include <string>

namespace prompttest {

using lumivex::browserhost::HostProcess;
using lumivex::browserhost::LogLine;

inline constexpr UINT_PTR kFlashTimer = 19999;
inline constexpr int kTextId = 10004;
inline constexpr int kIconId = 10005;
inline constexpr int kCheckId = 10006;

// The hook library of this bitness beside the test program, with its system-wide hook set for
// the object's lifetime.
class GlobalHook {
public:
    GlobalHook();
    ~GlobalHook();
    GlobalHook(const GlobalHook&) = delete;
    GlobalHook& operator=(const GlobalHook&) = delete;
    bool installed() const { return m_installed; }

private:
    HMODULE m_library = nullptr;
    bool m_installed = false;
};

std::wstring HookLibraryPath();

// browser_host.exe copied into a temporary folder as `fileName`, so the prompt's caption and
// the "Browsers" key are ours to choose.
class HostCopy {
public:
    explicit HostCopy(const std::wstring& fileName);
    const std::wstring& path() const { return m_path; }

private:
    lumivex::test::TempDir m_dir;
    std::wstring m_path;
};

// The "Browsers" value of `exeName` in the per-user browsers.ini; nothing when there is none.
std::optional<std::wstring> BrowsersValue(const std::wstring& exeName);
void WriteBrowsersValue(const std::wstring& exeName, const std::wstring& value);

// The visible dialog window of the thread that owns the host's main frame, waiting up to
// `timeoutMs`; null when none appeared.
HWND WaitForPrompt(const HostProcess& host, DWORD timeoutMs = 10000);
HWND FindPrompt(const HostProcess& host);
// Waits until `dialog` is gone.
bool WaitForClosed(HWND dialog, DWORD timeoutMs = 10000);
// After the host answered the document message for `index`: true when no prompt shows up
// within a while.
bool NoPromptAfterAttach(HostProcess& host, int index, size_t from);

// WM_GETTEXT, which crosses the process boundary for controls too.
std::wstring TextOf(HWND window);

// The host's log line of a tick of the prompt's timer on browser `index`, after `from`.
std::optional<LogLine> WaitForFlashTick(HostProcess& host, int index, size_t from,
                                        DWORD timeoutMs = 5000);

// One pixel of the screen as the display shows it.
COLORREF ScreenPixel(POINT point);
// What the frame's pen (pure red, NOT-XOR) makes of `under`.
COLORREF FramedPixel(COLORREF under);
std::string ColourText(COLORREF colour);

} // namespace prompttest
