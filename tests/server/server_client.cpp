#include "server_client.h"

#include "support/window_query.h"
#include "test_files.h"

namespace lumivex::servertest {

std::wstring ServerProgram() {
    return test::ProgramDir() + L"\\LumivexServer.exe";
}

std::wstring HookLibrary() {
    return test::ProgramDir() + L"\\LumivexDll64.dll";
}

HWND FindServerWindow() {
    return FindWindowAnsweringQuery(RegisterWindowMessageW(kServerName));
}

bool ServerMutexExists() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kServerName);
    if (!mutex) {
        return false;
    }
    CloseHandle(mutex);
    return true;
}

int VisibleWindowsOf(DWORD pid) {
    return static_cast<int>(test::VisibleTopLevelWindows(pid, nullptr).size());
}

bool ServerProcess::Start(const std::wstring& args, const std::wstring& program) {
    if (!m_child.Start(program, args)) {
        return false;
    }
    m_pid = m_child.pid();
    return true;
}

HWND ServerProcess::WaitForWindow(DWORD timeoutMs) {
    HWND found = nullptr;
    test::WaitUntil(
        [&] {
            HWND window = FindServerWindow();
            if (window && ProcessOf(window) == m_pid) {
                found = window;
            }
            return found != nullptr || !Running();
        },
        timeoutMs, 50);
    return found;
}

DWORD ServerProcess::Exit(DWORD timeoutMs) {
    if (Running()) {
        RunServer(L"/Exit");
    }
    return Wait(timeoutMs);
}

DWORD RunServer(const std::wstring& args, const std::wstring& program, DWORD timeoutMs) {
    return test::RunProgram(program, args, timeoutMs);
}

StandInResident::StandInResident(DWORD holdMs)
    : m_holdMs(holdMs), m_query(RegisterWindowMessageW(kServerName)),
      m_mutex(CreateMutexW(nullptr, FALSE, kServerName)),
      m_release(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    UniqueHandle made(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_query || !m_mutex || !m_release || !made) {
        return;
    }
    m_thread = std::thread([this, &made] {
        static const ATOM windowClass = [] {
            WNDCLASSW description = {};
            description.lpfnWndProc = &StandInResident::Proc;
            description.hInstance = GetModuleHandleW(nullptr);
            description.lpszClassName = L"LumivexServerStandIn";
            return RegisterClassW(&description);
        }();
        UniqueWindow window(CreateWindowExW(WS_EX_TOOLWINDOW, MAKEINTATOM(windowClass), L"",
                                            WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                            GetModuleHandleW(nullptr), nullptr));
        if (window) {
            SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            m_window = window.get();
        }
        SetEvent(made.get());
        if (!window) {
            return;
        }
        // Until the end, which the release event tells this thread along with every held command.
        const HANDLE release = m_release.get();
        while (MsgWaitForMultipleObjects(1, &release, FALSE, INFINITE, QS_ALLINPUT) ==
               WAIT_OBJECT_0 + 1) {
            test::PumpMessages();
        }
    });
    WaitForSingleObject(made.get(), INFINITE); // the thread sets it on every path
}

StandInResident::~StandInResident() {
    if (m_release) {
        SetEvent(m_release.get());
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::vector<std::pair<WPARAM, LPARAM>> StandInResident::Commands() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_commands;
}

LRESULT CALLBACK StandInResident::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<StandInResident*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == self->m_query) {
        return static_cast<LRESULT>(self->m_query);
    }
    if (self && message == kServerCommandMessage) {
        {
            std::lock_guard<std::mutex> hold(self->m_lock);
            self->m_commands.emplace_back(wParam, lParam);
        }
        WaitForSingleObject(self->m_release.get(), self->m_holdMs);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void QuietBrowserHost() {
    const std::wstring folder = test::AppDataDir() + L"\\Lumivex";
    CreateDirectoryW(folder.c_str(), nullptr);
    WritePrivateProfileStringW(L"Browsers", L"browser_host.exe", L"0",
                               (folder + L"\\browsers.ini").c_str());
}

} // namespace lumivex::servertest
