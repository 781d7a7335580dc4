// Exports of the test library guarded_library.cpp.
#pragma once

extern "C" {
__declspec(dllimport) int LibraryHasLogWriter();
__declspec(dllimport) int GuardedFaultInLibrary();
__declspec(dllimport) int GuardedCallFromLibrary(int (*callback)());
__declspec(dllimport) int UnguardedFaultInLibrary();
}
