#include "host_client.h"

#include "test_files.h"
#include "test_windows.h"

#include <atomic>

namespace lumivex::browserhost {

namespace {

std::wstring FreshLogPath() {
    static std::atomic<int> counter{0};
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"lumivex-host-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount()) + L".log";
}

unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

HWND HandleField(const LogLine& line, const char* key) {
    std::optional<long long> value = line.Number(key);
    return value ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*value)) : nullptr;
}

bool IsHostWindow(HWND window, DWORD pid) {
    DWORD owner = 0;
    return window && IsWindow(window) && GetWindowThreadProcessId(window, &owner) && owner == pid;
}

bool SendInputs(std::vector<INPUT>& inputs) {
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

bool MovePointer(int x, int y) {
    INPUT move = test::PointerInput(POINT{x, y});
    return SendInput(1, &move, sizeof move) == 1;
}

} // namespace

std::wstring DefaultHostProgram() {
    return test::ProgramDir() + L"\\browser_host.exe";
}

bool Is(const LogLine& line, const char* kind, int index) {
    return line.kind == kind && (index < 0 || line.index() == index);
}

HostProcess::~HostProcess() {
    if (m_running) {
        Quit(5000);
    }
    if (!m_logPath.empty()) {
        DeleteFileW(m_logPath.c_str());
    }
}

bool HostProcess::Fail(const std::string& why) {
    m_error = why + "\n" + Transcript();
    return false;
}

bool HostProcess::Start(const std::wstring& args, const std::wstring& program,
                        DWORD readyTimeoutMs) {
    m_logPath = FreshLogPath();
    m_offset = FileSize(m_logPath);
    const std::wstring exe = program.empty() ? DefaultHostProgram() : program;
    std::wstring commandLine = L"--log=\"" + m_logPath + L"\"";
    if (!args.empty()) {
        commandLine += L" " + args;
    }
    if (!m_child.Start(exe, commandLine)) {
        return Fail("could not start " + test::Narrow(exe) + ", error " +
                    std::to_string(GetLastError()));
    }
    m_running = true;
    m_pid = m_child.pid();
    std::optional<LogLine> ready =
        WaitForLine([](const LogLine& line) { return Is(line, "READY"); }, readyTimeoutMs);
    if (!ready) {
        return Fail("no READY within " + std::to_string(readyTimeoutMs) + " ms");
    }
    m_ready = *ready;
    m_frame = HandleField(m_ready, "frame");
    m_secondFrame = HandleField(m_ready, "second_frame");
    auto windows = ParseWindowList(m_ready.Text("browsers"));
    if (!windows) {
        return Fail("READY lists no readable browsers");
    }
    for (const auto& [index, handle] : *windows) {
        m_browsers[index] = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
    }
    if (!IsHostWindow(m_frame, pid())) {
        return Fail("READY's frame is no window of the host");
    }
    return true;
}

HWND HostProcess::browser(int index) const {
    auto found = m_browsers.find(index);
    return found == m_browsers.end() ? nullptr : found->second;
}

std::optional<std::intptr_t> SendHostCommand(HWND frame, const std::wstring& text,
                                             DWORD timeoutMs) {
    COPYDATASTRUCT copy = {kCommandCopyDataId, static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                           const_cast<wchar_t*>(text.data())};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                             SMTO_ABORTIFHUNG, timeoutMs, &result)) {
        return std::nullopt;
    }
    return static_cast<std::intptr_t>(result);
}

std::optional<std::intptr_t> HostProcess::Send(HWND frame, const std::wstring& text,
                                               DWORD timeoutMs) {
    return SendHostCommand(frame, text, timeoutMs);
}

std::optional<std::intptr_t> HostProcess::SendFor(int index, const std::wstring& verb) {
    const auto created = m_createdOn.find(index);
    HWND frame = created != m_createdOn.end() ? created->second
                 : index >= 100               ? m_secondFrame
                                              : m_frame;
    return Send(frame, verb + L" " + std::to_wstring(index));
}

std::optional<int> HostProcess::CreateBrowser(HWND frame) {
    frame = frame ? frame : m_frame;
    const size_t mark = Mark();
    const std::intptr_t index = Send(frame, L"create").value_or(kReplyBadCommand);
    if (index < 0 || index > kMaxBrowserIndex) {
        return std::nullopt;
    }
    const int created = static_cast<int>(index);
    // Written before the reply went out.
    std::optional<LogLine> line = WaitForLine(
        [created](const LogLine& entry) { return Is(entry, "BROWSER", created); }, 1000, mark);
    HWND window = line ? HandleField(*line, "hwnd") : nullptr;
    if (!window) {
        return std::nullopt;
    }
    m_browsers[created] = window;
    m_createdOn[created] = frame;
    return created;
}

