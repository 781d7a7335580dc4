// Windows and menus from the test program's own resources, and ways to read them back.
#pragma once

#include "support/owners.h"

#include "language_test_ids.h"

#include <windows.h>

#include <string>
#include <vector>

namespace lumivex::test {

inline INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The test dialog, modeless and hidden.
inline UniqueWindow CreateTestDialog() {
    return UniqueWindow(CreateDialogParamW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_LANG_TEST), nullptr, PlainDialogProc, 0));
}

inline std::wstring WindowText(HWND window) {
    wchar_t buffer[4096] = {};
    GetWindowTextW(window, buffer, 4096);
    return buffer;
}

inline HFONT FontOf(HWND window) {
    return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

inline BOOL CALLBACK CollectWindow(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

inline std::vector<HWND> Descendants(HWND window) {
    std::vector<HWND> found;
    EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

inline std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t buffer[512] = {};
    GetMenuStringW(menu, position, buffer, 512, MF_BYPOSITION);
    return buffer;
}

} // namespace lumivex::test
