// Commands of the hook server and how its command line selects one. Window-free, so tests can
// drive the rules directly.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lumivex::server {

// The one string that names both the single-instance mutex and the registered message by which
// the resident server's window is recognised.
inline constexpr wchar_t kServerName[] = L"LUMIVEXSERVER-46E5F037-5C31-4fbf-8265-2F0AA7A4A547";

// A messenger hands its command to the resident server: wParam the code, lParam the parameter.
inline constexpr UINT WM_SERVER_COMMAND = WM_USER + 1010;

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

// The switches among `words` (word 0, the program, skipped): every word that starts with a slash
// or a hyphen-minus gives the rest of the word; other words are ignored.
std::vector<std::wstring> ParseSwitches(const std::vector<std::wstring>& words);

// The command the switches select: the first switch, compared without regard to case with
// "Enable", "Disable", "Exit" and "Inject"; for "Inject" the second switch as a signed decimal
// number. Later switches are ignored.
ServerCommand CommandFromSwitches(const std::vector<std::wstring>& switches);

// Leading decimal digits of `text` with an optional sign, as a 32-bit number (0 when there are
// none); values beyond the 32-bit range stop at its ends.
int LeadingDecimal(const std::wstring& text);

// The words of a command line, split by the shell's rules; empty when it cannot be split.
std::vector<std::wstring> CommandLineWords(const wchar_t* commandLine);

} // namespace lumivex::server