const std::vector<LogLine>& HostProcess::ReadLines() {
    if (m_logPath.empty()) {
        return m_lines;
    }
    HANDLE file = CreateFileW(m_logPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return m_lines;
    }
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(m_offset);
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        m_offset += got;
        m_partial.append(buffer, got);
    }
    CloseHandle(file);
    size_t start = 0;
    for (size_t end; (end = m_partial.find('\n', start)) != std::string::npos; start = end + 1) {
        std::optional<LogLine> line =
            ParseLogLine(std::string_view(m_partial).substr(start, end - start));
        // Other programs may share the log; this run's lines carry our host's process id.
        if (line && line->pid == pid()) {
            m_lines.push_back(std::move(*line));
        }
    }
    m_partial.erase(0, start);
    return m_lines;
}

std::optional<LogLine> HostProcess::WaitForLine(const std::function<bool(const LogLine&)>& match,
                                                DWORD timeoutMs, size_t from) {
    std::optional<LogLine> found;
    size_t next = from;
    auto scan = [&]() {
        const std::vector<LogLine>& lines = ReadLines();
        for (; next < lines.size(); ++next) {
            if (match(lines[next])) {
                found = lines[next];
                return true;
            }
        }
        return false;
    };
    test::WaitUntil([&]() { return scan() || m_child.Wait(0) != STILL_ACTIVE; }, timeoutMs);
    if (!found) {
        scan(); // the host may have ended right after writing it
    }
    return found;
}

std::vector<LogLine> HostProcess::Lines(const std::string& kind, int index, size_t from) {
    std::vector<LogLine> matching;
    const std::vector<LogLine>& lines = ReadLines();
    for (size_t i = from; i < lines.size(); ++i) {
        if (Is(lines[i], kind.c_str(), index)) {
            matching.push_back(lines[i]);
        }
    }
    return matching;
}

bool HostProcess::PointAt(int index, DWORD timeoutMs) {
    RECT r;
    if (!GetWindowRect(browser(index), &r)) {
        return false;
    }
    const int x = (r.left + r.right) / 2;
    const int y = (r.top + r.bottom) / 2;
    // A step beside the target first, so there is a move even when the pointer is there already.
    if (!MovePointer(x + 1, y) || !MovePointer(x, y)) {
        return false;
    }
    constexpr DWORD kSettledMs = 300;
    unsigned long lastSeq = 0;
    DWORD since = GetTickCount();
    return test::WaitUntil(
        [&]() {
            std::vector<LogLine> moves = Lines("MOUSEMOVE");
            if (moves.empty()) {
                return false;
            }
            if (moves.back().seq != lastSeq) {
                lastSeq = moves.back().seq;
                since = GetTickCount();
                return false;
            }
            return moves.back().index() == index && GetTickCount() - since >= kSettledMs;
        },
        timeoutMs);
}

std::string HostProcess::Transcript() {
    std::string text = "host log " + test::Narrow(m_logPath) + ":\n";
    for (const LogLine& line : ReadLines()) {
        text += "  " + FormatLogLine(line.seq, line.pid, line.kind, line.fields) + "\n";
    }
    return text;
}

DWORD HostProcess::WaitForExit(DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    test::WaitUntil([&]() { return (code = m_child.Wait(0)) != STILL_ACTIVE; }, timeoutMs);
    if (code != STILL_ACTIVE) {
        m_running = false;
    }
    return code;
}

DWORD HostProcess::Quit(DWORD timeoutMs) {
    if (m_child.Wait(0) == STILL_ACTIVE) {
        Send(m_frame, L"quit", timeoutMs);
    }
    DWORD code = WaitForExit(timeoutMs);
    if (code == STILL_ACTIVE) {
        m_child.Kill();
        m_running = false;
    }
    ReadLines();
    return code;
}

bool InjectKey(WORD vk, bool withCtrl) {
    std::vector<INPUT> inputs;
    if (withCtrl) {
        inputs.push_back(test::KeyInput(VK_CONTROL, false));
    }
    inputs.push_back(test::KeyInput(vk, false));
    inputs.push_back(test::KeyInput(vk, true));
    if (withCtrl) {
        inputs.push_back(test::KeyInput(VK_CONTROL, true));
    }
    return SendInputs(inputs);
}

bool InjectCtrlWheel(int distance, int count) {
    std::vector<INPUT> inputs;
    inputs.push_back(test::KeyInput(VK_CONTROL, false));
    INPUT wheel = {};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = static_cast<DWORD>(distance);
    inputs.insert(inputs.end(), count, wheel);
    inputs.push_back(test::KeyInput(VK_CONTROL, true));
    return SendInputs(inputs);
}

} // namespace lumivex::browserhost
