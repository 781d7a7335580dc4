// The per-user data folder that the main program, the server and the hook library share:
// "<roaming application data>\Lumivex".
#pragma once

#include <string>

namespace lumivex {

// Where the user's roaming application-data folder comes from: true with the folder, false when
// there is none. Replaceable so tests can place the per-user folder.
using AppDataLookup = bool (*)(std::wstring& folder);

// The shell's answer (CSIDL_APPDATA, created when missing).
bool ShellAppDataFolder(std::wstring& folder);

// "<app data>\Lumivex", created (one level) when it does not exist; a failure to create it is
// left to the files' own reads and writes. `fallback` when `lookup` finds no application-data
// folder, or an empty one. A null `lookup` asks the shell.
std::wstring UserDataFolder(const std::wstring& fallback, AppDataLookup lookup = nullptr);

} // namespace lumivex
