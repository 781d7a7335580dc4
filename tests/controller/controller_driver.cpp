// Runs the process's hook controller through the steps named on its command line, so tests can
// put it in a program folder of their own choosing with stand-ins beside it. Each step appends
// "step=result" to "report.txt" beside this program at once, so a test can follow a run that
// is still going.
//
// Steps: no-appdata, options, init, enable, disable, exit, install, remove, wow64, uninit, paths,
// mark:TEXT, await:PATH (waits until the file exists), server-lines:N (waits until the stand-in
// server recorded N starts), server-count (the starts it has recorded so far), ticks (the
// milliseconds since the system started).
#include "controller/core_assist.h"

#include <windows.h>

#include <string>

using lumivex::CCoreAssist;
using lumivex::GetCoreAssist;

namespace {

// This program's folder, with a trailing backslash, as a "\\?\" path so files in deep folders
// can be reached.
std::wstring g_folder;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

void Report(const std::wstring& step, const std::wstring& result) {
    const std::string line = Utf8(step) + "=" + Utf8(result) + "\n";
    HANDLE file = CreateFileW((g_folder + L"report.txt").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
}

void Report(const std::wstring& step, long long result) {
    Report(step, std::to_wstring(result));
}

// Waits, handling this thread's messages (the hook's thread stays responsive), up to a minute.
template <typename Condition> bool Await(Condition condition) {
    const ULONGLONG end = GetTickCount64() + 60000;
    while (!condition()) {
        if (GetTickCount64() > end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

int LinesIn(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int lines = 0;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) {
        for (DWORD i = 0; i < got; ++i) {
            lines += buffer[i] == '\n';
        }
    }
    CloseHandle(file);
    return lines;
}

bool NoAppData(std::wstring&) {
    return false;
}

lumivex::OptionLoad RecordLoad(CCoreAssist& controller) {
    Report(L"load", controller.m_strDataDir);
    return lumivex::OptionLoad::kLoaded;
}

void RecordSave(CCoreAssist& controller) {
    Report(L"save", controller.m_strDataDir);
}

bool Step(const std::wstring& step) {
    CCoreAssist& controller = GetCoreAssist();
    if (step == L"no-appdata") {
        controller.SetAppDataLookup(&NoAppData);
        Report(step, L"");
    } else if (step == L"options") {
        controller.SetOptionFileCalls({&RecordLoad, &RecordSave});
        Report(step, L"");
    } else if (step == L"init") {
        Report(step, controller.bInitialize());
    } else if (step == L"enable") {
        controller.EnableZoom();
        Report(step, L"");
    } else if (step == L"disable") {
        Report(step, controller.DisableZoom(false));
    } else if (step == L"exit") {
        Report(step, controller.DisableZoom(true));
    } else if (step == L"install") {
        Report(step, controller.InstallHook());
    } else if (step == L"remove") {
        Report(step, controller.RemoveHook());
    } else if (step == L"wow64") {
        Report(step, controller.IsWow64());
    } else if (step == L"uninit") {
        Report(step, controller.bUninitialize());
    } else if (step == L"paths") {
        Report(L"AppDir", controller.m_strAppDir);
        Report(L"DataDir", controller.m_strDataDir);
        Report(L"DllPath", controller.m_strDllPath);
        Report(L"BrowsersIni", controller.m_strBrowsersIni);
    } else if (step.rfind(L"mark:", 0) == 0) {
        Report(L"mark", step.substr(5));
    } else if (step.rfind(L"await:", 0) == 0) {
        const std::wstring path = step.substr(6);
        Report(L"await",
               Await([&] { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; })
                   ? L"ok"
                   : L"timeout");
    } else if (step == L"ticks") {
        Report(step, static_cast<long long>(GetTickCount64()));
    } else if (step == L"server-count") {
        Report(step, LinesIn(g_folder + L"server_calls.log"));
    } else if (step.rfind(L"server-lines:", 0) == 0) {
        const int wanted = std::stoi(step.substr(13));
        const std::wstring log = g_folder + L"server_calls.log";
        Report(L"server-lines", Await([&] { return LinesIn(log) >= wanted; }) ? L"ok" : L"timeout");
    } else {
        Report(L"unknown", step);
        return false;
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // Tests also place this program in folders deeper than MAX_PATH allows.
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    g_folder = L"\\\\?\\" + self;
    g_folder.erase(g_folder.find_last_of(L'\\') + 1);
    for (int i = 1; i < argc; ++i) {
        if (!Step(argv[i])) {
            return 2;
        }
    }
    Report(L"end", L"");
    return 0;
}
