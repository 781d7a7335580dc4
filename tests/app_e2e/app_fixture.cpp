#include "app_fixture.h"

#include "test_names.h"
#include "test_registry.h"
#include "test_windows.h"

#include "support/owners.h"
#include "support/window_query.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace lumivex::appe2e {

using test::Narrow;

namespace {

bool CopyInto(const std::wstring& from, const std::wstring& to) {
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy " << Narrow(from) << " to " << Narrow(to) << ": "
                      << GetLastError();
        return false;
    }
    return true;
}

} // namespace

std::wstring Tree64Dir() {
    std::wstring dir = L"" LUMIVEX_TREE64_DIR;
    std::replace(dir.begin(), dir.end(), L'/', L'\\');
    return dir;
}

HWND FindMainDialog() {
    return FindWindowAnsweringQuery(RegisterWindowMessageW(test::kMainInstanceName));
}

HWND FindResidentServer() {
    return FindWindowAnsweringQuery(RegisterWindowMessageW(test::kServerInstanceName));
}

std::wstring DataDir() {
    return test::AppDataDir() + L"\\" + test::kDataFolderName;
}

std::wstring OptionFilePath() {
    return DataDir() + L"\\" + test::kOptionFileName;
}

std::optional<int> SavedTrayFlag() {
    const std::string bytes = test::ReadFileBytes(OptionFilePath());
    if (bytes.size() < kTrayFlagOffset + sizeof(int)) {
        return std::nullopt;
    }
    int flag = 0;
    std::memcpy(&flag, bytes.data() + kTrayFlagOffset, sizeof flag);
    return flag;
}

AppFolder::AppFolder(const std::wstring& subfolder, const std::wstring& programName) {
    m_path = subfolder.empty() ? m_root.path() : m_root / subfolder;
    m_program = *this / programName;
    if (!subfolder.empty() && !CreateDirectoryW(m_path.c_str(), nullptr)) {
        ADD_FAILURE() << "cannot create " << Narrow(m_path);
        return;
    }
    const std::wstring tree32 = test::ProgramDir();
    const std::wstring tree64 = Tree64Dir();
    CopyInto(tree32 + L"\\Lumivex.exe", m_program);
    CopyInto(tree32 + L"\\LumivexDll.dll", *this / L"LumivexDll.dll");
    CopyInto(tree64 + L"\\" + kServerProgram, *this / kServerProgram);
    CopyInto(tree64 + L"\\LumivexDll64.dll", *this / L"LumivexDll64.dll");
    const std::wstring languages = tree32 + L"\\Language";
    const std::vector<std::wstring> files = test::ListFiles(languages);
    if (files.empty() || !CreateDirectoryW((*this / L"Language").c_str(), nullptr)) {
        ADD_FAILURE() << "no language files in " << Narrow(languages);
        return;
    }
    for (const std::wstring& file : files) {
        CopyInto(languages + L"\\" + file, *this / (L"Language\\" + file));
    }
}

bool LumivexRun::Start(const AppFolder& folder, const std::wstring& args) {
    return Start(folder.program(), args);
}

bool LumivexRun::Start(const std::wstring& program, const std::wstring& args) {
    End();
    if (!m_child.Start(program, args)) {
        ADD_FAILURE() << "cannot start " << Narrow(program) << ": " << GetLastError();
        return false;
    }
    const DWORD pid = m_child.pid();
    test::WaitUntil(
        [&] {
            HWND window = FindMainDialog();
            if (window && test::ProcessOf(window) == pid) {
                m_dialog = window;
            }
            return m_dialog != nullptr || m_child.Wait(0) != STILL_ACTIVE;
        },
        20000, 50);
    if (!m_dialog) {
        const DWORD code = m_child.Wait(0);
        ADD_FAILURE() << "no dialog answered the instance query for \"" << Narrow(args) << "\""
                      << (code == STILL_ACTIVE ? "" : "; ended with " + std::to_string(code));
        return false;
    }
    if (WaitForInputIdle(m_child.handle(), 20000) != 0) {
        ADD_FAILURE() << "the program did not come to wait for input";
        return false;
    }
    return true;
}

void LumivexRun::End() {
    if (Running()) {
        if (m_dialog) {
            PostMessageW(m_dialog, WM_CLOSE, 0, 0);
        }
        m_child.Wait(15000);
    }
    const bool started = m_child.handle() != nullptr;
    m_child.Kill();
    m_dialog = nullptr;
    if (started) {
        WaitNoServer();
    }
}

HWND LumivexRun::Control(int id) const {
    HWND control = GetDlgItem(m_dialog, id);
    return control ? control : PageControl(id);
}

HWND LumivexRun::PageControl(int id) const {
    return test::FindDescendant(GetDlgItem(m_dialog, kPageTab), id);
}

std::wstring LumivexRun::Text(int id) const {
    return test::WindowText(Control(id));
}

bool LumivexRun::Checked(int id) const {
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool LumivexRun::Click(int id) const {
    HWND control = Control(id);
    DWORD_PTR answer = 0;
    return control &&
           SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer) != 0;
}

std::vector<std::wstring> LumivexRun::TabTitles() const {
    return test::TabTitles(m_child.handle(), GetDlgItem(m_dialog, kPageTab));
}

int LumivexRun::SelectedTab() const {
    return static_cast<int>(SendMessageW(GetDlgItem(m_dialog, kPageTab), TCM_GETCURSEL, 0, 0));
}

bool LumivexRun::ChooseTab(int index) const {
    return test::ChooseTab(m_child.handle(), GetDlgItem(m_dialog, kPageTab), index);
}

