// Entry of the browser host: a stand-in for programs that show the embedded web browser, for
// tests and demos. Switches: see host_options.h; commands: see host_command.h.
#include "event_log.h"
#include "host_frame.h"
#include "host_library.h"
#include "host_options.h"
#include "host_state.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <future>
#include <thread>

using namespace lumivex::browserhost;

namespace {

constexpr UINT_PTR kExitTimer = 1;

std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> args;
    int count = 0;
    lumivex::UniqueLocal argv(
        reinterpret_cast<HLOCAL>(CommandLineToArgvW(GetCommandLineW(), &count)));
    auto* items = static_cast<wchar_t**>(static_cast<void*>(argv.get()));
    for (int i = 1; items && i < count; ++i) {
        args.emplace_back(items[i]);
    }
    return args;
}

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

void PumpUntilQuit() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The second interface thread: its own frame, browser window and message loop.
void SecondThread(std::promise<HWND> ready) {
    const HRESULT ole = OleInitialize(nullptr);
    FrameSetup setup;
    setup.title = Host().options.title + L" (second thread)";
    setup.browsers = {kSecondThreadBrowserIndex};
    setup.placement = {770, 10, 1270, 430};
    HWND frame = CreateHostFrame(setup);
    ready.set_value(frame);
    if (frame) {
        PumpUntilQuit();
    }
    if (SUCCEEDED(ole)) {
        OleUninitialize();
    }
}

int Fail(const char* text, int code) {
    HostLog().Write("ERROR", FieldList().Add("text", text).Add("error", GetLastError()));
    HostLog().Write("EXIT", FieldList().Add("code", code));
    return code;
}

void WriteReady(HWND mainFrame, HWND secondFrame, DWORD secondThread) {
    std::vector<std::pair<int, std::uint64_t>> windows;
    for (const BrowserRecord* record : Host().Browsers()) {
        windows.emplace_back(record->index, reinterpret_cast<std::uintptr_t>(record->window));
    }
    FieldList fields;
    fields.Add("frame", WindowText(mainFrame));
    fields.Add("second_frame", secondFrame ? WindowText(secondFrame) : std::string("none"));
    fields.Add("browsers", FormatWindowList(windows));
    fields.Add("thread", GetCurrentThreadId());
    fields.Add("second_thread", secondThread);
    fields.Add("bits", static_cast<int>(sizeof(void*) * 8));
    HostLog().Write("READY", fields);
}

// Runs "selftest N" through the control channel of the frame that owns browser N.
void SelfTestAtStart(int index) {
    const BrowserRecord* record = Host().FindBrowser(index);
    if (!record) {
        return;
    }
    const std::wstring text = L"selftest " + std::to_wstring(index);
    COPYDATASTRUCT copy = {kCommandCopyDataId, static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                           const_cast<wchar_t*>(text.data())};
    SendMessageW(record->frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
}

long ClientRefsLeft() {
    long total = 0;
    for (const BrowserRecord* record : Host().Browsers()) {
        total += record->objects->ClientRefs().total();
    }
    return total;
}

// A fault nobody below caught: logged, then the process ends with its code, as without a filter.
LONG WINAPI LogUnhandledFault(EXCEPTION_POINTERS* pointers) {
    HostLog().Write("FAULT", FieldList().AddHex("code", pointers->ExceptionRecord->ExceptionCode));
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    OptionsResult parsed = ParseHostOptions(Arguments());
    HostOptions& options = Host().options;
    options = parsed.options;
    if (!options.logPath.empty() && !HostLog().Open(options.logPath)) {
        OutputDebugStringW((L"browser_host: cannot open log " + options.logPath).c_str());
    }
    HostLog().Write("START", FieldList()
                                 .Add("exe", Utf8(ProgramPath()))
                                 .Add("cmdline", Utf8(GetCommandLineW()))
                                 .Add("bits", static_cast<int>(sizeof(void*) * 8)));
    if (!parsed.error.empty()) {
        HostLog().Write("ERROR", FieldList().Add("text", Utf8(parsed.error)));
        HostLog().Write("EXIT", FieldList().Add("code", 2));
        return 2;
    }
    SetUnhandledExceptionFilter(&LogUnhandledFault);
    const HRESULT ole = OleInitialize(nullptr);
    if (!RegisterFrameClasses(options.className)) {
        return Fail("window classes not registered", 3);
    }
    if (!options.loadPath.empty()) {
        LoadHostLibrary(options.loadPath); // a failure is logged; the host still runs
    }
    FrameSetup setup;
    setup.title = options.title;
    for (int i = 0; i < options.browsers; ++i) {
        setup.browsers.push_back(i);
    }
    setup.placement = {10, 10, 760, 580};
    HWND mainFrame = CreateHostFrame(setup);
    if (!mainFrame) {
        return Fail("main window not created", 3);
    }
    Host().mainFrame = mainFrame;

    std::thread second;
    HWND secondFrame = nullptr;
    DWORD secondThreadId = 0;
    if (options.secondThread) {
        std::promise<HWND> ready;
        std::future<HWND> frame = ready.get_future();
        second = std::thread(SecondThread, std::move(ready));
        secondFrame = frame.get();
        secondThreadId = secondFrame ? GetWindowThreadProcessId(secondFrame, nullptr) : 0;
        if (!secondFrame) {
            HostLog().Write("ERROR", FieldList().Add("text", "second thread's window not created"));
        }
    }
    WriteReady(mainFrame, secondFrame, secondThreadId);
    if (options.selfTestIndex >= 0) {
        SelfTestAtStart(options.selfTestIndex);
    }
    if (options.exitAfterMs > 0) {
        SetTimer(mainFrame, kExitTimer, static_cast<UINT>(options.exitAfterMs), nullptr);
    }

    PumpUntilQuit();

    if (second.joinable()) {
        if (IsWindow(secondFrame)) {
            PostMessageW(secondFrame, WM_CLOSE, 0, 0);
        }
        second.join();
    }
    FreeHostLibrary();
    HostLog().Write("EXIT", FieldList().Add("code", 0).Add("client_refs", ClientRefsLeft()));
    if (SUCCEEDED(ole)) {
        OleUninitialize();
    }
    return 0;
}
