// The 64-bit hook library whose system-wide hook the server holds: LumivexDll64.dll beside the
// server's own program file.
#pragma once

#include <windows.h>

namespace lumivex::server {

// Loads the library by its full path unless it is loaded already (a failed load is tried again
// next time) and calls its SetIECBT: that result, or FALSE when the library or the export is
// missing, or the export faulted.
BOOL InstallHook();

// Calls ClearIECBT when the library is loaded. Always TRUE; the library stays loaded.
BOOL RemoveHook();

} // namespace lumivex::server
