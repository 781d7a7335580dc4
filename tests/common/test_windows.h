// Looking at and handling other processes' windows from tests, as a user or a second program
// would: finding them, reading their texts, clicking them and seeing what they draw.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace lumivex::test {

// One SendInput event: the pointer moved to a screen point (absolute), with `buttons`
// (MOUSEEVENTF_LEFTDOWN and the like) in the same event.
INPUT PointerInput(POINT point, DWORD buttons = 0);
// One SendInput event: a key down or up, with its scan code.
INPUT KeyInput(WORD vk, bool up);

DWORD ProcessOf(HWND window);

// Whether the tray holds the icon (owner, id): the tray accepts a change of the tip only for an
// icon it holds (the tip set is "Lumivex", the one our icon has anyway).
bool TrayHoldsIcon(HWND owner, UINT id);

// The texts of the balloons the shell shows at tray icons now: its visible balloon tooltips,
// of whichever process. (The shell's title of a balloon cannot be read from outside.)
std::vector<std::wstring> ShellBalloonTexts();

// Visible top-level windows of `pid` (0: of any process) with the class `className` ("#32768":
// popup menus; null: any class).
std::vector<HWND> VisibleTopLevelWindows(DWORD pid, const wchar_t* className);

// The first window below `root`, at any depth, with control id `id`; null if none.
HWND FindDescendant(HWND root, int id);

// The window's text, asked with WM_GETTEXT (works across processes); empty on failure.
std::wstring WindowText(HWND window);

// The titles of a tab control's items. The control lives in process `process` (opened with
// PROCESS_VM_OPERATION, PROCESS_VM_READ and PROCESS_VM_WRITE): its item record is filled there.
std::vector<std::wstring> TabTitles(HANDLE process, HWND tab);
// A tab's rectangle on the screen; empty when it cannot be asked.
RECT TabItemRect(HANDLE process, HWND tab, int index);
// Clicks tab `index` (its window on screen) and waits until the control has it chosen.
bool ChooseTab(HANDLE process, HWND tab, int index, DWORD timeoutMs = 5000);

// One item of a list-view control in report view: the texts of its first `columns` columns and
// its check box.
struct ListRow {
    std::vector<std::wstring> cells;
    bool checked = false;
};
// The items of a list-view control of `process` (opened as for TabTitles).
std::vector<ListRow> ListRows(HANDLE process, HWND list, int columns);
// An item's text part (its first column's label) on the screen; empty when it cannot be asked.
RECT ListItemRect(HANDLE process, HWND list, int item);

// Puts the pointer on a screen point, where GetCursorPos of any process reads it, and waits until
// it stays there. Under Wine a pointer event of earlier input that the display reports late can
// still move a cursor set with SetCursorPos alone, so the pointer first goes there through the
// display (which may round by a pixel) and must settle before it is put exactly.
bool PlacePointer(POINT at);

// A left click at a screen point. Move and buttons travel in one batch of absolute events, since
// the display's pointer may follow a separate move late and the click land at the old place.
bool ClickAt(POINT point);
// Two left clicks at a screen point in one batch, as a double click.
bool DoubleClickAt(POINT point);
// A left click at the middle of the window's rectangle.
bool ClickMiddle(HWND window);
// A key pressed and released (with Alt held, if asked), by SendInput.
bool PressKey(WORD vk, bool withAlt = false);
// Digits and letters typed as their keys, by SendInput.
bool TypeKeys(const std::wstring& digitsAndCapitals);

// Pixels inside the window's rectangle, as the screen shows it, that stand out from its
// background: how much ink a label draws, for comparing two labels with the same text.
int InkPixels(HWND window);

// Watches from a thread of its own whether a window becomes visible, however briefly, from its
// construction until SeenVisible.
class VisibilityWatch {
public:
    explicit VisibilityWatch(HWND window);
    ~VisibilityWatch() { Stop(); }
    VisibilityWatch(const VisibilityWatch&) = delete;
    VisibilityWatch& operator=(const VisibilityWatch&) = delete;

    // Ends the watch: whether the window was visible at any look.
    bool SeenVisible();

private:
    void Stop();

    HWND m_window;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_seen{false};
    std::thread m_thread;
};

} // namespace lumivex::test
