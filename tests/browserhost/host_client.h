// Test-side client of the browser host: starts it, talks to its windows, reads its event log.
#pragma once

#include "host_command.h"
#include "host_log_format.h"

#include "test_process.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumivex::browserhost {

// browser_host.exe beside the running test program.
std::wstring DefaultHostProgram();

// A command to a host's `frame` (of any host, however started); nothing when it was not
// delivered in time.
std::optional<std::intptr_t> SendHostCommand(HWND frame, const std::wstring& text,
                                             DWORD timeoutMs = 10000);

class HostProcess {
public:
    HostProcess() = default;
    ~HostProcess(); // asks a host still running to quit, kills it if it does not, removes the log
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Starts `program` (empty: DefaultHostProgram()) with `args` and a fresh --log, and waits
    // until it wrote READY and its windows are there. On false, error() says why.
    bool Start(const std::wstring& args, const std::wstring& program = L"",
               DWORD readyTimeoutMs = 20000);

    DWORD pid() const { return m_pid; }
    HWND frame() const { return m_frame; }
    HWND secondFrame() const { return m_secondFrame; }
    HWND browser(int index) const; // as READY listed it; null when unknown
    const std::map<int, HWND>& browsers() const { return m_browsers; }
    const LogLine& ready() const { return m_ready; }
    const std::string& error() const { return m_error; }

    // A command to `frame`; nothing when it was not delivered in time.
    std::optional<std::intptr_t> Send(HWND frame, const std::wstring& text,
                                      DWORD timeoutMs = 10000);
    // A command to the main frame.
    std::optional<std::intptr_t> Send(const std::wstring& text) { return Send(m_frame, text); }
    // "verb index" to the frame that owns browser `index`.
    std::optional<std::intptr_t> SendFor(int index, const std::wstring& verb);
    // "create" on `frame` (null: the main frame): the new browser's index, known from then on to
    // browser() and SendFor; nothing when the host made none.
    std::optional<int> CreateBrowser(HWND frame = nullptr);

    // Reads what the host logged since the last call; returns every line of this run so far.
    const std::vector<LogLine>& ReadLines();
    // Number of lines read so far: a mark for WaitForLine's `from`.
    size_t Mark() { return ReadLines().size(); }
    // The first line at or after position `from` that matches, waiting up to `timeoutMs`.
    std::optional<LogLine> WaitForLine(const std::function<bool(const LogLine&)>& match,
                                       DWORD timeoutMs = 5000, size_t from = 0);
    // Lines of `kind` (and, unless -1, of browser `index`) at or after `from`, read now.
    std::vector<LogLine> Lines(const std::string& kind, int index = -1, size_t from = 0);
    // Moves the mouse pointer onto the middle of browser `index` (SendInput) and waits until the
    // host's last MOUSEMOVE is for that browser and stays so for a while. Under Wine the wheel
    // goes to the window under the pointer, and the display's pointer follows a move late: it
    // may first report the old place again, so the wheel must wait for things to settle.
    bool PointAt(int index, DWORD timeoutMs = 5000);
    // Every line of this run, for failure messages.
    std::string Transcript();

    // "quit", then waits; kills the host if it does not end in time. The exit code, or
    // STILL_ACTIVE when it had to be killed.
    DWORD Quit(DWORD timeoutMs = 10000);
    // Waits for the host to end by itself: exit code, or STILL_ACTIVE.
    DWORD WaitForExit(DWORD timeoutMs);

private:
    bool Fail(const std::string& why);

    test::ChildProcess m_child;
    bool m_running = false;
    DWORD m_pid = 0; // kept after the process ended, to pick its lines from the log
    std::wstring m_logPath;
    unsigned long long m_offset = 0; // where this run's lines start, then how far we have read
    std::string m_partial;           // a line not finished yet
    std::vector<LogLine> m_lines;
    LogLine m_ready;
    HWND m_frame = nullptr;
    HWND m_secondFrame = nullptr;
    std::map<int, HWND> m_browsers;
    std::map<int, HWND> m_createdOn; // frames of the browsers made by "create"
    std::string m_error;
};

// True when `line` is of `kind` and, unless -1, of browser `index`.
bool Is(const LogLine& line, const char* kind, int index = -1);

// Injected input (SendInput). Keys go to the focus window of the foreground thread, so let the
// host take the foreground and the focus first ("focus N").
bool InjectKey(WORD vk, bool withCtrl); // Ctrl down (if asked), key down, key up, Ctrl up
// Ctrl down, wheel by `distance` (`count` times, in one go, as a touchpad pinch sends them), Ctrl
// up. Wine gives the wheel to the window under the pointer, not to the focus window:
// HostProcess::PointAt first.
bool InjectCtrlWheel(int distance, int count = 1);

} // namespace lumivex::browserhost
