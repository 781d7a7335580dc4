// The hook controller at start-up, with the per-user folder as the user has it, and run by the
// driver in program folders of the test's own, with stand-ins for the server and the library.
#include "controller/core_assist.h"
#include "program_folder.h"

#include "test_files.h"
#include "test_names.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace lumivex;
using namespace lumivex::controllertest;
using test::AppDataDir;
using test::DirExists;
using test::FileExists;
using test::Lines;
using test::Narrow;
using test::ReadFileBytes;
using test::WaitUntil;
using test::WriteFileBytes;

namespace {

constexpr bool kWow64 = sizeof(void*) == 4; // the test prefix is a 64-bit one

const std::string kDefaultBrowsersIni = "[Processes]\r\n"
                                        "iexplore.exe=0\r\n"
                                        "maxthon.exe=0\r\n"
                                        "avant.exe=0\r\n"
                                        "deepnet.exe=0\r\n"
                                        "sbrowser.exe=0\r\n"
                                        "greenbrowser.exe=0\r\n"
                                        "outlook.exe=0\r\n";

// How long a test waits for a process that must not be started.
constexpr DWORD kQuietMs = 2000;

std::wstring DataFolder() {
    return AppDataDir() + L"\\Lumivex";
}

int g_loads = 0;
int g_saves = 0;
std::string g_iniAtLoad;

OptionLoad RecordLoad(CCoreAssist& controller) {
    ++g_loads;
    g_iniAtLoad = ReadFileBytes(controller.m_strBrowsersIni);
    return OptionLoad::kLoaded;
}

void RecordSave(CCoreAssist&) {
    ++g_saves;
}

class ControllerTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetPerUserState();
        g_loads = g_saves = 0;
        g_iniAtLoad.clear();
    }
    void TearDown() override { test::ResetPerUserState(); }
};

// The arguments and the working folder of each start of the stand-in server.
struct ServerStart {
    std::string arguments;
    std::string folder;
};

std::vector<ServerStart> ServerStarts(const ProgramFolder& program) {
    std::vector<ServerStart> starts;
    for (const std::string& line : program.ServerCalls()) {
        const size_t bar = line.find('|');
        starts.push_back(
            {line.substr(0, bar), bar == std::string::npos ? "" : line.substr(bar + 1)});
    }
    return starts;
}

void ExpectServerStarts(const ProgramFolder& program, const std::vector<std::string>& arguments) {
    const std::vector<ServerStart> starts = ServerStarts(program);
    ASSERT_EQ(starts.size(), arguments.size()) << program.Transcript();
    for (size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i].arguments, arguments[i]) << "start " << i;
        EXPECT_TRUE(SameFolder(starts[i].folder, Narrow(program.path())))
            << "start " << i << " ran in " << starts[i].folder;
    }
}

using Calls = std::vector<std::string>;

} // namespace

TEST_F(ControllerTest, FirstRunCreatesTheFolderAndTheDefaultExclusionsInOrder) {
    ASSERT_FALSE(DirExists(DataFolder()));
    CCoreAssist controller;
    controller.SetOptionFileCalls({&RecordLoad, &RecordSave});
    EXPECT_EQ(controller.bInitialize(), TRUE);
    EXPECT_TRUE(controller.IsInitialized());
    EXPECT_TRUE(controller.IsLogEnabled());
    EXPECT_EQ(controller.LogMask(), 0xFFFFFFFFu);

    EXPECT_EQ(controller.m_strAppDir, test::ProgramDir() + L"\\");
    EXPECT_EQ(controller.m_strDllPath, test::ProgramDir() + L"\\LumivexDll.dll");
    EXPECT_EQ(controller.m_strDataDir, DataFolder());
    EXPECT_EQ(controller.m_strBrowsersIni, DataFolder() + L"\\browsers.ini");
    EXPECT_TRUE(DirExists(DataFolder()));
    EXPECT_EQ(ReadFileBytes(DataFolder() + L"\\browsers.ini"), kDefaultBrowsersIni);

    // The options load after the default file is there: an old option file adds to it.
    EXPECT_EQ(g_loads, 1);
    EXPECT_EQ(g_iniAtLoad, kDefaultBrowsersIni);
    EXPECT_EQ(g_saves, 0);
    EXPECT_EQ(controller.bUninitialize(), TRUE);
    EXPECT_EQ(g_saves, 1);
}

