// The steps of the demo and of the screenshots, each one thing a person would do to Lumivex or
// to a browser program: find the main dialog, open its About page or tray menu, set the per-user
// language or prompt choice, focus a page and zoom it with the keyboard. The scripts take the
// pictures between the steps.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace lumivex::demo {

// Lumivex's main dialog, found by its instance query as a second instance finds it (and, when
// asked, once it is visible); null when none answered so within `timeoutMs`.
HWND WaitForMainDialog(DWORD timeoutMs, bool visible);

// The About page, as the tray menu's "&About Lumivex..." shows it.
bool ShowAboutPage(HWND dialog);

// The dialog in front, as the tray menu's "&Open Lumivex" shows it, with the programs page
// chosen by a click on its tab.
bool ShowProgramsPage(HWND dialog, DWORD timeoutMs);

// The dialog's "E&xit" button: the program saves its options and ends.
bool PressExit(HWND dialog);

// The tray menu, opened as a right click on the icon opens it, with the pointer at `at`: the
// visible menu window of the dialog's process, or null when none appeared within `timeoutMs`.
HWND OpenTrayMenu(HWND dialog, POINT at, DWORD timeoutMs);

// Closes the menu the dialog's process shows with Escape, as a person would; true once none is
// open.
bool CloseMenu(HWND dialog, DWORD timeoutMs);

// The per-user Config.ini chooses the language of Lumivex's next start.
bool WriteLanguage(unsigned languageId, std::wstring& file);

// Lets `program` through without the first-use prompt: the "Browsers" entry that the prompt's
// check box would write. Lumivex writes its defaults only when browsers.ini is missing, so this
// waits until a first run has written it.
bool SuppressPrompt(const std::wstring& program, DWORD timeoutMs, std::wstring& file);

// The browser host's frame, waiting up to `timeoutMs` until it answers commands.
HWND WaitForHostFrame(DWORD timeoutMs);

// Moves the keyboard focus onto page 0, again and again, until Lumivex's hook has taken the page
// over (its window procedure is no longer the host's own) or `timeoutMs` passed.
bool FocusPage(HWND frame, DWORD timeoutMs);

// The zoom level page 0 shows; nothing when the host did not answer.
std::optional<long long> PageZoom(HWND frame);

// Ctrl and "+" pressed `steps` times through SendInput, each time waiting until the page's zoom
// grew; false when a step did not arrive within `stepTimeoutMs`. `zoom` holds the level last seen.
bool ZoomIn(HWND frame, int steps, DWORD stepTimeoutMs, long long& zoom);

// Ends the browser host.
bool QuitHost(HWND frame);

// A window's place on the screen as "left top width height".
std::wstring DescribeRect(HWND window);

} // namespace lumivex::demo
