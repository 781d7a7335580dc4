// The exported interface of the hook library and its CBT hook procedure.
#pragma once

#include <windows.h>

extern "C" {
// Installs the system-wide CBT hook once; non-zero when this process holds it afterwards.
BOOL WINAPI SetIECBT();
// Removes the hook this process holds; 0 when there was none.
BOOL WINAPI ClearIECBT();
// Subclasses a window of the calling process directly; 0 when it belongs to another process.
int WINAPI Initialize(HWND hWnd, int param1, void* param, int param2);
}

namespace lumivex::hook {

LRESULT CALLBACK CBTHookProc(int nCode, WPARAM wParam, LPARAM lParam);

} // namespace lumivex::hook
