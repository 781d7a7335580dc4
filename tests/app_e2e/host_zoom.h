// A user's view of zooming: a browser host is zoomed by Ctrl and "+" and by Ctrl and the wheel
// while Lumivex runs, and left alone when it does not. Shared by the program's own tests and the
// tests of the installed and portable copies.
#pragma once

#include "host_client.h"

#include <string>
#include <vector>

namespace lumivex::appe2e {

// Whether the hook library has taken the browser window (it answers the library's probe).
bool Subclassed(HWND browser);

// Focus changes onto browser 0 until the hook has taken it (the 64-bit hook comes from a server
// started without waiting, so it may be there a little after the program's dialog).
bool FocusUntilTaken(browserhost::HostProcess& host);

// Ctrl and "+", then Ctrl and the wheel up, on browser 0 of a host that has the focus: the zoom
// levels its browser was given.
std::vector<long long> ZoomInByKeyAndWheel(browserhost::HostProcess& host);

// Ctrl and "+" on browser 0 of a host that has the focus; false when the key did not reach it.
bool PressCtrlPlus(browserhost::HostProcess& host);

// The zoom levels browser 0 of the host was given since log line `from`.
std::vector<long long> ZoomLevelsGiven(browserhost::HostProcess& host, size_t from = 0);

// A host of `program` started now is zoomed to 120 and 140 %.
void ExpectZooms(const std::wstring& program);
// A host of `program` started now is left alone: its browser keeps the host's own procedure.
void ExpectLeftAlone(const std::wstring& program);

} // namespace lumivex::appe2e
