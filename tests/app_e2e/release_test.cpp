// What a Windows user gets from the release: the per-user installer run silently puts a working
// copy in place (files, shortcut, Uninstall entry, start at logon), an upgrade over a running
// copy ends it, replaces its files and starts it again, the uninstaller leaves nothing behind,
// and the portable zip runs from any folder with its data in the user's own folder.
#include "app_fixture.h"
#include "host_zoom.h"

#include "test_files.h"
#include "test_process.h"
#include "test_registry.h"
#include "test_windows.h"

#include "support/owners.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <optional>

using namespace lumivex::appe2e;
using namespace lumivex::browserhost;
namespace test = lumivex::test;

namespace {

// The release's own names, written out here rather than taken from the scripts.
constexpr wchar_t kSetupName[] = L"Lumivex-1.2.0-setup.exe";
constexpr wchar_t kVersion[] = L"1.2.0";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumivex";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kCleanupValue[] = L"Lumivex cleanup";
constexpr wchar_t kUninstaller[] = L"uninstall.exe";
constexpr wchar_t kSetAsideLibrary64[] = L"LumivexDll64.dll.1.old";

std::wstring ReleaseDir() {
    return LUMIVEX_RELEASE_DIR;
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path
                                                                                          : L"";
}

std::wstring InstallDir() {
    return ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Lumivex";
}
std::wstring InstalledProgram() {
    return InstallDir() + L"\\Lumivex.exe";
}
std::wstring Shortcut() {
    return ShellFolder(CSIDL_PROGRAMS) + L"\\Lumivex.lnk";
}

std::optional<std::wstring> Text(HKEY root, const std::wstring& key, const std::wstring& name) {
    const auto value = test::ReadRegistryValue(root, key, name);
    if (!value) {
        return std::nullopt;
    }
    return value->Text();
}

std::optional<DWORD> Number(const std::wstring& name) {
    const auto value = test::ReadRegistryValue(HKEY_CURRENT_USER, kUninstallKey, name);
    if (!value || value->type != REG_DWORD || value->bytes.size() != sizeof(DWORD)) {
        return std::nullopt;
    }
    DWORD number = 0;
    memcpy(&number, value->bytes.data(), sizeof number);
    return number;
}

bool KeyExists(const std::wstring& key) {
    lumivex::UniqueRegKey opened;
    return RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, opened.put()) ==
           ERROR_SUCCESS;
}

// Where a shell link points, as the shell reads it; empty when it cannot be read.
std::wstring ShortcutTarget(const std::wstring& link) {
    std::wstring target;
    const bool comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        lumivex::ComPtr<IShellLinkW> shellLink;
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                         shellLink.put_void());
        const auto file = shellLink.As<IPersistFile>(IID_IPersistFile);
        wchar_t path[MAX_PATH] = {};
        if (file && SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
            SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) {
            target = path;
        }
    }
    if (comStarted) {
        CoUninitialize();
    }
    return target;
}

// The shipped files and where this build keeps each.
struct Shipped {
    std::wstring name;
    std::wstring source;
};

std::vector<Shipped> ShippedFiles() {
    const std::wstring tree32 = test::ProgramDir();
    const std::wstring tree64 = Tree64Dir();
    return {{L"Lumivex.exe", tree32 + L"\\Lumivex.exe"},
            {L"LumivexDll.dll", tree32 + L"\\LumivexDll.dll"},
            {L"LumivexServer.exe", tree64 + L"\\LumivexServer.exe"},
            {L"LumivexDll64.dll", tree64 + L"\\LumivexDll64.dll"},
            {L"Language\\German.lng", tree32 + L"\\Language\\German.lng"}};
}

void ExpectFilesOfThisBuild(const std::wstring& folder) {
    for (const Shipped& file : ShippedFiles()) {
        SCOPED_TRACE(test::Narrow(file.name));
        const std::string bytes = test::ReadFileBytes(folder + L"\\" + file.name);
        EXPECT_FALSE(bytes.empty());
        EXPECT_TRUE(bytes == test::ReadFileBytes(file.source)) << "not the file of this build";
    }
}