TEST_F(ControllerTest, AnExistingBrowsersIniIsLeftAsItIsAndAnExistingFolderGetsOne) {
    const std::string ini = Narrow(DataFolder() + L"\\browsers.ini");
    const std::string kept[] = {
        "",
        "[Processes]\r\nhh.exe=\r\n",
        "[Browsers]\r\niexplore.exe=1\r\n",
        std::string("\xFF\xFE[\0P\0]\0\r\0\n\0", 12),
    };
    for (const std::string& content : kept) {
        SCOPED_TRACE(testing::PrintToString(content));
        test::ResetPerUserState();
        ASSERT_TRUE(CreateDirectoryW(DataFolder().c_str(), nullptr));
        WriteFileBytes(DataFolder() + L"\\browsers.ini", content);
        CCoreAssist controller;
        EXPECT_EQ(controller.bInitialize(), TRUE);
        EXPECT_EQ(ReadFileBytes(DataFolder() + L"\\browsers.ini"), content);
    }

    test::ResetPerUserState();
    ASSERT_TRUE(CreateDirectoryW(DataFolder().c_str(), nullptr));
    CCoreAssist controller;
    EXPECT_EQ(controller.bInitialize(), TRUE);
    EXPECT_EQ(ReadFileBytes(DataFolder() + L"\\browsers.ini"), kDefaultBrowsersIni);
}

TEST_F(ControllerTest, TheOptionsAreSavedAtUninitializeAndLoadedAtTheNextStart) {
    const std::wstring optionFile = DataFolder() + L"\\AppOption.data";
    {
        CCoreAssist controller;
        ASSERT_EQ(controller.bInitialize(), TRUE);
        EXPECT_EQ(controller.m_option.m_bShowTrayIcon, 1);
        EXPECT_FALSE(FileExists(optionFile)) << "the first save creates it";
        controller.m_option.m_bShowTrayIcon = 0;
        EXPECT_EQ(controller.bUninitialize(), TRUE);
    }
    EXPECT_EQ(ReadFileBytes(optionFile).size(), 430u);
    CCoreAssist next;
    ASSERT_EQ(next.bInitialize(), TRUE);
    EXPECT_EQ(next.m_option.m_bShowTrayIcon, 0);
}

namespace {

// With its log under a folder of the test's own rather than the drive's root.
class LoggedController : public CCoreAssist {
public:
    explicit LoggedController(const std::wstring& base) { m_strBaseDir = base; }
};

} // namespace

TEST_F(ControllerTest, AnOptionFileThatCouldNotBeLoadedIsNotWrittenOverAtExit) {
    const std::wstring file = DataFolder() + L"\\AppOption.data";
    const std::string damaged("\x04\0\0\0\x01", 5);
    ASSERT_TRUE(CreateDirectoryW(DataFolder().c_str(), nullptr));
    WriteFileBytes(file, damaged);
    test::TempDir logs;
    {
        LoggedController controller(logs.path());
        ASSERT_EQ(controller.bInitialize(), TRUE);
        controller.SaveOptions(); // "E&xit" saves the unchanged check box first
        controller.bUninitialize();
    }
    EXPECT_EQ(ReadFileBytes(file), damaged);
    EXPECT_EQ(ReadFileBytes(file + L".corrupt"), damaged);
    const std::vector<std::wstring> days = test::ListFiles(logs / L"Log");
    ASSERT_EQ(days.size(), 1u);
    const std::vector<std::string> records = Lines(ReadFileBytes(logs / (L"Log\\" + days[0])));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].find("[Other Error]CCoreAssist::LoadOptions=Options not loaded: "),
              std::string::npos)
        << records[0];

    // Held without sharing while the program starts, then let go: only a change is written.
    for (bool change : {false, true}) {
        UniqueHandle held(
            CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        LoggedController controller(logs.path());
        ASSERT_EQ(controller.bInitialize(), TRUE);
        held.reset();
        controller.m_option.m_bCheckUpdate = change ? 1 : 0;
        controller.bUninitialize();
        EXPECT_EQ(ReadFileBytes(file).size(), change ? 430u : damaged.size()) << change;
    }
}

