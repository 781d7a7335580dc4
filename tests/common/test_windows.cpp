#include "test_windows.h"

#include "test_process.h"

#include "support/owners.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>

namespace lumivex::test {

namespace {

struct ClassSearch {
    DWORD pid;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectOfClass(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<ClassSearch*>(context);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if ((search->pid == 0 || ProcessOf(window) == search->pid) && IsWindowVisible(window) &&
        (!search->className || lstrcmpW(name, search->className) == 0)) {
        search->found.push_back(window);
    }
    return TRUE;
}

struct IdSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchesId(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<IdSearch*>(context);
    if (GetDlgCtrlID(window) == search->id) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

INPUT PointerInput(POINT point, DWORD buttons) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    return input;
}

INPUT KeyInput(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

bool TrayHoldsIcon(HWND owner, UINT id) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = id;
    data.uFlags = NIF_TIP;
    lstrcpyW(data.szTip, L"Lumivex");
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

std::vector<std::wstring> ShellBalloonTexts() {
    std::vector<std::wstring> texts;
    for (HWND tip : VisibleTopLevelWindows(0, TOOLTIPS_CLASSW)) {
        if (GetWindowLongW(tip, GWL_STYLE) & TTS_BALLOON) {
            texts.push_back(WindowText(tip));
        }
    }
    return texts;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::vector<HWND> VisibleTopLevelWindows(DWORD pid, const wchar_t* className) {
    ClassSearch search{pid, className, {}};
    EnumWindows(&CollectOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDescendant(HWND root, int id) {
    IdSearch search{id, nullptr};
    EnumChildWindows(root, &MatchesId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 5000, &length)) {
        return {};
    }
    return std::wstring(text, length);
}

std::vector<std::wstring> TabTitles(HANDLE process, HWND tab) {
    std::vector<std::wstring> titles;
    constexpr SIZE_T kTextOffset = 256;
    constexpr int kTextChars = 256;
    void* remote = VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    if (!remote) {
        return titles;
    }
    const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + kTextOffset);
        item.cchTextMax = kTextChars;
        wchar_t text[kTextChars] = {};
        if (!WriteProcessMemory(process, remote, &item, sizeof item, nullptr) ||
            !SendMessageW(tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(remote)) ||
            !ReadProcessMemory(process, item.pszText, text, sizeof text - sizeof(wchar_t),
                               nullptr)) {
            break;
        }
        titles.emplace_back(text);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return titles;
}

bool PlacePointer(POINT at) {
    INPUT move = PointerInput(at);
    if (SendInput(1, &move, sizeof move) != 1) {
        return false;
    }
    auto settled = [&](int slack) {
        int steady = 0;
        WaitUntil(
            [&] {
                POINT now{};
                const bool inPlace = GetCursorPos(&now) && std::abs(now.x - at.x) <= slack &&
                                     std::abs(now.y - at.y) <= slack;
                steady = inPlace ? steady + 1 : 0;
                return steady >= 5;
            },
            3000, 40);
        return steady >= 5;
    };
    return settled(2) && SetCursorPos(at.x, at.y) && settled(0);
}

bool ClickAt(POINT point) {
    INPUT inputs[] = {PointerInput(point, MOUSEEVENTF_LEFTDOWN),
                      PointerInput(point, MOUSEEVENTF_LEFTUP)};
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

bool ClickMiddle(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        return false;
    }
    return ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

bool PressKey(WORD vk, bool withAlt) {
    std::vector<INPUT> inputs;
    if (withAlt) {
        inputs.push_back(KeyInput(VK_MENU, false));
    }
    inputs.push_back(KeyInput(vk, false));
    inputs.push_back(KeyInput(vk, true));
    if (withAlt) {
        inputs.push_back(KeyInput(VK_MENU, true));
    }
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

int InkPixels(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        return -1;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    WindowDc screen(nullptr);
    UniqueCreatedDc memory(CreateCompatibleDC(screen.get()));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!screen || !memory || !bitmap || width <= 0 || height <= 0) {
        return -1;
    }
    {
        SelectScope selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    if (!GetDIBits(memory.get(), bitmap.get(), 0, height, pixels.data(), &info, DIB_RGB_COLORS)) {
        return -1;
    }
    // The background is the most common shade; ink is whatever stands out from it, smoothed
    // edges included, since an emboldened face is drawn mostly with those.
    std::vector<int> shades(pixels.size());
    int histogram[256] = {};
    for (size_t i = 0; i < pixels.size(); ++i) {
        const DWORD pixel = pixels[i];
        shades[i] = ((pixel & 0xFF) + ((pixel >> 8) & 0xFF) + ((pixel >> 16) & 0xFF)) / 3;
        ++histogram[shades[i]];
    }
    const int background =
        static_cast<int>(std::max_element(histogram, histogram + 256) - histogram);
    int ink = 0;
    for (int shade : shades) {
        ink += shade < background - 16 ? 1 : 0;
    }
    return ink;
}

VisibilityWatch::VisibilityWatch(HWND window) : m_window(window) {
    m_thread = std::thread([this] {
        while (!m_stop) {
            if (IsWindowVisible(m_window)) {
                m_seen = true;
            }
            Sleep(1);
        }
    });
}

bool VisibilityWatch::SeenVisible() {
    Stop();
    return m_seen;
}

void VisibilityWatch::Stop() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace lumivex::test
