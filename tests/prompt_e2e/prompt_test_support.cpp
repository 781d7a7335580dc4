#include "prompt_test_support.h"

#include "test_process.h"

#include <cstdio>

namespace prompttest {

using lumivex::test::AppDataDir;
using lumivex::test::ProgramDir;
using lumivex::test::WaitUntil;

std::wstring HookLibraryPath() {
    return ProgramDir() + (sizeof(void*) == 8 ? L"\\LumivexDll64.dll" : L"\\LumivexDll.dll");
}

GlobalHook::GlobalHook() {
    m_library = LoadLibraryW(HookLibraryPath().c_str());
    if (!m_library) {
        return;
    }
    using HookFn = BOOL(WINAPI*)();
    auto set =
        reinterpret_cast<HookFn>(reinterpret_cast<void*>(GetProcAddress(m_library, "SetIECBT")));
    m_installed = set && set();
}

GlobalHook::~GlobalHook() {
    if (!m_library) {
        return;
    }
    using HookFn = BOOL(WINAPI*)();
    if (auto clear = reinterpret_cast<HookFn>(
            reinterpret_cast<void*>(GetProcAddress(m_library, "ClearIECBT")))) {
        clear();
    }
    FreeLibrary(m_library);
}

HostCopy::HostCopy(const std::wstring& fileName) : m_path(m_dir / fileName) {
    CopyFileW(lumivex::browserhost::DefaultHostProgram().c_str(), m_path.c_str(), FALSE);
}

namespace {

std::wstring BrowsersIni() {
    return AppDataDir() + L"\\Lumivex\\browsers.ini";
}

struct ThreadSearch {
    HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<ThreadSearch*>(context)->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::optional<std::wstring> BrowsersValue(const std::wstring& exeName) {
    wchar_t value[64] = {};
    const wchar_t* absent = L"<absent>";
    GetPrivateProfileStringW(L"Browsers", exeName.c_str(), absent, value, 64,
                             BrowsersIni().c_str());
    if (wcscmp(value, absent) == 0) {
        return std::nullopt;
    }
    return std::wstring(value);
}

void WriteBrowsersValue(const std::wstring& exeName, const std::wstring& value) {
    CreateDirectoryW((AppDataDir() + L"\\Lumivex").c_str(), nullptr);
    WritePrivateProfileStringW(L"Browsers", exeName.c_str(), value.c_str(), BrowsersIni().c_str());
}

HWND FindPrompt(const HostProcess& host) {
    ThreadSearch search;
    const DWORD thread = GetWindowThreadProcessId(host.frame(), nullptr);
    if (thread != 0) {
        EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

HWND WaitForPrompt(const HostProcess& host, DWORD timeoutMs) {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindPrompt(host)) != nullptr; }, timeoutMs);
    return dialog;
}

bool WaitForClosed(HWND dialog, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(dialog); }, timeoutMs);
}

bool NoPromptAfterAttach(HostProcess& host, int index, size_t from) {
    using lumivex::browserhost::Is;
    if (!host.WaitForLine([&](const LogLine& line) { return Is(line, "GETOBJECT", index); }, 10000,
                          from)) {
        return false; // never attached: proves nothing
    }
    // The prompt would follow the document's answer at once, on the same thread.
    return WaitForPrompt(host, 1500) == nullptr;
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        &length);
    return std::wstring(text, length < 1024 ? length : 0);
}

std::optional<LogLine> WaitForFlashTick(HostProcess& host, int index, size_t from,
                                        DWORD timeoutMs) {
    using lumivex::browserhost::Is;
    return host.WaitForLine(
        [&](const LogLine& line) {
            return Is(line, "TIMER", index) &&
                   line.Number("id") == static_cast<long long>(kFlashTimer);
        },
        timeoutMs, from);
}

COLORREF ScreenPixel(POINT point) {
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

COLORREF FramedPixel(COLORREF under) {
    return ~(RGB(255, 0, 0) ^ under) & 0xFFFFFF;
}

std::string ColourText(COLORREF colour) {
    char text[32];
    std::snprintf(text, sizeof text, "RGB(%u,%u,%u)", GetRValue(colour), GetGValue(colour),
                  GetBValue(colour));
    return text;
}

} // namespace prompttest
