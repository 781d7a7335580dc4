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

namespace {

// A page of memory in another process, for the controls' messages that fill records there.
class RemotePage {
public:
    explicit RemotePage(HANDLE process)
        : m_process(process),
          m_base(VirtualAllocEx(process, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemotePage() {
        if (m_base) {
            VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
        }
    }
    RemotePage(const RemotePage&) = delete;
    RemotePage& operator=(const RemotePage&) = delete;

    static constexpr SIZE_T kSize = 4096;
    explicit operator bool() const { return m_base != nullptr; }
    LPARAM At(SIZE_T offset) const { return reinterpret_cast<LPARAM>(Address(offset)); }
    void* Address(SIZE_T offset) const { return static_cast<char*>(m_base) + offset; }
    template <typename T> bool Put(const T& value, SIZE_T offset = 0) const {
        return WriteProcessMemory(m_process, Address(offset), &value, sizeof value, nullptr);
    }
    template <typename T> bool Get(T& value, SIZE_T offset = 0) const {
        return ReadProcessMemory(m_process, Address(offset), &value, sizeof value, nullptr);
    }

private:
    HANDLE m_process;
    void* m_base;
};

constexpr SIZE_T kRemoteTextOffset = 256;
constexpr int kRemoteTextChars = 256;

// Fills `rect` (client coordinates of `control`) by a message that takes it in lParam, with the
// record's first fields set as `rect` holds them on entry; then maps it to the screen.
RECT AskScreenRect(HANDLE process, HWND control, UINT message, WPARAM wParam, RECT rect) {
    RemotePage page(process);
    if (!page || !page.Put(rect) || !SendMessageW(control, message, wParam, page.At(0)) ||
        !page.Get(rect)) {
        return RECT{};
    }
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

std::vector<std::wstring> TabTitles(HANDLE process, HWND tab) {
    std::vector<std::wstring> titles;
    RemotePage page(process);
    if (!page) {
        return titles;
    }
    const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = static_cast<wchar_t*>(page.Address(kRemoteTextOffset));
        item.cchTextMax = kRemoteTextChars;
        wchar_t text[kRemoteTextChars + 1] = {};
        if (!page.Put(item) || !SendMessageW(tab, TCM_GETITEMW, i, page.At(0)) ||
            !ReadProcessMemory(process, item.pszText, text, kRemoteTextChars * sizeof(wchar_t),
                               nullptr)) {
            break;
        }
        titles.emplace_back(text);
    }
    return titles;
}

RECT TabItemRect(HANDLE process, HWND tab, int index) {
    return AskScreenRect(process, tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), RECT{});
}

bool ChooseTab(HANDLE process, HWND tab, int index, DWORD timeoutMs) {
    const RECT item = TabItemRect(process, tab, index);
    return item.right > item.left &&
           ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2}) &&
           WaitUntil([&] { return SendMessageW(tab, TCM_GETCURSEL, 0, 0) == index; }, timeoutMs,
                     20);
}

std::vector<ListRow> ListRows(HANDLE process, HWND list, int columns) {
    std::vector<ListRow> rows;
    RemotePage page(process);
    if (!page) {
        return rows;
    }
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ListRow row;
        const auto state =
            static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK));
        row.checked = (state >> 12) == 2;
        for (int column = 0; column < columns; ++column) {
            LVITEMW cell = {};
            cell.iSubItem = column;
            cell.pszText = static_cast<wchar_t*>(page.Address(kRemoteTextOffset));
            cell.cchTextMax = kRemoteTextChars;
            wchar_t text[kRemoteTextChars + 1] = {};
            if (!page.Put(cell)) {
                return rows;
            }
            SendMessageW(list, LVM_GETITEMTEXTW, i, page.At(0));
            if (!ReadProcessMemory(process, cell.pszText, text, kRemoteTextChars * sizeof(wchar_t),
                                   nullptr)) {
                return rows;
            }
            row.cells.emplace_back(text);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

RECT ListItemRect(HANDLE process, HWND list, int item) {
    RECT ask{};
    ask.left = LVIR_LABEL;
    return AskScreenRect(process, list, LVM_GETITEMRECT, static_cast<WPARAM>(item), ask);
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

bool DoubleClickAt(POINT point) {
    INPUT inputs[] = {
        PointerInput(point, MOUSEEVENTF_LEFTDOWN), PointerInput(point, MOUSEEVENTF_LEFTUP),
        PointerInput(point, MOUSEEVENTF_LEFTDOWN), PointerInput(point, MOUSEEVENTF_LEFTUP)};
    return SendInput(4, inputs, sizeof(INPUT)) == 4;
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

bool TypeKeys(const std::wstring& digitsAndCapitals) {
    for (const wchar_t key : digitsAndCapitals) {
        if (!PressKey(static_cast<WORD>(key))) {
            return false;
        }
    }
    return true;
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