bool LumivexRun::WaitVisible(bool visible, DWORD timeoutMs) const {
    return test::WaitUntil([&] { return Visible() == visible; }, timeoutMs);
}

bool LumivexRun::StaysVisible(bool visible, DWORD ms) const {
    return !test::WaitUntil([&] { return Visible() != visible; }, ms);
}

bool LumivexRun::TrayIcon() const {
    return test::TrayHoldsIcon(m_dialog, kTrayIconId);
}

bool LumivexRun::WaitTrayIcon(bool present, DWORD timeoutMs) const {
    return test::WaitUntil([&] { return TrayIcon() == present; }, timeoutMs, 50);
}

bool LumivexRun::TrayEvent(UINT mouseMessage, UINT iconId) const {
    return PostMessageW(m_dialog, kTrayCallback, iconId, mouseMessage) != FALSE;
}

HWND LumivexRun::OpenTrayMenu(POINT at, DWORD timeoutMs) const {
    // The menu opens where the program reads the cursor.
    if (!test::PlacePointer(at) || !TrayEvent(WM_RBUTTONUP)) {
        return nullptr;
    }
    HWND menu = nullptr;
    test::WaitUntil(
        [&] {
            const std::vector<HWND> menus = test::VisibleTopLevelWindows(pid(), L"#32768");
            menu = menus.empty() ? nullptr : menus.front();
            return menu != nullptr;
        },
        timeoutMs);
    return menu;
}

bool LumivexRun::ChooseTrayItem(int position) const {
    HWND menu = OpenTrayMenu({900, 300});
    RECT rect;
    if (!menu || !GetWindowRect(menu, &rect)) {
        return false;
    }
    // The items are rows of one height.
    const POINT item = {(rect.left + rect.right) / 2, rect.top + (rect.bottom - rect.top) *
                                                                     (2 * position + 1) /
                                                                     (2 * kMenuItems)};
    return test::ClickAt(item) &&
           test::WaitUntil([&] { return test::VisibleTopLevelWindows(pid(), L"#32768").empty(); },
                           5000);
}

int ServerProcesses() {
    return test::CountProcesses(kServerProgram);
}

bool WaitNoServer(DWORD timeoutMs) {
    return test::WaitUntil([] { return ServerProcesses() == 0; }, timeoutMs, 50);
}

UrlRecorder::UrlRecorder() {
    const std::wstring recorder = test::ProgramDir() + L"\\app_url_recorder.exe";
    const std::wstring command =
        L"\"" + recorder + L"\" \"" + (m_dir / L"opened.txt") + L"\" \"%1\"";
    for (const wchar_t* scheme : {L"http", L"https", L"mailto"}) {
        Replace(HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\") + scheme, command);
        const std::optional<test::RegistryValue> seen = test::ReadRegistryValue(
            HKEY_CLASSES_ROOT, std::wstring(scheme) + L"\\shell\\open\\command", L"");
        if (!seen || seen->Text() != command) {
            Replace(HKEY_CLASSES_ROOT, scheme, command);
        }
    }
}

void UrlRecorder::Replace(HKEY root, const std::wstring& classKey, const std::wstring& command) {
    Saved saved{root, classKey, {}, false};
    UniqueRegKey existing;
    saved.createdClass =
        RegOpenKeyExW(root, classKey.c_str(), 0, KEY_READ, existing.put()) != ERROR_SUCCESS;
    const std::wstring commandKey = classKey + L"\\shell\\open\\command";
    if (const std::optional<test::RegistryValue> old =
            test::ReadRegistryValue(root, commandKey, L"")) {
        saved.previous = old->Text();
    }
    m_saved.push_back(saved);
    EXPECT_TRUE(test::WriteRegistryText(root, commandKey, L"", command)) << Narrow(commandKey);
    if (saved.createdClass) {
        EXPECT_TRUE(test::WriteRegistryText(root, classKey, L"URL Protocol", L""));
    }
}

UrlRecorder::~UrlRecorder() {
    for (auto saved = m_saved.rbegin(); saved != m_saved.rend(); ++saved) {
        const std::wstring commandKey = saved->key + L"\\shell\\open\\command";
        if (saved->createdClass) {
            RegDeleteTreeW(saved->root, saved->key.c_str());
        } else if (saved->previous) {
            test::WriteRegistryText(saved->root, commandKey, L"", *saved->previous);
        } else {
            test::DeleteRegistryValue(saved->root, commandKey, L"");
        }
    }
}

std::vector<std::wstring> UrlRecorder::Opened() const {
    std::vector<std::wstring> opened;
    for (const std::string& line : test::Lines(test::ReadFileBytes(m_dir / L"opened.txt"))) {
        opened.push_back(test::Widen(line));
    }
    return opened;
}

bool UrlRecorder::WaitForOpened(size_t count, DWORD timeoutMs) const {
    return test::WaitUntil([&] { return Opened().size() >= count; }, timeoutMs, 50);
}

void AppTest::SetUp() {
    ASSERT_EQ(FindMainDialog(), nullptr) << "a main program from elsewhere is running";
    ASSERT_TRUE(WaitNoServer()) << "a hook server from elsewhere is running";
    test::ResetPerUserState();
}

void AppTest::TearDown() {
    m_app.End();
    if (ServerProcesses() > 0) {
        // A run that had to be killed leaves its server resident; any copy's "/Exit" ends it.
        test::RunProgram(m_folder / kServerProgram, L"/Exit", 10000);
    }
    EXPECT_TRUE(WaitNoServer()) << "a hook server was left running";
    test::ResetPerUserState();
}

} // namespace lumivex::appe2e
