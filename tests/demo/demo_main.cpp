// The demo driver: runs the steps its command line names against a running Lumivex and browser
// host, printing one line per step for the scripts, and ends with 1 at the first step that
// failed.
#include "demo_commands.h"
#include "demo_steps.h"

#include <windows.h>

#include <cstdio>

using namespace lumivex::demo;

namespace {

constexpr DWORD kStepTimeoutMs = 10000;

// Where the tray lies: the lower right corner of the screen.
POINT TrayCorner() {
    return POINT{GetSystemMetrics(SM_CXSCREEN) - 40, GetSystemMetrics(SM_CYSCREEN) - 12};
}

struct Session {
    HWND dialog = nullptr;
    HWND frame = nullptr;
};

void Say(const std::wstring& line) {
    std::fwprintf(stdout, L"%ls\n", line.c_str());
    std::fflush(stdout);
}

bool Fail(const std::wstring& why) {
    std::fwprintf(stderr, L"lumivex_demo: %ls\n", why.c_str());
    std::fflush(stderr);
    return false;
}

HWND Dialog(Session& session) {
    if (!session.dialog || !IsWindow(session.dialog)) {
        session.dialog = WaitForMainDialog(kStepTimeoutMs, false);
    }
    return session.dialog;
}

HWND Frame(Session& session) {
    if (!session.frame || !IsWindow(session.frame)) {
        session.frame = WaitForHostFrame(kStepTimeoutMs);
    }
    return session.frame;
}

bool Run(const Command& command, Session& session) {
    const DWORD ms = static_cast<DWORD>(command.number);
    std::wstring file;
    long long zoom = 0;
    switch (command.step) {
    case Step::WaitMain:
    case Step::WaitShown:
        session.dialog = WaitForMainDialog(ms, command.step == Step::WaitShown);
        if (!session.dialog) {
            return Fail(L"no Lumivex main dialog answered within " + std::to_wstring(ms) + L" ms");
        }
        Say(L"main " + DescribeRect(session.dialog) +
            (IsWindowVisible(session.dialog) ? L" visible" : L" hidden"));
        return true;
    case Step::About:
        if (!Dialog(session) || !ShowAboutPage(session.dialog)) {
            return Fail(L"the About page could not be shown");
        }
        Say(L"about " + DescribeRect(session.dialog));
        return true;
    case Step::Programs:
        if (!Dialog(session) || !ShowProgramsPage(session.dialog, kStepTimeoutMs)) {
            return Fail(L"the programs page could not be shown");
        }
        Say(L"programs " + DescribeRect(session.dialog));
        return true;
    case Step::TrayMenu:
        if (HWND menu = Dialog(session) ? OpenTrayMenu(session.dialog, TrayCorner(), kStepTimeoutMs)
                                        : nullptr) {
            Say(L"menu " + DescribeRect(menu));
            return true;
        }
        return Fail(L"no tray menu appeared");
    case Step::CloseMenu:
        if (!Dialog(session) || !CloseMenu(session.dialog, kStepTimeoutMs)) {
            return Fail(L"the menu stayed open");
        }
        Say(L"menu closed");
        return true;
    case Step::Language:
        if (!WriteLanguage(static_cast<unsigned>(command.number), file)) {
            return Fail(L"could not write the language to " + file);
        }
        Say(L"language " + std::to_wstring(command.number) + L" in " + file);
        return true;
    case Step::NoPrompt:
        if (!SuppressPrompt(command.text, kStepTimeoutMs, file)) {
            return Fail(L"no browsers.ini to let " + command.text + L" through: " + file);
        }
        Say(L"no prompt for " + command.text + L" in " + file);
        return true;
    case Step::WaitHost:
        session.frame = WaitForHostFrame(ms);
        if (!session.frame) {
            return Fail(L"no browser host answered within " + std::to_wstring(ms) + L" ms");
        }
        Say(L"host " + DescribeRect(session.frame));
        return true;
    case Step::FocusPage:
        if (!Frame(session) || !FocusPage(session.frame, kStepTimeoutMs)) {
            return Fail(L"the page got no focus, or Lumivex did not take it over");
        }
        Say(L"page focused and taken over");
        return true;
    case Step::ZoomIn:
        if (!Frame(session)) {
            return Fail(L"no browser host");
        }
        if (!ZoomIn(session.frame, static_cast<int>(command.number), kStepTimeoutMs, zoom)) {
            return Fail(L"the zoom stopped at " + std::to_wstring(zoom));
        }
        Say(L"zoom " + std::to_wstring(zoom));
        return true;
    case Step::Zoom:
        if (std::optional<long long> level =
                Frame(session) ? PageZoom(session.frame) : std::nullopt) {
            Say(L"zoom " + std::to_wstring(*level));
            return true;
        }
        return Fail(L"the host did not tell its zoom");
    case Step::Exit:
        if (!Dialog(session) || !PressExit(session.dialog)) {
            return Fail(L"the E&xit button could not be pressed");
        }
        Say(L"exit pressed");
        return true;
    case Step::QuitHost:
        if (!Frame(session) || !QuitHost(session.frame)) {
            return Fail(L"the host did not take the quit");
        }
        Say(L"host quit");
        return true;
    }
    return Fail(L"unknown step");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> words(argv + 1, argv + argc);
    std::wstring error;
    std::optional<std::vector<Command>> commands = ParseCommands(words, error);
    if (!commands) {
        Fail(error);
        return 2;
    }
    Session session;
    for (const Command& command : *commands) {
        if (!Run(command, session)) {
            return 1;
        }
    }
    return 0;
}
