#include "hook_fixture.h"

#include "test_files.h"
#include "test_process.h"
#include "test_windows.h"

namespace lumivex::e2e {

using browserhost::Is;

namespace {

constexpr DWORD kEventTimeoutMs = 10000;

template <typename T> T Export(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::function<bool(const LogLine&)> KindFor(const char* kind, int index,
                                            std::function<bool(const LogLine&)> more = {}) {
    return [kind, index, more](const LogLine& line) {
        return Is(line, kind, index) && (!more || more(line));
    };
}

std::function<bool(const LogLine&)> WithNumber(const char* key, long long value) {
    return [key, value](const LogLine& line) { return line.Number(key) == value; };
}

} // namespace

std::wstring HookLibraryPath() {
    return test::ProgramDir() + (sizeof(void*) == 8 ? L"\\LumivexDll64.dll" : L"\\LumivexDll.dll");
}

bool HookLibrary::Load(std::string& error) {
    const std::wstring path = HookLibraryPath();
    m_module.reset(LoadLibraryW(path.c_str()));
    if (!m_module) {
        error = "LoadLibraryW(" + test::Narrow(path) + ") failed, error " +
                std::to_string(GetLastError());
        return false;
    }
    m_set = Export<HookFunction>(m_module.get(), "SetIECBT");
    m_clear = Export<HookFunction>(m_module.get(), "ClearIECBT");
    m_initialize = Export<InitializeFunction>(m_module.get(), "Initialize");
    if (!m_set || !m_clear || !m_initialize) {
        error = "an export is missing from " + test::Narrow(path);
        m_module.reset();
        return false;
    }
    return true;
}

void HookLibrary::Unload() {
    if (m_module) {
        m_clear();
        m_module.reset();
    }
    m_set = m_clear = nullptr;
    m_initialize = nullptr;
}

std::wstring ConfigFilePath() {
    return test::AppDataDir() + L"\\Lumivex\\browsers.ini";
}

bool WriteConfig(const wchar_t* section, const std::wstring& key, const wchar_t* value) {
    CreateDirectoryW((test::AppDataDir() + L"\\Lumivex").c_str(), nullptr);
    return WritePrivateProfileStringW(section, key.c_str(), value, ConfigFilePath().c_str()) !=
           FALSE;
}

bool RemoveConfig(const wchar_t* section, const std::wstring& key) {
    return WritePrivateProfileStringW(section, key.c_str(), nullptr, ConfigFilePath().c_str()) !=
           FALSE;
}

void HookTest::SetUp() {
    test::ResetPerUserState();
    for (const wchar_t* name : kHostNames) {
        ASSERT_TRUE(WriteConfig(L"Browsers", name, L"0")) << test::Narrow(ConfigFilePath());
    }
    std::string error;
    ASSERT_TRUE(m_hook.Load(error)) << error;
}

void HookTest::TearDown() {
    m_hook.Unload();
}

void HookTest::InstallHook() {
    ASSERT_EQ(m_hook.SetIECBT(), TRUE) << "error " << GetLastError();
}

std::intptr_t Ask(HostProcess& host, const std::wstring& text) {
    return host.Send(text).value_or(kNoReply);
}

bool AnswersProbe(HWND window) {
    DWORD_PTR reply = 0;
    if (!SendMessageTimeoutW(window, kProbeMessage, 0, 0, SMTO_ABORTIFHUNG, kEventTimeoutMs,
                             &reply)) {
        return false;
    }
    return reply == static_cast<DWORD_PTR>(kProbeReply);
}

bool FocusAndSettle(HostProcess& host, int index) {
    const bool takenBefore = AnswersProbe(host.browser(index));
    const std::size_t mark = host.Mark();
    if (host.SendFor(index, L"focus").value_or(kNoReply) != 1) {
        return false;
    }
    if (takenBefore || !AnswersProbe(host.browser(index))) {
        return true; // not newly taken: there is no attach to wait for
    }
    // The attach message reaches the host's own procedure once the library is done with it.
    return host
        .WaitForLine(KindFor("PRIVATE", index, WithNumber("msg", kAttachMessage)), kEventTimeoutMs,
                     mark)
        .has_value();
}

std::optional<bool> DebugPrivilegeEnabled(DWORD pid) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    UniqueHandle token;
    if (!process || !OpenProcessToken(process.get(), TOKEN_QUERY, token.put())) {
        return std::nullopt;
    }
    LUID debug = {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &debug) || size == 0 ||
        !GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) {
        return std::nullopt;
    }
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == debug.LowPart && entry.Luid.HighPart == debug.HighPart) {
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    return std::nullopt;
}