// Ends a copy that the test did not start (the one an upgrade started again).
void EndCopyNotOurs() {
    const HWND dialog = FindMainDialog();
    if (!dialog) {
        return;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(dialog, &pid);
    const lumivex::UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    if (process && WaitForSingleObject(process.get(), 15000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
    }
    WaitNoServer();
}

// After an uninstall: the program folder is gone, or (a hook library still mapped in another
// program, here the desktop's own process) holds only set-aside files and the next logon's
// cleanup is scheduled, exactly then.
void ExpectNothingLeftButSetAsideFiles() {
    const bool left = test::DirExists(InstallDir());
    const auto cleanup = Text(HKEY_CURRENT_USER, kRunOnceKey, kCleanupValue);
    EXPECT_EQ(cleanup.has_value(), left) << test::Narrow(cleanup.value_or(L"<no cleanup>"));
    if (left) {
        for (const std::wstring& name : test::ListFiles(InstallDir())) {
            EXPECT_TRUE(name.size() > 6 && name.substr(name.size() - 4) == L".old" &&
                        name.find(L".dll.") != std::wstring::npos)
                << test::Narrow(name) << " was left";
        }
    }
}

class ReleaseTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_TRUE(test::FileExists(SetupProgram()))
            << test::Narrow(SetupProgram()) << " is missing: run make release (make check does)";
        RemoveInstall();
        // The hook library's first-use prompt stays quiet for the hosts.
        CreateDirectoryW(DataDir().c_str(), nullptr);
        ASSERT_TRUE(WritePrivateProfileStringW(L"Browsers", L"browser_host.exe", L"0",
                                               (DataDir() + L"\\browsers.ini").c_str()));
    }

    void TearDown() override {
        m_app.End();
        EndCopyNotOurs();
        RemoveInstall();
        AppTest::TearDown();
    }

    static std::wstring SetupProgram() { return ReleaseDir() + L"\\" + kSetupName; }

    static void RemoveInstall() {
        test::RemoveTree(InstallDir());
        // A library another program still maps (the desktop's own process) cannot be deleted:
        // its folder goes aside, so the next test starts from nothing.
        if (test::DirExists(InstallDir())) {
            const std::wstring aside = InstallDir() + L".stale" + std::to_wstring(GetTickCount());
            EXPECT_TRUE(MoveFileW(InstallDir().c_str(), aside.c_str()));
        }
        DeleteFileW(Shortcut().c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
        test::DeleteRegistryValue(HKEY_CURRENT_USER, kRunOnceKey, kCleanupValue);
    }

    static void Install() {
        ASSERT_EQ(test::RunProgram(SetupProgram(), L"/S", 120000), 0u)
            << "the silent install failed";
    }

    // The uninstaller runs on from a copy of itself: done when its entry is gone and the copy
    // has ended.
    static void Uninstall() {
        ASSERT_EQ(test::RunProgram(InstallDir() + L"\\" + kUninstaller, L"/S", 60000), 0u);
        EXPECT_TRUE(test::WaitUntil(
            [] { return !KeyExists(kUninstallKey) && test::CountProcesses(L"Au_.exe") == 0; },
            60000, 200))
            << "the uninstaller did not finish";
    }

    const std::wstring m_host32 = DefaultHostProgram();
    const std::wstring m_host64 = Tree64Dir() + L"\\browser_host.exe";
};

TEST_F(ReleaseTest, SilentInstallZoomsBothBitnessesAndSilentUninstallLeavesNothing) {
    Install();
    ExpectFilesOfThisBuild(InstallDir());
    EXPECT_TRUE(test::FileExists(InstallDir() + L"\\" + kUninstaller));
    EXPECT_EQ(ShortcutTarget(Shortcut()), InstalledProgram());

    const auto entry = [](const wchar_t* name) {
        return Text(HKEY_CURRENT_USER, kUninstallKey, name).value_or(L"<missing>");
    };
    EXPECT_EQ(entry(L"DisplayName"), L"Lumivex");
    EXPECT_EQ(entry(L"DisplayVersion"), kVersion);
    EXPECT_EQ(entry(L"Publisher"), L"Lumivex");
    EXPECT_EQ(entry(L"DisplayIcon"), InstalledProgram() + L",0");
    EXPECT_EQ(entry(L"UninstallString"), L"\"" + InstallDir() + L"\\" + kUninstaller + L"\"");
    EXPECT_EQ(Number(L"NoModify"), 1u);
    EXPECT_EQ(Number(L"NoRepair"), 1u);
    size_t bytes = 0;
    for (const Shipped& file : ShippedFiles()) {
        bytes += test::ReadFileBytes(file.source).size();
    }
    const DWORD size = Number(L"EstimatedSize").value_or(0);
    EXPECT_GE(size, bytes / 1024) << "EstimatedSize is in kilobytes of what was installed";
    EXPECT_LE(size, bytes / 1024 + 512);
    // Start at logon is ticked by default and writes what the options page writes.
    const std::wstring program = InstalledProgram();
    const std::wstring quoted =
        program.find(L' ') == std::wstring::npos ? program : L"\"" + program + L"\"";
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kRunKey, L"Lumivex"), quoted + L" /m");

    // Wine 8 gives 32-bit programs no hook while the 64-bit server's is on top (see the zoom
    // tests), so the 32-bit host is zoomed by the installed copy with its server moved away.
    ASSERT_TRUE(m_app.Start(program, L"-m"));
    ExpectZooms(m_host64);
    m_app.End();
    const std::wstring server = InstallDir() + L"\\" + kServerProgram;
    ASSERT_TRUE(MoveFileW(server.c_str(), (server + L".away").c_str()));
    ASSERT_TRUE(m_app.Start(program, L"-m"));
    ExpectZooms(m_host32);
    m_app.End();
    ASSERT_TRUE(MoveFileW((server + L".away").c_str(), server.c_str()));

    Uninstall();
    ExpectNothingLeftButSetAsideFiles();
    EXPECT_FALSE(test::FileExists(Shortcut()));
    EXPECT_FALSE(Text(HKEY_CURRENT_USER, kRunKey, L"Lumivex").has_value());
    EXPECT_FALSE(KeyExists(kUninstallKey));
    // Settings stay unless the user ticks their removal.
    EXPECT_TRUE(test::FileExists(DataDir() + L"\\browsers.ini"));
}