TEST_F(ControllerTest, WithoutAppDataTheFilesLiveInTheProgramFolder) {
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver());
    ASSERT_TRUE(program.Run(L"no-appdata options init paths uninit")) << program.Transcript();
    const std::string appDir = Narrow(program.appDir());
    EXPECT_EQ(program.Result("init"), "1");
    EXPECT_EQ(program.Result("AppDir"), appDir);
    EXPECT_EQ(program.Result("DllPath"), appDir + "LumivexDll.dll");
    EXPECT_EQ(program.Result("DataDir"), appDir);
    EXPECT_EQ(program.Result("BrowsersIni"), appDir + "\\browsers.ini");
    EXPECT_EQ(program.Result("load"), appDir);
    EXPECT_EQ(program.Result("save"), appDir);
    EXPECT_EQ(ReadFileBytes(program / L"browsers.ini"), kDefaultBrowsersIni);
    EXPECT_FALSE(DirExists(DataFolder()));
}

TEST_F(ControllerTest, ANormalRunAsksTheServerToEnableDisableAndExitInOrderOnlyUnderWow64) {
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInServer() && program.AddStandInHook());
    ASSERT_TRUE(program.Run(L"wow64 init enable disable exit server-count uninit"))
        << program.Transcript();
    EXPECT_EQ(program.Result("wow64"), kWow64 ? "1" : "0");
    EXPECT_EQ(program.Result("init"), "1");
    EXPECT_EQ(program.Results("disable"), Calls{"1"});
    EXPECT_EQ(program.Results("exit"), Calls{"1"});
    EXPECT_EQ(program.Result("uninit"), "1");
    if (kWow64) {
        // Each command waited for the one before, and the exit for the last one's end.
        EXPECT_EQ(program.Result("server-count"), "3") << program.Transcript();
        ExpectServerStarts(program, {"/Enable", "/Disable", "/Exit"});
    } else {
        Sleep(kQuietMs);
        ExpectServerStarts(program, {});
    }
    // Both stops clear the hook; the library stays until the process ends.
    EXPECT_EQ(program.HookCalls(),
              Calls({"load", "SetIECBT", "ClearIECBT", "ClearIECBT", "unload at exit"}))
        << program.Transcript();
}

TEST_F(ControllerTest, ASlowServerCommandIsNotOvertakenAndEnableIsNotWaitedFor) {
    if (!kWow64) {
        GTEST_SKIP() << "the server is only started under WoW64";
    }
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInServer() && program.AddStandInHook());
    WriteFileBytes(program / L"server_linger.txt", "3000 /Enable\n1000 /Disable\n1000 /Exit\n");
    ASSERT_TRUE(program.Run(L"init enable server-count disable server-count exit server-count"))
        << program.Transcript();
    // "/Enable" was left to itself (the hook went in at once); "/Disable" waited for it, "/Exit"
    // for "/Disable", and the exit for "/Exit".
    EXPECT_EQ(program.Results("server-count"), Calls({"0", "1", "3"})) << program.Transcript();
    ExpectServerStarts(program, {"/Enable", "/Disable", "/Exit"});
    EXPECT_EQ(program.HookCalls(),
              Calls({"load", "SetIECBT", "ClearIECBT", "ClearIECBT", "unload at exit"}));
}

