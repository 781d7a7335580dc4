// Commands of the hook server and how its command line selects one. Window-free, so tests can
// drive the rules directly.
#pragma once

#include "support/lumivex_names.h"

#include <windows.h>

#include <string>
#include <vector>

namespace lumivex::server {

// A messenger hands its command to the resident server: wParam the code, lParam the parameter.
inline constexpr UINT WM_SERVER_COMMAND = kServerCommandMessage;
static_assert(WM_SERVER_COMMAND == WM_USER + 1010);

// Command codes, carried as wParam of WM_SERVER_COMMAND.
inline constexpr UINT_PTR SERVER_NONE = 0;
inline constexpr UINT_PTR SERVER_ENABLE = 1;
inline constexpr UINT_PTR SERVER_DISABLE = 2;
inline constexpr UINT_PTR SERVER_INJECT = 3;
inline constexpr UINT_PTR SERVER_EXIT = 4;

struct ServerCommand {
    UINT_PTR code = SERVER_NONE;
    INT_PTR param = 0;
};

// The command the switches (ParseSwitches) select: the first switch, compared without regard to
// case with "Enable", "Disable", "Exit" and "Inject"; for "Inject" the second switch as a signed
// decimal number. Later switches are ignored.
ServerCommand CommandFromSwitches(const std::vector<std::wstring>& switches);

// Leading decimal digits of `text` with an optional sign, as a 32-bit number (0 when there are
// none); values beyond the 32-bit range stop at its ends.
int LeadingDecimal(const std::wstring& text);

} // namespace lumivex::server