TEST_F(ReleaseTest, SilentUpgradeOverARunningCopyReplacesItsFilesAndStartsItAgain) {
    Install();
    // The user had turned start at logon off: the upgrade keeps it off.
    ASSERT_TRUE(test::DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, L"Lumivex"));
    ASSERT_TRUE(m_app.Start(InstalledProgram(), L"-m"));
    const DWORD oldPid = m_app.pid();
    // A host with the 64-bit library mapped holds that file; an older language file waits.
    HostProcess host;
    ASSERT_TRUE(host.Start(L"", m_host64)) << host.error();
    ASSERT_TRUE(FocusUntilTaken(host));
    test::WriteFileBytes(InstallDir() + L"\\Language\\German.lng", "[older]\r\n");

    Install();
    EXPECT_NE(m_app.WaitForExit(15000), STILL_ACTIVE) << "the running copy was not ended";
    HWND again = nullptr;
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            again = FindMainDialog();
            return again && test::ProcessOf(again) != oldPid;
        },
        20000, 100))
        << "the upgrade did not start the program again";
    ExpectFilesOfThisBuild(InstallDir());
    EXPECT_FALSE(Text(HKEY_CURRENT_USER, kRunKey, L"Lumivex").has_value());
    // The old library, still mapped in the host, went aside; the host goes on.
    EXPECT_TRUE(test::FileExists(InstallDir() + L"\\" + kSetAsideLibrary64));
    EXPECT_EQ(host.Send(L"focus 0").value_or(0), 1);
    EXPECT_EQ(host.Quit(), 0u);

    // The program's next start removes set-aside files that nothing holds any more, and no
    // other file.
    EndCopyNotOurs();
    const std::wstring freed = InstallDir() + L"\\LumivexDll.dll.7.old";
    const std::wstring users = InstallDir() + L"\\notes.old";
    test::WriteFileBytes(freed, "MZ");
    test::WriteFileBytes(users, "mine");
    ASSERT_TRUE(m_app.Start(InstalledProgram(), L"-m"));
    EXPECT_FALSE(test::FileExists(freed));
    EXPECT_TRUE(test::FileExists(users));
}

