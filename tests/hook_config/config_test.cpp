// The per-program configuration at the level of the platform: the real browsers.ini read and
// written through the profile functions, the real executable name, the real named marker, in
// this program and in child programs of their own (the marker belongs to a process).
#include "hooklib/browser_config.h"
#include "test_files.h"
#include "test_process.h"

#include "support/owners.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace hook = lumivex::hook;
namespace test = lumivex::test;

namespace {

constexpr wchar_t kOwnName[] = L"hook_config_test.exe";
constexpr wchar_t kChildName[] = L"hook_config_child.exe";

using test::NoAppData;
using test::TestAppData;

// The marker name spelled out here, so a wrong name in the library cannot pass for right.
std::wstring MarkerNameFor(DWORD processId) {
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\LumivexDllIsAlreadyPrompt_PID_%08X", processId);
    return name;
}

bool MarkerExists(DWORD processId) {
    lumivex::UniqueHandle marker(OpenMutexW(SYNCHRONIZE, FALSE, MarkerNameFor(processId).c_str()));
    return static_cast<bool>(marker);
}

class BrowserConfig : public testing::Test {
protected:
    void SetUp() override {
        test::UseTestAppData(m_dir.path());
        m_config.SetAppDataLookup(&TestAppData);
        ASSERT_EQ(m_config.bGetAllConfigs(GetModuleHandleW(nullptr)), TRUE);
        ASSERT_EQ(m_config.ConfigFile(), m_dir.path() + L"\\Lumivex\\browsers.ini");
    }

    bool Write(const wchar_t* section, const std::wstring& key, const std::wstring& value) {
        return WritePrivateProfileStringW(section, key.c_str(), value.c_str(),
                                          m_config.ConfigFile().c_str());
    }

    std::wstring Read(const wchar_t* section, const std::wstring& key) const {
        wchar_t value[256] = {};
        const DWORD length = GetPrivateProfileStringW(section, key.c_str(), L"<none>", value, 256,
                                                      m_config.ConfigFile().c_str());
        return std::wstring(value, length);
    }

    // Runs the child program (or `program`, a copy of it) with `command` on `appData`; its result
    // line, or what went wrong.
    std::wstring RunChild(const std::wstring& command, const std::wstring& program = L"",
                          const std::wstring& appData = L"") {
        const std::wstring result = m_dir / L"child_result.txt";
        DeleteFileW(result.c_str());
        const DWORD code =
            test::RunProgram(program.empty() ? test::ProgramDir() + L"\\" + kChildName : program,
                             L"\"" + (appData.empty() ? m_dir.path() : appData) + L"\" " + command +
                                 L" \"" + result + L"\"");
        if (code != 0) {
            return L"<exit code " + std::to_wstring(code) + L">";
        }
        return test::Widen(test::ReadFileBytes(result));
    }

