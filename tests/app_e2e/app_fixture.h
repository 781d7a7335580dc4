// What every end-to-end test of the main program shares: a program folder of the test's own laid
// out as it ships, one run of the program watched from outside as a user and a second instance
// see it (its dialog, tray icon, tray menu and processes), a stand-in for the browser that
// records the addresses the program opens, and a fixture that leaves no run, server or per-user
// state behind.
#pragma once

#include "test_files.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace lumivex::appe2e {

// The program's own numbers, written out here rather than taken from its headers, so a wrong
// value in the program cannot pass for right.
inline constexpr int kVersionLabel = 24105; // on the main dialog and on the About page
inline constexpr int kDescription = 1239;
inline constexpr int kPageTab = 1248;
inline constexpr int kShowTrayBox = 21087;
inline constexpr int kHideButton = IDOK;
inline constexpr int kExitButton = 1254;
inline constexpr int kHelpText = 1246;
inline constexpr int kAutostartBox = 1056;
inline constexpr int kCheckUpdateBox = 1057;
inline constexpr int kZoomLabelBox = 1058;
inline constexpr wchar_t kZoomLabelClass[] = L"LumivexZoomLabel";
inline constexpr int kProgramList = 1060;
// The pages in their tabs' order.
inline constexpr int kOptionsPage = 0;
inline constexpr int kProgramsPage = 1;
inline constexpr int kAboutPage = 2;
inline constexpr int kLegalNotice = 24106;
inline constexpr int kHomePageLink = 20096;
inline constexpr int kSupportLink = 20097;
inline constexpr int kUpdateLink = 20098;
inline constexpr UINT kTrayCallback = WM_USER + 110;
inline constexpr UINT kTrayIconId = 516;
inline constexpr wchar_t kVersionText[] = L"Lumivex V1.2.0";
// Positions in the tray menu.
inline constexpr int kMenuOpen = 0;
inline constexpr int kMenuAbout = 1;
inline constexpr int kMenuExit = 2;
inline constexpr int kMenuItems = 3;
// The option file as written from the defaults, and where it keeps the show-tray-icon flag.
inline constexpr size_t kDefaultOptionFileSize = 430;
inline constexpr size_t kTrayFlagOffset = 12;

inline constexpr wchar_t kServerProgram[] = L"LumivexServer.exe";

// The 64-bit tree's program folder, as the path Wine's drive Z: gives it.
std::wstring Tree64Dir();
// The running main program's dialog and the resident server's window, found by their instance
// queries as a second start finds them; null when none answers.
HWND FindMainDialog();
HWND FindResidentServer();

// %APPDATA%\Lumivex and the files in it.
std::wstring DataDir();
std::wstring OptionFilePath();
// The show-tray-icon flag of the option file; nothing when the file is missing or short.
std::optional<int> SavedTrayFlag();

// A program folder of the test's own: the main program (as `programName`), both hook libraries,
// the server and the language files. `subfolder`, when given, is a folder inside the temporary
// one that becomes the program folder (for names with blanks).
class AppFolder {
public:
    explicit AppFolder(const std::wstring& subfolder = L"",
                       const std::wstring& programName = L"Lumivex.exe");
    AppFolder(const AppFolder&) = delete;
    AppFolder& operator=(const AppFolder&) = delete;

    const std::wstring& path() const { return m_path; } // no trailing backslash
    const std::wstring& program() const { return m_program; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    test::TempDir m_root;
    std::wstring m_path;
    std::wstring m_program;
};

// One run of the main program started by the test; ended at scope end.
class LumivexRun {
public:
    LumivexRun() = default;
    ~LumivexRun() { End(); }
    LumivexRun(const LumivexRun&) = delete;
    LumivexRun& operator=(const LumivexRun&) = delete;

    // Starts the program and waits until its dialog answers the instance query and its thread
    // waits for input (start-up done). On false the test has been told why.
    bool Start(const AppFolder& folder, const std::wstring& args = L"");
    // The same for a program file elsewhere (an installed or unpacked copy).
    bool Start(const std::wstring& program, const std::wstring& args = L"");
    // Ends a run still going: WM_CLOSE, its own exit road, or a kill when that does not end it
    // in time; then waits until no hook server is left.
    void End();

    HWND dialog() const { return m_dialog; }
    DWORD pid() const { return m_child.pid(); }
    HANDLE process() const { return m_child.handle(); }
    bool Running() { return m_child.handle() && m_child.Wait(0) == STILL_ACTIVE; }
    DWORD WaitForExit(DWORD timeoutMs = 15000) { return m_child.Wait(timeoutMs); }

    // A control of the dialog, or of one of its pages (found at any depth).
    HWND Control(int id) const;
    HWND PageControl(int id) const;
    std::wstring Text(int id) const;
    bool Checked(int id) const;
    // BM_CLICK, as a click of the user's would: the box toggles and tells its dialog.
    bool Click(int id) const;
    std::vector<std::wstring> TabTitles() const;
    int SelectedTab() const;
    // Clicks the tab of page `index` (the dialog must be on screen) and waits until it is chosen.
    bool ChooseTab(int index) const;

    bool Visible() const { return IsWindowVisible(m_dialog) != FALSE; }
    // Waits until the dialog's visibility is `visible`.
    bool WaitVisible(bool visible, DWORD timeoutMs = 5000) const;
    // True when the dialog stays hidden (or visible) for `ms`.
    bool StaysVisible(bool visible, DWORD ms = 700) const;

    // Whether the tray holds the icon (dialog, 516): only then does the tray accept a change.
    bool TrayIcon() const;
    bool WaitTrayIcon(bool present, DWORD timeoutMs = 3000) const;
    // What the tray sends on a mouse event over the icon.
    bool TrayEvent(UINT mouseMessage, UINT iconId = kTrayIconId) const;

    // Right click on the tray icon with the cursor at `at`: the popup menu of this process that
    // appears, or null.
    HWND OpenTrayMenu(POINT at, DWORD timeoutMs = 5000) const;
    // Opens the tray menu and clicks the item at `position`; false when the menu did not open
    // or did not close on the click.
    bool ChooseTrayItem(int position) const;

private:
    test::ChildProcess m_child;
    HWND m_dialog = nullptr;
};

// Processes named LumivexServer.exe, and a wait until none is left.
int ServerProcesses();
bool WaitNoServer(DWORD timeoutMs = 10000);

// Stands in for the browser and the mail program: "http", "https" and "mailto" open a recorder
// of ours that appends each address it is given to a file. Registered per user, where Windows
// looks first; where a Wine prefix does not look there (HKEY_CLASSES_ROOT is the machine's
// classes only), the classes root is changed too. Everything is given back at scope end.
class UrlRecorder {
public:
    UrlRecorder();
    ~UrlRecorder();
    UrlRecorder(const UrlRecorder&) = delete;
    UrlRecorder& operator=(const UrlRecorder&) = delete;

    // The addresses opened so far, in order.
    std::vector<std::wstring> Opened() const;
    bool WaitForOpened(size_t count, DWORD timeoutMs = 10000) const;

private:
    struct Saved {
        HKEY root;
        std::wstring key;
        std::optional<std::wstring> previous; // the command value that was there
        bool createdClass;                    // the class key is ours: removed at the end
    };
    void Replace(HKEY root, const std::wstring& scheme, const std::wstring& command);

    test::TempDir m_dir;
    std::vector<Saved> m_saved;
};

// Fresh per-user state, no program or server of an earlier test left, and at the end the same.
class AppTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    AppFolder m_folder;
    LumivexRun m_app;
};

} // namespace lumivex::appe2e