TEST_F(ReleaseTest, UninstallWithALibraryStillMappedLeavesOnlyWhatTheNextLogonRemoves) {
    Install();
    ASSERT_TRUE(m_app.Start(InstalledProgram(), L"-m"));
    HostProcess host;
    ASSERT_TRUE(host.Start(L"", m_host64)) << host.error();
    ASSERT_TRUE(FocusUntilTaken(host));
    // One set aside by an earlier upgrade, held by nothing any more.
    const std::wstring freed = InstallDir() + L"\\LumivexDll.dll.7.old";
    test::WriteFileBytes(freed, "MZ");

    Uninstall();
    EXPECT_NE(m_app.WaitForExit(15000), STILL_ACTIVE) << "\"/clean\" did not end the copy";
    const std::vector<std::wstring> left = test::ListFiles(InstallDir());
    EXPECT_NE(std::find(left.begin(), left.end(), kSetAsideLibrary64), left.end())
        << "the library the host maps was not set aside";
    ExpectNothingLeftButSetAsideFiles();
    EXPECT_FALSE(test::FileExists(freed));
    EXPECT_FALSE(Text(HKEY_CURRENT_USER, kRunKey, L"Lumivex").has_value());
    EXPECT_FALSE(KeyExists(kUninstallKey));
    EXPECT_EQ(host.Send(L"focus 0").value_or(0), 1);
    EXPECT_EQ(host.Quit(), 0u);

    // The next logon's cleanup command runs as the shell would run it and ends well; what is
    // still mapped elsewhere waits for the logon after.
    const std::wstring command = Text(HKEY_CURRENT_USER, kRunOnceKey, kCleanupValue).value_or(L"");
    ASSERT_EQ(command.rfind(L"\"", 0), 0u) << test::Narrow(command);
    const size_t programEnd = command.find(L'"', 1);
    ASSERT_NE(programEnd, std::wstring::npos);
    test::WriteFileBytes(freed, "MZ");
    test::RunProgram(command.substr(1, programEnd - 1), command.substr(programEnd + 2));
    EXPECT_FALSE(test::FileExists(freed)) << "the cleanup command removed nothing";
}

TEST_F(ReleaseTest, PortableCopyRunsFromItsFolderAndKeepsItsDataInTheUsersFolder) {
    const std::wstring folder = ReleaseDir() + L"\\portable-unpacked\\Lumivex";
    ExpectFilesOfThisBuild(folder);
    const std::vector<std::wstring> before = test::ListFiles(folder);

    ASSERT_TRUE(m_app.Start(folder + L"\\Lumivex.exe", L"-m"));
    ExpectZooms(m_host64);
    ASSERT_TRUE(m_app.ChooseTrayItem(kMenuExit));
    ASSERT_NE(m_app.WaitForExit(), STILL_ACTIVE);
    EXPECT_TRUE(WaitNoServer());
    EXPECT_TRUE(test::FileExists(OptionFilePath())) << "the options went elsewhere";
    EXPECT_EQ(test::ListFiles(folder), before) << "the portable copy wrote into its folder";
}

} // namespace