    test::TempDir m_dir;
    hook::CBrowserConfig m_config;
};

using ConfigLocation = BrowserConfig;

TEST_F(ConfigLocation, FolderInApplicationDataIsCreatedAndKept) {
    EXPECT_TRUE(test::DirExists(m_dir / L"Lumivex"));
    ASSERT_TRUE(Write(L"Processes", L"some.exe", L"0"));
    hook::CBrowserConfig again;
    again.SetAppDataLookup(&TestAppData);
    EXPECT_EQ(again.bGetAllConfigs(GetModuleHandleW(nullptr)), TRUE);
    EXPECT_EQ(again.ConfigFile(), m_config.ConfigFile());
    EXPECT_EQ(Read(L"Processes", L"some.exe"), L"0") << "an existing folder is left as it is";
}

TEST_F(ConfigLocation, FolderThatCannotBeCreatedLeavesEveryProgramZoomedAndPrompted) {
    // Only the last level is created: a missing application-data folder stays missing.
    test::UseTestAppData(m_dir / L"missing\\deeper");
    hook::CBrowserConfig config;
    config.SetAppDataLookup(&TestAppData);
    EXPECT_EQ(config.bGetAllConfigs(GetModuleHandleW(nullptr)), TRUE);
    EXPECT_EQ(config.ConfigFile(), m_dir / L"missing\\deeper\\Lumivex\\browsers.ini");
    EXPECT_FALSE(test::DirExists(m_dir / L"missing"));
    EXPECT_EQ(config.bIsProcessEnabled(), TRUE);
    config.vDisablePrompt(); // fails quietly
    EXPECT_FALSE(test::DirExists(m_dir / L"missing"));
    EXPECT_EQ(RunChild(L"prompt", L"", m_dir / L"missing\\deeper"),
              std::wstring(L"1 0 ") + kChildName);
}

TEST_F(ConfigLocation, WithoutApplicationDataTheFileLiesBesideTheLibrary) {
    const std::wstring folder = m_dir / L"library";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring copy =
        folder + (sizeof(void*) == 8 ? L"\\LumivexDll64.dll" : L"\\LumivexDll.dll");
    const std::wstring original =
        test::ProgramDir() + (sizeof(void*) == 8 ? L"\\LumivexDll64.dll" : L"\\LumivexDll.dll");
    ASSERT_TRUE(CopyFileW(original.c_str(), copy.c_str(), FALSE));
    lumivex::UniqueModule library(LoadLibraryW(copy.c_str()));
    ASSERT_TRUE(library) << "error " << GetLastError();

    hook::CBrowserConfig config;
    config.SetAppDataLookup(&NoAppData);
    EXPECT_EQ(config.bGetAllConfigs(library.get()), TRUE);
    EXPECT_EQ(config.ConfigFile(), folder + L"\\\\browsers.ini") << "drive and folder end with \\";
    // The platform takes the doubled backslash.
    config.vDisablePrompt();
    wchar_t value[16] = {};
    GetPrivateProfileStringW(L"Browsers", kOwnName, L"", value, 16,
                             (folder + L"\\browsers.ini").c_str());
    EXPECT_STREQ(value, L"0");
    EXPECT_EQ(config.bIsProcessEnabled(), TRUE);
}

TEST_F(ConfigLocation, ByDefaultTheUsersApplicationDataFolder) {
    hook::CBrowserConfig config;
    EXPECT_EQ(config.bGetAllConfigs(GetModuleHandleW(nullptr)), TRUE);
    EXPECT_EQ(config.ConfigFile(), test::AppDataDir() + L"\\Lumivex\\browsers.ini");
    EXPECT_TRUE(test::DirExists(test::AppDataDir() + L"\\Lumivex"));
    test::ResetPerUserState();
}

using ProgramName = BrowserConfig;

TEST_F(ProgramName, IsTheExecutablesFileNameWithOnlyAToZLowered) {
    EXPECT_EQ(m_config.GetProcessExeName(), kOwnName);
    const std::wstring child = test::ProgramDir() + L"\\" + kChildName;
    for (const auto& [file, expected] :
         {std::pair<std::wstring, std::wstring>{L"HookCfg_CHILD.EXE", L"hookcfg_child.exe"},
          {L"HH.Exe", L"hh.exe"},
          {L"\u00C4rger\u00D6.EXE", L"\u00C4rger\u00D6.exe"}}) {
        SCOPED_TRACE(test::Narrow(file));
        const std::wstring copy = m_dir / file;
        ASSERT_TRUE(CopyFileW(child.c_str(), copy.c_str(), FALSE)) << "error " << GetLastError();
        EXPECT_EQ(RunChild(L"name", copy), expected);
    }
}

using Exclusion = BrowserConfig;

TEST_F(Exclusion, OwnStartingLevelIsReadFromTheZoomSectionForThisProgramOnly) {
    EXPECT_EQ(m_config.DefaultZoom(), 100) << "no file";
    ASSERT_TRUE(Write(L"Zoom", L"other.exe", L"160"));
    EXPECT_EQ(m_config.DefaultZoom(), 100) << "another program's level";
    ASSERT_TRUE(Write(L"ZOOM", L"HOOK_CONFIG_TEST.EXE", L"140"));
    EXPECT_EQ(m_config.DefaultZoom(), 140);
    ASSERT_TRUE(Write(L"Zoom", kOwnName, L"no"));
    EXPECT_EQ(m_config.DefaultZoom(), 100);
}

TEST_F(Exclusion, AnyNonEmptyProcessesValueExcludesAndEveryEditCounts) {
    EXPECT_EQ(m_config.bIsProcessEnabled(), TRUE) << "no file";
    ASSERT_TRUE(Write(L"Processes", L"other.exe", L"0"));
    ASSERT_TRUE(Write(L"Browsers", kOwnName, L"0"));
    EXPECT_EQ(m_config.bIsProcessEnabled(), TRUE) << "no entry of its own";
    for (const std::wstring& value :
         std::vector<std::wstring>{L"0", L"1", L"no", std::wstring(100, L'x')}) {
        SCOPED_TRACE(test::Narrow(value));
        Sleep(30); // "0" and "1" keep the size: the write time must move for the edit to count
        ASSERT_TRUE(Write(L"Processes", kOwnName, value));
        EXPECT_EQ(m_config.bIsProcessEnabled(), FALSE);
    }
    ASSERT_TRUE(Write(L"Processes", kOwnName, L""));
    EXPECT_EQ(m_config.bIsProcessEnabled(), TRUE) << "an empty value zooms";
    // Keys match without regard to letter case.
    ASSERT_TRUE(
        WritePrivateProfileStringW(L"Processes", kOwnName, nullptr, m_config.ConfigFile().c_str()));
    ASSERT_TRUE(Write(L"PROCESSES", L"HOOK_CONFIG_TEST.EXE", L"0"));
    EXPECT_EQ(m_config.bIsProcessEnabled(), FALSE);
}

TEST_F(Exclusion, FileIsReadAgainOnlyWhenItsWriteTimeOrSizeChanged) {
    ASSERT_TRUE(Write(L"Processes", kOwnName, L"0"));
    ASSERT_EQ(m_config.bIsProcessEnabled(), FALSE);
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    ASSERT_TRUE(
        GetFileAttributesExW(m_config.ConfigFile().c_str(), GetFileExInfoStandard, &before));

    // Same size, same write time, own entry gone: the earlier reading still holds.
    ASSERT_TRUE(
        WritePrivateProfileStringW(L"Processes", kOwnName, nullptr, m_config.ConfigFile().c_str()));
    std::wstring renamed = kOwnName;
    renamed[0] = L'x';
    ASSERT_TRUE(Write(L"Processes", renamed, L"0"));
    {
        lumivex::UniqueHandle file(CreateFileW(m_config.ConfigFile().c_str(), FILE_WRITE_ATTRIBUTES,
                                               0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(static_cast<bool>(file));
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &before.ftLastWriteTime));
    }
    EXPECT_EQ(m_config.bIsProcessEnabled(), FALSE) << "an unchanged stamp must not read again";

    // A moved write time alone makes it read again.
    FILETIME later = before.ftLastWriteTime;
    later.dwLowDateTime += 10'000'000;
    if (later.dwLowDateTime < before.ftLastWriteTime.dwLowDateTime) {
        ++later.dwHighDateTime;
    }
    {
        lumivex::UniqueHandle file(CreateFileW(m_config.ConfigFile().c_str(), FILE_WRITE_ATTRIBUTES,
                                               0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(static_cast<bool>(file));
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &later));
    }
    EXPECT_EQ(m_config.bIsProcessEnabled(), TRUE);

    // A removed file, and a file that comes back, count too.
    ASSERT_TRUE(Write(L"Processes", kOwnName, L"0"));
    EXPECT_EQ(m_config.bIsProcessEnabled(), FALSE);
    ASSERT_TRUE(DeleteFileW(m_config.ConfigFile().c_str()));
    EXPECT_EQ(m_config.bIsProcessEnabled(), TRUE) << "no file";
    ASSERT_TRUE(Write(L"Processes", kOwnName, L"1"));
    EXPECT_EQ(m_config.bIsProcessEnabled(), FALSE);
}

TEST_F(Exclusion, ChildProgramIsExcludedByItsOwnName) {
    ASSERT_TRUE(Write(L"Processes", kOwnName, L"0"));
    EXPECT_EQ(RunChild(L"enabled"), L"1");
    ASSERT_TRUE(Write(L"Processes", kChildName, L"0"));
    EXPECT_EQ(RunChild(L"enabled"), L"0");
}

using PromptDecision = BrowserConfig;

// Runs before the test below, which makes this process's marker.
TEST_F(PromptDecision, ValuesReadingAsZeroSuppressItAndLeaveNoMarker) {
    for (const std::wstring& value :
         std::vector<std::wstring>{L"0", L"00", L"no", L"-0", L"0x1", std::wstring(100, L'0'),
                                   L"0" + std::wstring(100, L'x')}) {
        SCOPED_TRACE(test::Narrow(value));
        ASSERT_TRUE(Write(L"Browsers", kOwnName, value));
        std::wstring name = L"<unset>";
        EXPECT_EQ(m_config.bNeedPrompt(name), FALSE);
        EXPECT_EQ(name, kOwnName);
        EXPECT_FALSE(MarkerExists(GetCurrentProcessId()));
    }
}

TEST_F(PromptDecision, OtherValuesPromptOncePerRun) {
    for (const std::wstring& value : std::vector<std::wstring>{
             L"1", L"2x", L"-3", L"1" + std::wstring(100, L'x'), std::wstring(70, L'9'),
             L"0" + std::wstring(100, L'7'), std::wstring(L"<remove>")}) {
        SCOPED_TRACE(test::Narrow(value));
        ASSERT_TRUE(WritePrivateProfileStringW(L"Browsers", kChildName,
                                               value == L"<remove>" ? nullptr : value.c_str(),
                                               m_config.ConfigFile().c_str()));
        EXPECT_EQ(RunChild(L"prompt"), std::wstring(L"1 0 ") + kChildName);
    }
    // An entry under the other section is no refusal.
    ASSERT_TRUE(Write(L"Processes", kChildName, L"0"));
    EXPECT_EQ(RunChild(L"prompt"), std::wstring(L"1 0 ") + kChildName);
    ASSERT_TRUE(DeleteFileW(m_config.ConfigFile().c_str()));
    EXPECT_EQ(RunChild(L"prompt"), std::wstring(L"1 0 ") + kChildName) << "no file at all";
}

TEST_F(PromptDecision, FirstYesCreatesThisProcessesMarkerAndEveryProcessHasItsOwn) {
    const DWORD self = GetCurrentProcessId();
    ASSERT_FALSE(MarkerExists(self)) << "an earlier test already said yes in this process";
    std::wstring name;
    EXPECT_EQ(m_config.bNeedPrompt(name), TRUE);
    EXPECT_EQ(name, kOwnName);
    EXPECT_TRUE(MarkerExists(self));
    EXPECT_EQ(m_config.bNeedPrompt(name), FALSE) << "once per run";
    hook::CBrowserConfig other; // another object in this process sees the same marker
    other.SetAppDataLookup(&TestAppData);
    other.bGetAllConfigs(GetModuleHandleW(nullptr));
    EXPECT_EQ(other.bNeedPrompt(name), FALSE);
    EXPECT_EQ(RunChild(L"prompt"), std::wstring(L"1 0 ") + kChildName) << "a child decides anew";
}

TEST_F(PromptDecision, MarkerNamedForAProcessIdIsThatProcesses) {
    // The marker is made for the child's process id before the child runs: it has "decided".
    const std::wstring result = m_dir / L"child_result.txt";
    std::wstring commandLine = L"\"" + test::ProgramDir() + L"\\" + kChildName + L"\" \"" +
                               m_dir.path() + L"\" prompt \"" + result + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED, nullptr, nullptr, &startup, &info));
    lumivex::UniqueHandle process(info.hProcess);
    lumivex::UniqueHandle thread(info.hThread);
    lumivex::UniqueHandle marker(
        CreateMutexW(nullptr, FALSE, MarkerNameFor(info.dwProcessId).c_str()));
    EXPECT_TRUE(marker);
    ResumeThread(thread.get());
    ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(test::Widen(test::ReadFileBytes(result)), std::wstring(L"0 0 ") + kChildName);
}

