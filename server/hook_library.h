// The 64-bit hook library whose system-wide hook the server holds.
#pragma once

#include <windows.h>

#include <string>

namespace lumivex::server {

inline constexpr wchar_t kHookLibraryName[] = L"LumivexDll64.dll";

// The library beside this program: its drive and folder, then kHookLibraryName. Empty when the
// folder cannot be worked out, so the library is never looked for by its bare name.
std::wstring HookLibraryPath();

// Loads the library by its full path unless it is loaded already (a failed load is tried again
// next time) and calls its SetIECBT: that result, or FALSE when the library or the export is
// missing.
BOOL InstallHook();

// Calls ClearIECBT when the library is loaded. Always TRUE; the library stays loaded.
BOOL RemoveHook();

} // namespace lumivex::server
