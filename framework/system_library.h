// System DLLs loaded by name from the system folder only, so that no copy planted beside the
// program that hosts our code is picked up.
#pragma once

#include <windows.h>

namespace lumivex::fw {

// The library `fileName` (for example L"oleacc.dll") from the system folder, or null. The
// caller owns the reference.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

} // namespace lumivex::fw