TEST_F(ControllerTest, AServerCommandThatDoesNotEndHoldsTheNextOneUpOnlyForAWhile) {
    if (!kWow64) {
        GTEST_SKIP() << "the server is only started under WoW64";
    }
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInServer());
    WriteFileBytes(program / L"server_linger.txt", "15000 /Disable\n");
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(program.Run(L"init enable disable exit server-count")) << program.Transcript();
    const ULONGLONG took = GetTickCount64() - start;
    EXPECT_LT(took, 12000u) << "the wait for \"/Disable\" is bounded";
    EXPECT_GE(took, 4000u) << "\"/Exit\" did not wait for \"/Disable\" at all";
    EXPECT_EQ(program.Result("server-count"), "2") << program.Transcript();
    EXPECT_TRUE(WaitUntil([&] { return program.ServerCalls().size() >= 3; }, 20000));
    ExpectServerStarts(program, {"/Enable", "/Exit", "/Disable"});
}

TEST_F(ControllerTest, TheRealServerGetsEveryCommandInOrderAndIsGoneAfterTheExit) {
    const std::wstring bin64 = L"" LUMIVEX_BIN64_DIR;
    if (!kWow64 || !FileExists(bin64 + L"\\LumivexServer.exe")) {
        GTEST_SKIP() << "needs WoW64 and the x86_64 tree's server at " << Narrow(bin64);
    }
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInHook());
    ASSERT_TRUE(CopyFileW((bin64 + L"\\LumivexServer.exe").c_str(),
                          (program / L"LumivexServer.exe").c_str(), FALSE));
    // The server tests' probe in place of the 64-bit library: "<WHAT> <pid>" per load and call.
    ASSERT_TRUE(CopyFileW((bin64 + L"\\server_hook_probe.dll").c_str(),
                          (program / L"LumivexDll64.dll").c_str(), FALSE));
    ASSERT_TRUE(program.Run(L"init enable ticks disable ticks enable exit uninit"))
        << program.Transcript();

    // The first "/Enable" stays as the resident server; the next command waited only until it
    // waited for input, not for the bound.
    const std::vector<std::string> ticks = program.Results("ticks");
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_LT(std::stoll(ticks[1]) - std::stoll(ticks[0]), 4000) << program.Transcript();
    std::vector<std::string> events;
    std::set<std::string> processes;
    for (const std::string& line : Lines(ReadFileBytes(program / L"hook_probe.log"))) {
        events.push_back(line.substr(0, line.find(' ')));
        processes.insert(line.substr(line.find(' ') + 1));
    }
    if (!events.empty() && events.back() == "DETACH") {
        events.pop_back(); // the platform may skip it at the resident's end
    }
    EXPECT_EQ(events, Calls({"ATTACH", "SET", "CLEAR", "SET", "CLEAR"}));
    EXPECT_EQ(processes.size(), 1u) << "one resident server carried out every command";
    EXPECT_TRUE(WaitUntil(
        [] {
            UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, test::kServerInstanceName));
            return !mutex;
        },
        5000))
        << "a server outlived the exit";
}

TEST_F(ControllerTest, AFaultInsideTheLibraryIsCaughtAndTheControllerGoesOn) {
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInHook());
    WriteFileBytes(program / L"hook_fault.txt", "");
    ASSERT_TRUE(program.Run(L"init install remove install uninit")) << program.Transcript();
    EXPECT_EQ(program.Results("install"), Calls({"0", "0"})) << "a faulting SetIECBT gives 0";
    EXPECT_EQ(program.Results("remove"), Calls{"1"});
    EXPECT_EQ(program.Result("uninit"), "1");
    EXPECT_EQ(program.HookCalls(),
              Calls({"load", "SetIECBT", "ClearIECBT", "SetIECBT", "unload at exit"}))
        << program.Transcript();
}