using DisablePrompt = BrowserConfig;

TEST_F(DisablePrompt, WritesZeroUnderBrowsersForThisProgramOnly) {
    ASSERT_FALSE(test::FileExists(m_config.ConfigFile()));
    m_config.vDisablePrompt();
    EXPECT_EQ(Read(L"Browsers", kOwnName), L"0") << "the file is created when missing";
    ASSERT_TRUE(Write(L"Processes", L"iexplore.exe", L"0"));
    ASSERT_TRUE(Write(L"Browsers", L"other.exe", L"1"));
    m_config.vDisablePrompt();
    EXPECT_EQ(Read(L"Browsers", kOwnName), L"0");
    EXPECT_EQ(Read(L"Browsers", L"other.exe"), L"1");
    EXPECT_EQ(Read(L"Processes", L"iexplore.exe"), L"0");
    EXPECT_EQ(Read(L"Processes", kOwnName), L"<none>");
    std::wstring name;
    EXPECT_EQ(m_config.bNeedPrompt(name), FALSE);
}

TEST_F(DisablePrompt, HoldsForTheNextRunOfTheProgram) {
    EXPECT_EQ(RunChild(L"disable"), L"done");
    EXPECT_EQ(Read(L"Browsers", kChildName), L"0");
    EXPECT_EQ(RunChild(L"prompt"), std::wstring(L"0 0 ") + kChildName);
    EXPECT_EQ(RunChild(L"enabled"), L"1") << "switching the prompt off is no exclusion";
}

} // namespace
