// The library the host loads itself (--load, "load"), whose Initialize it calls on request.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace lumivex::browserhost {

bool LoadHostLibrary(const std::wstring& path); // replaces the one loaded before
bool FreeHostLibrary();                         // false when nothing was loaded
bool LastLibraryMapped(); // whether the library loaded last is in the process (still, or again)
// Initialize(window, a, p, b) of the loaded library; kReplyNoLibrary or kReplyNoExport when
// there is none.
std::intptr_t CallInitialize(HWND window, int a, void* p, int b);

} // namespace lumivex::browserhost
