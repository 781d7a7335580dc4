// The browser document window: the host's stand-in for the embedded browser's
// "Internet Explorer_Server" window.
#pragma once

#include "host_state.h"

#include <windows.h>

#include <string>

namespace lumivex::browserhost {

bool RegisterBrowserClass(const std::wstring& className);
// A child of `parent` for `record`, which must live as long as the window.
HWND CreateBrowserWindow(HWND parent, BrowserRecord& record, const std::wstring& className);
LRESULT CALLBACK BrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Ends every loop that "modal" entered, on any thread.
void EndModalLoops();
// The registered "WM_HTML_GETOBJECT" that asks a browser window for its document.
UINT GetObjectMessage();

} // namespace lumivex::browserhost
