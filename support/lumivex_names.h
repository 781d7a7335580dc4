// The names the deliverables share: files, exports, switches, mutexes, messages and the per-user
// configuration. Window-free, so every side (and every test) can include it.
#pragma once

namespace lumivex {

// The product's name as users see it: window captions, the tray tip, log file names.
inline constexpr wchar_t kProductName[] = L"Lumivex";

// Files of the deliverables, all in one program folder.
inline constexpr wchar_t kMainProgramName[] = L"Lumivex.exe";
inline constexpr wchar_t kServerProgramName[] = L"LumivexServer.exe";
inline constexpr wchar_t kHookLibraryName[] = L"LumivexDll.dll";     // loaded by the main program
inline constexpr wchar_t kHookLibrary64Name[] = L"LumivexDll64.dll"; // loaded by the server
// An installer that cannot replace or delete a file that is in use (a hook library still mapped
// in another program) renames it "<file>.<n>.old"; the program's next start removes it.
inline constexpr wchar_t kSetAsideSuffix[] = L".old";

// Exports of the hook library, bound by name.
inline constexpr char kSetHookExport[] = "SetIECBT";
inline constexpr char kClearHookExport[] = "ClearIECBT";
inline constexpr char kInitializeExport[] = "Initialize";

// The server's switches as the main program passes them, and the words the server compares
// (without regard to case) once the slash or hyphen-minus is taken off.
inline constexpr wchar_t kServerEnableSwitch[] = L"/Enable";
inline constexpr wchar_t kServerDisableSwitch[] = L"/Disable";
inline constexpr wchar_t kServerExitSwitch[] = L"/Exit";
inline constexpr const wchar_t* kServerEnableWord = kServerEnableSwitch + 1;
inline constexpr const wchar_t* kServerDisableWord = kServerDisableSwitch + 1;
inline constexpr const wchar_t* kServerExitWord = kServerExitSwitch + 1;
inline constexpr wchar_t kServerInjectWord[] = L"Inject"; // accepted, never sent

// Names the server's single-instance mutex and the registered message its window answers.
inline constexpr wchar_t kServerName[] = L"LUMIVEXSERVER-46E5F037-5C31-4fbf-8265-2F0AA7A4A547";
// WM_USER + 1010: a messenger hands its command to the resident server with it.
inline constexpr unsigned int kServerCommandMessage = 0x0400 + 1010;
// How long a messenger waits for the resident server to carry its command out. A resident that
// hangs must not hang every later start with it; the command is then lost.
inline constexpr unsigned int kServerCommandTimeoutMs = 10000;

// Names the main program's single-instance mutex and its instance query message.
inline constexpr wchar_t kMainInstanceName[] = L"LUMIVEX-46E5F037-5C31-4fbf-8265-2F0AA7A4A547";

// The per-user data folder below the roaming application data, and its browser configuration.
inline constexpr wchar_t kDataFolderName[] = L"Lumivex";
inline constexpr wchar_t kBrowsersIniName[] = L"browsers.ini";
inline constexpr wchar_t kProcessesSection[] = L"Processes"; // programs never zoomed
inline constexpr wchar_t kBrowsersSection[] = L"Browsers";   // programs that no longer prompt
inline constexpr wchar_t kZoomSection[] = L"Zoom";           // a program's own starting level
inline constexpr wchar_t kLabelSection[] = L"Label"; // programs whose zoom level is not shown

// The main program's zoom-level label: a window of this class, which the hook library finds by
// it and posts each new level to (wParam: the browser window, lParam: the level). Posted, never
// sent: the host program must not wait for Lumivex.
inline constexpr wchar_t kZoomLabelClass[] = L"LumivexZoomLabel";
inline constexpr unsigned int kZoomLabelMessage = 0x8000 + 73; // WM_APP + 73

// The main program's list of the programs the hook library has met: a hidden window of this
// class, which the library posts its process id to (wParam) once per load, when a browser window
// of that process has reached its browser. The main program names the process itself.
inline constexpr wchar_t kMetProgramsClass[] = L"LumivexMetPrograms";
inline constexpr unsigned int kProgramMetMessage = 0x8000 + 74; // WM_APP + 74

// Programs a user's first run excludes from zoom, in the order they are written.
inline constexpr const wchar_t* kDefaultExcludedPrograms[] = {
    L"iexplore.exe", L"maxthon.exe",      L"avant.exe",   L"deepnet.exe",
    L"sbrowser.exe", L"greenbrowser.exe", L"outlook.exe",
};

} // namespace lumivex