TEST_F(ControllerTest, EnableZoomAfterDisableZoomReusesTheLoadedLibrary) {
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInHook());
    ASSERT_TRUE(program.Run(L"init enable disable enable install remove install"))
        << program.Transcript();
    EXPECT_EQ(program.Results("install"), Calls({"7", "7"})) << "SetIECBT's own result";
    EXPECT_EQ(program.Results("remove"), Calls{"1"});
    EXPECT_EQ(program.HookCalls(), Calls({"load", "SetIECBT", "ClearIECBT", "SetIECBT", "SetIECBT",
                                          "ClearIECBT", "SetIECBT", "unload at exit"}))
        << program.Transcript();
}

TEST_F(ControllerTest, AMissingLibraryIsLoadedByTheFirstEnableZoomAfterItIsBack) {
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInServer());
    const std::wstring go = program.appDir() + L"go";
    ASSERT_TRUE(program.Start(L"init install enable mark:missing await:" + go +
                              (kWow64 ? L" enable server-lines:2 install exit server-lines:3"
                                      : L" enable install exit")));
    ASSERT_TRUE(program.WaitForReport("mark", "missing")) << program.Transcript();
    EXPECT_EQ(program.Result("init"), "1");
    EXPECT_EQ(program.Results("install"), Calls{"0"});
    if (kWow64) {
        // The server does not depend on the library.
        EXPECT_TRUE(WaitUntil([&] { return !program.ServerCalls().empty(); }, 10000));
        ExpectServerStarts(program, {"/Enable"});
    }

    ASSERT_TRUE(program.AddStandInHook());
    WriteFileBytes(go, "");
    ASSERT_TRUE(program.Wait()) << program.Transcript();
    EXPECT_EQ(program.Results("install"), Calls({"0", "7"}));
    EXPECT_EQ(program.HookCalls(),
              Calls({"load", "SetIECBT", "SetIECBT", "ClearIECBT", "unload at exit"}))
        << program.Transcript();
    if (kWow64) {
        ExpectServerStarts(program, {"/Enable", "/Enable", "/Exit"});
    }
}

TEST_F(ControllerTest, ALibraryWithoutSetIECBTAndAMissingServerArePutUpWith) {
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInHookWithoutSet());
    ASSERT_TRUE(program.Run(L"init install enable disable exit uninit", 30000))
        << "a missing server must not hold the controller up\n"
        << program.Transcript();
    EXPECT_EQ(program.Results("install"), Calls{"0"});
    // Loaded once: only the export is missing, so nothing is loaded again.
    EXPECT_EQ(program.HookCalls(), Calls({"load", "ClearIECBT", "ClearIECBT", "unload at exit"}))
        << program.Transcript();
}

TEST_F(ControllerTest, BeforeInitializeNothingIsStartedLoadedOrSaved) {
    // Beside the driver, and in its working folder, where a start or load by bare name would
    // find them.
    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInServer() && program.AddStandInHook());
    ASSERT_TRUE(program.Run(L"options enable install disable exit uninit")) << program.Transcript();
    EXPECT_EQ(program.Result("install"), "0");
    EXPECT_EQ(program.Result("exit"), "1");
    EXPECT_EQ(program.Result("uninit"), "1");
    EXPECT_TRUE(program.Results("save").empty()) << program.Transcript();
    EXPECT_TRUE(program.Results("load").empty());
    Sleep(kQuietMs);
    EXPECT_TRUE(program.ServerCalls().empty()) << program.Transcript();
    EXPECT_TRUE(program.HookCalls().empty()) << program.Transcript();
    EXPECT_FALSE(DirExists(DataFolder()));
}