bool DisableOwnDebugPrivilege() {
    UniqueHandle token;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = 0;
    return OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put()) &&
           LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid) &&
           AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr,
                                 nullptr) &&
           DebugPrivilegeEnabled(GetCurrentProcessId()) == std::optional<bool>(false);
}

std::vector<int> Gesture::Levels() const {
    std::vector<int> levels;
    for (const LogLine& line : execwb) {
        if (line.Number("cmd") == kCmdZoom) {
            levels.push_back(static_cast<int>(line.Number("in_value").value_or(-1)));
        }
    }
    return levels;
}

int Gesture::RangeQueries() const {
    int count = 0;
    for (const LogLine& line : execwb) {
        count += line.Number("cmd") == kCmdZoomRange ? 1 : 0;
    }
    return count;
}

namespace {

// Waits for `first` and then for the Ctrl key's release (the last injected event, when Ctrl was
// used), then collects the browser calls made since `mark`.
Gesture Collect(HostProcess& host, int index, std::size_t mark,
                const std::function<bool(const LogLine&)>& first, bool withCtrl) {
    Gesture gesture;
    std::optional<LogLine> line = host.WaitForLine(first, kEventTimeoutMs, mark);
    if (!line) {
        return gesture;
    }
    gesture.message = *line;
    if (withCtrl && !host.WaitForLine(KindFor("KEYUP", index, WithNumber("vk", VK_CONTROL)),
                                      kEventTimeoutMs, mark)) {
        return gesture;
    }
    gesture.delivered = true;
    gesture.execwb = host.Lines("EXECWB", index, mark);
    return gesture;
}

} // namespace

Gesture PressKey(HostProcess& host, int index, WORD vk, bool withCtrl) {
    const std::size_t mark = host.Mark();
    if (!browserhost::InjectKey(vk, withCtrl)) {
        return Gesture();
    }
    return Collect(host, index, mark, KindFor("KEYUP", index, WithNumber("vk", vk)), withCtrl);
}

Gesture TurnWheel(HostProcess& host, int index, int distance, bool withCtrl) {
    const std::size_t mark = host.Mark();
    INPUT wheel = {};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = static_cast<DWORD>(distance);
    if (withCtrl ? !browserhost::InjectCtrlWheel(distance)
                 : SendInput(1, &wheel, sizeof wheel) != 1) {
        return Gesture();
    }
    return Collect(host, index, mark, KindFor("WHEEL", index), withCtrl);
}

Gesture TurnWheelSeries(HostProcess& host, int index, int distance, int count) {
    const std::size_t mark = host.Mark();
    if (!browserhost::InjectCtrlWheel(distance, count)) {
        return Gesture();
    }
    int seen = 0;
    return Collect(
        host, index, mark,
        [&, wheel = KindFor("WHEEL", index)](const LogLine& line) {
            return wheel(line) && ++seen == count;
        },
        true);
}

std::vector<int> ZoomLevels(HostProcess& host, int index, std::size_t from) {
    Gesture all;
    all.execwb = host.Lines("EXECWB", index, from);
    return all.Levels();
}

bool InjectKeyHalf(WORD vk, bool up) {
    INPUT input = test::KeyInput(vk, up);
    return SendInput(1, &input, sizeof input) == 1;
}

unsigned long long NowMs() {
    return GetTickCount64();
}

} // namespace lumivex::e2e
