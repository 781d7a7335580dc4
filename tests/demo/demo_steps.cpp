#include "demo_steps.h"

#include "host_client.h"
#include "test_files.h"
#include "test_names.h"
#include "test_process.h"
#include "test_windows.h"

#include "support/owners.h"
#include "support/window_query.h"

#include <vector>

namespace lumivex::demo {

namespace {

// The main program's numbers, written out as the tests write them, so that a wrong value in the
// program shows in the pictures instead of passing for right.
constexpr UINT kTrayCallback = WM_USER + 110;
constexpr WPARAM kTrayIconId = 516;
constexpr WPARAM kAboutCommand = 57664; // "&About Lumivex..." of the tray menu
constexpr WPARAM kExitButton = 1254;    // "E&xit" on the main dialog
constexpr WPARAM kOpenCommand = 26027;  // "&Open Lumivex" of the tray menu
constexpr int kPageTab = 1248;
constexpr int kProgramsPage = 1;
constexpr wchar_t kMenuClassName[] = L"#32768";

std::wstring DataFile(const wchar_t* name) {
    const std::wstring folder = test::AppDataDir() + L"\\" + test::kDataFolderName;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

// The popup menu the dialog's process shows; null when none is open.
HWND OpenMenu(HWND dialog) {
    const std::vector<HWND> menus =
        test::VisibleTopLevelWindows(test::ProcessOf(dialog), kMenuClassName);
    return menus.empty() ? nullptr : menus.front();
}

bool SendCommand(HWND dialog, WPARAM command) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(dialog, WM_COMMAND, command, 0, SMTO_ABORTIFHUNG, 5000, &ignored) !=
           0;
}

} // namespace

HWND WaitForMainDialog(DWORD timeoutMs, bool visible) {
    HWND found = nullptr;
    const auto ready = [&] {
        found = FindWindowAnsweringQuery(RegisterWindowMessageW(test::kMainInstanceName));
        return found && (!visible || IsWindowVisible(found));
    };
    test::WaitUntil(ready, timeoutMs, 100);
    return ready() ? found : nullptr;
}

bool ShowAboutPage(HWND dialog) {
    return SendCommand(dialog, kAboutCommand);
}

bool ShowProgramsPage(HWND dialog, DWORD timeoutMs) {
    if (!SendCommand(dialog, kOpenCommand) ||
        !test::WaitUntil([dialog] { return IsWindowVisible(dialog) != FALSE; }, timeoutMs, 50)) {
        return false;
    }
    UniqueHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                     FALSE, test::ProcessOf(dialog)));
    return process &&
           test::ChooseTab(process.get(), GetDlgItem(dialog, kPageTab), kProgramsPage, timeoutMs);
}

bool PressExit(HWND dialog) {
    return SendCommand(dialog, kExitButton);
}

HWND OpenTrayMenu(HWND dialog, POINT at, DWORD timeoutMs) {
    if (!test::PlacePointer(at)) {
        return nullptr;
    }
    // Posted: the menu's own loop runs inside the dialog's handler until the menu closes.
    if (!PostMessageW(dialog, kTrayCallback, kTrayIconId, WM_RBUTTONUP)) {
        return nullptr;
    }
    HWND menu = nullptr;
    test::WaitUntil([&] { return (menu = OpenMenu(dialog)) != nullptr; }, timeoutMs, 50);
    return menu;
}

bool CloseMenu(HWND dialog, DWORD timeoutMs) {
    if (!OpenMenu(dialog)) {
        return true;
    }
    test::PressKey(VK_ESCAPE);
    return test::WaitUntil([&] { return OpenMenu(dialog) == nullptr; }, timeoutMs, 50);
}

bool WriteLanguage(unsigned languageId, std::wstring& file) {
    file = DataFile(test::kLanguageConfigName);
    return WritePrivateProfileStringW(L"Main", L"Language", std::to_wstring(languageId).c_str(),
                                      file.c_str()) != FALSE;
}

bool SuppressPrompt(const std::wstring& program, DWORD timeoutMs, std::wstring& file) {
    file = DataFile(L"browsers.ini");
    const auto written = [&] {
        return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    if (!test::WaitUntil(written, timeoutMs, 100)) {
        return false;
    }
    return WritePrivateProfileStringW(L"Browsers", program.c_str(), L"0", file.c_str()) != FALSE;
}

HWND WaitForHostFrame(DWORD timeoutMs) {
    HWND frame = nullptr;
    const auto answers = [&] {
        frame = FindWindowW(browserhost::kFrameClassName, nullptr);
        return frame && browserhost::SendHostCommand(frame, L"ping", 1000) == 1;
    };
    test::WaitUntil(answers, timeoutMs, 100);
    return answers() ? frame : nullptr;
}

bool FocusPage(HWND frame, DWORD timeoutMs) {
    // The 64-bit hook comes from a server that Lumivex starts without waiting: a focus change
    // before its hook is set goes unseen, so the focus moves again until the page is taken.
    const auto taken = [&] { return browserhost::SendHostCommand(frame, L"wndproc 0") == 0; };
    return test::WaitUntil(
        [&] {
            return browserhost::SendHostCommand(frame, L"focus 0") == 1 &&
                   test::WaitUntil(taken, 1000, 50);
        },
        timeoutMs, 100);
}

std::optional<long long> PageZoom(HWND frame) {
    std::optional<std::intptr_t> zoom = browserhost::SendHostCommand(frame, L"zoom 0");
    if (!zoom || *zoom == browserhost::kReplyNoBrowser || *zoom == browserhost::kReplyBadCommand) {
        return std::nullopt;
    }
    return *zoom;
}

bool ZoomIn(HWND frame, int steps, DWORD stepTimeoutMs, long long& zoom) {
    std::optional<long long> seen = PageZoom(frame);
    if (!seen) {
        return false;
    }
    zoom = *seen;
    for (int step = 0; step < steps; ++step) {
        const long long before = zoom;
        if (!browserhost::InjectKey(VK_OEM_PLUS, true)) {
            return false;
        }
        const bool grew = test::WaitUntil(
            [&] {
                seen = PageZoom(frame);
                if (seen) {
                    zoom = *seen;
                }
                return zoom > before;
            },
            stepTimeoutMs, 50);
        if (!grew) {
            return false;
        }
    }
    return true;
}

bool QuitHost(HWND frame) {
    return browserhost::SendHostCommand(frame, L"quit") == 1;
}

std::wstring DescribeRect(HWND window) {
    RECT r{};
    if (!GetWindowRect(window, &r)) {
        return L"";
    }
    return std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
           std::to_wstring(r.right - r.left) + L" " + std::to_wstring(r.bottom - r.top);
}

} // namespace lumivex::demo