namespace {

// Program folder lengths (without the trailing backslash) at the edges of the buffers.
constexpr size_t kServerFits = 237;  // 238 + "LumivexServer.exe": 255 and the terminator
constexpr size_t kLibraryFits = 244; // 245 + "LumivexDll.dll": 259 and the terminator
constexpr size_t kProgramFits = 253; // 254 + "d.exe": 259 and the terminator

} // namespace

TEST_F(ControllerTest, ServerAndLibraryPathsThatDoNotFitTheirBuffersAreRefused) {
    for (size_t length : {kServerFits, kServerFits + 1, kLibraryFits, kLibraryFits + 1}) {
        SCOPED_TRACE(length);
        ProgramFolder program(length);
        ASSERT_EQ(program.path().size(), length);
        ASSERT_TRUE(program.AddDriver() && program.AddStandInServer() && program.AddStandInHook());
        const bool serverStarts = kWow64 && length <= kServerFits;
        ASSERT_TRUE(program.Run(serverStarts ? L"init enable server-lines:1 exit server-lines:2"
                                             : L"init enable exit"))
            << program.Transcript();
        EXPECT_EQ(program.HookCalls(),
                  length <= kLibraryFits
                      ? Calls({"load", "SetIECBT", "ClearIECBT", "unload at exit"})
                      : Calls{})
            << program.Transcript();
        if (serverStarts) {
            ExpectServerStarts(program, {"/Enable", "/Exit"});
        } else {
            Sleep(kQuietMs);
            ExpectServerStarts(program, {});
        }
    }
}

TEST_F(ControllerTest, AProgramFileNameThatDoesNotFitLeavesTheProgramFolderUnknown) {
    {
        ProgramFolder program(kProgramFits);
        ASSERT_TRUE(program.AddDriver());
        ASSERT_TRUE(program.Run(L"init paths")) << program.Transcript();
        EXPECT_EQ(program.Result("AppDir"), Narrow(program.appDir()));
    }
    ProgramFolder program(kProgramFits + 1);
    ASSERT_TRUE(program.AddDriver() && program.AddStandInServer() && program.AddStandInHook());
    ASSERT_TRUE(program.Run(L"options init paths install enable exit uninit"))
        << program.Transcript();
    EXPECT_EQ(program.Result("init"), "1");
    EXPECT_EQ(program.Result("AppDir"), "");
    EXPECT_EQ(program.Result("DllPath"), "");
    EXPECT_EQ(program.Result("install"), "0");
    // The per-user folder does not depend on the program's.
    EXPECT_EQ(program.Result("DataDir"), Narrow(DataFolder()));
    EXPECT_EQ(program.Result("load"), Narrow(DataFolder()));
    EXPECT_EQ(program.Result("save"), Narrow(DataFolder()));
    EXPECT_EQ(ReadFileBytes(DataFolder() + L"\\browsers.ini"), kDefaultBrowsersIni);
    Sleep(kQuietMs);
    EXPECT_TRUE(program.HookCalls().empty()) << program.Transcript();
    EXPECT_TRUE(program.ServerCalls().empty()) << program.Transcript();

    // Without the per-user folder as well, no file has a folder to go to.
    test::ResetPerUserState();
    const bool rootIniBefore = FileExists(L"C:\\browsers.ini");
    ProgramFolder homeless(kProgramFits + 1);
    ASSERT_TRUE(homeless.AddDriver());
    ASSERT_TRUE(homeless.Run(L"no-appdata options init paths uninit")) << homeless.Transcript();
    EXPECT_EQ(homeless.Result("init"), "1");
    EXPECT_EQ(homeless.Result("DataDir"), "");
    EXPECT_EQ(homeless.Result("BrowsersIni"), "");
    EXPECT_TRUE(homeless.Results("load").empty());
    EXPECT_TRUE(homeless.Results("save").empty());
    if (!rootIniBefore) {
        EXPECT_FALSE(FileExists(L"C:\\browsers.ini"));
    }
    EXPECT_FALSE(DirExists(DataFolder()));
}
