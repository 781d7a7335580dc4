// The server's processes and commands, watched through a probe library that stands in for the
// hook library beside a copy of the server and records every load and call.
#include "server_client.h"

#include "test_files.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

using namespace lumivex::servertest;
using lumivex::test::TempDir;

namespace {

// A copy of the server in a folder of its own, with the probe as its hook library.
class ProbeServerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ServerMutexExists()) << "a server from elsewhere is running";
        m_program = m_dir / L"LumivexServer.exe";
        ASSERT_TRUE(CopyFileW(ServerProgram().c_str(), m_program.c_str(), FALSE));
    }
    void TearDown() override { m_resident.Exit(); }

    void PutProbeInPlace() {
        const std::wstring probe = lumivex::test::ProgramDir() + L"\\server_hook_probe.dll";
        ASSERT_TRUE(CopyFileW(probe.c_str(), (m_dir / L"LumivexDll64.dll").c_str(), FALSE));
    }

    // What the probe recorded: "WHAT" for the resident server, "WHAT by <pid>" for any other.
    std::vector<std::string> Events() {
        std::vector<std::string> events;
        std::istringstream lines(lumivex::test::ReadFileBytes(m_dir / L"hook_probe.log"));
        std::string what;
        unsigned long pid = 0;
        while (lines >> what >> pid) {
            events.push_back(pid == m_resident.pid() ? what : what + " by " + std::to_string(pid));
        }
        return events;
    }
    // The events without the unload at the resident's end, whose report the platform may skip.
    std::vector<std::string> EventsBeforeUnload() {
        std::vector<std::string> events = Events();
        if (!events.empty() && events.back() == "DETACH") {
            events.pop_back();
        }
        return events;
    }

    TempDir m_dir;
    std::wstring m_program;
    ServerProcess m_resident;
};

using Strings = std::vector<std::string>;

} // namespace

TEST(ServerDeliverable, WindowsProgramWithVersionAndHiddenDialog) {
    HMODULE image = LoadLibraryExW(ServerProgram().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr) << GetLastError();

    HRSRC dialog = FindResourceW(image, MAKEINTRESOURCEW(317), MAKEINTRESOURCEW(5)); // RT_DIALOG
    ASSERT_NE(dialog, nullptr) << "dialog 317";
    // DIALOGEX: version 1, signature 0xFFFF, help id, extended style, style.
    const auto* words = static_cast<const WORD*>(LockResource(LoadResource(image, dialog)));
    ASSERT_NE(words, nullptr);
    ASSERT_EQ(words[0], 1);
    ASSERT_EQ(words[1], 0xFFFF);
    DWORD style = 0;
    memcpy(&style, words + 6, sizeof style);
    EXPECT_EQ(style & WS_VISIBLE, 0u) << "the template would show the window";
    EXPECT_EQ(style & WS_CHILD, 0u);

    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(ServerProgram().c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(ServerProgram().c_str(), 0, size, info.data()));
    wchar_t* name = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\InternalName",
                               reinterpret_cast<void**>(&name), &length));
    EXPECT_STREQ(name, L"LumivexServer");
    FreeLibrary(image);

    // A program of the graphical subsystem, so no console comes up with it.
    const std::string bytes = lumivex::test::ReadFileBytes(ServerProgram());
    ASSERT_GT(bytes.size(), 0x200u);
    LONG peOffset = 0;
    memcpy(&peOffset, bytes.data() + 0x3C, sizeof peOffset);
    IMAGE_NT_HEADERS64 headers = {};
    ASSERT_LT(static_cast<size_t>(peOffset) + sizeof headers, bytes.size());
    memcpy(&headers, bytes.data() + peOffset, sizeof headers);
    EXPECT_EQ(headers.FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(headers.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST_F(ProbeServerTest, ResidentCarriesOutEveryMessengersCommandAndEndsOnExit) {
    PutProbeInPlace();
    ASSERT_TRUE(m_resident.Start(L"/Enable", m_program));
    HWND window = m_resident.WaitForWindow();
    ASSERT_NE(window, nullptr) << "no window answered the server's message";
    EXPECT_TRUE(ServerMutexExists());
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(VisibleWindowsOf(m_resident.pid()), 0);
    EXPECT_EQ(Events(), (Strings{"ATTACH", "SET"}));

    // Each messenger waits until the resident has carried out its command, then ends with 0.
    // The library is loaded once; "Enable" again calls SetIECBT again.
    EXPECT_EQ(RunServer(L"-ENABLE"), 0u);
    EXPECT_EQ(Events(), (Strings{"ATTACH", "SET", "SET"}));
    EXPECT_EQ(RunServer(L"/disable"), 0u);
    EXPECT_EQ(Events(), (Strings{"ATTACH", "SET", "SET", "CLEAR"}));
    EXPECT_EQ(RunServer(L"/Enable"), 0u);
    EXPECT_EQ(Events(), (Strings{"ATTACH", "SET", "SET", "CLEAR", "SET"}));
    // Commands that ask for nothing: passed on, and nothing happens.
    for (const wchar_t* args : {L"/Inject /123", L"", L"/Bogus", L"Exit"}) {
        SCOPED_TRACE(lumivex::test::Narrow(args));
        EXPECT_EQ(RunServer(args), 0u);
    }
    EXPECT_EQ(Events(), (Strings{"ATTACH", "SET", "SET", "CLEAR", "SET"}));
    EXPECT_TRUE(m_resident.Running());
    EXPECT_EQ(FindServerWindow(), window);

    EXPECT_EQ(RunServer(L"/Exit"), 0u);
    EXPECT_EQ(m_resident.Wait(10000), 0u) << "the resident server did not end with 0";
    EXPECT_EQ(EventsBeforeUnload(), (Strings{"ATTACH", "SET", "SET", "CLEAR", "SET", "CLEAR"}));
    EXPECT_FALSE(ServerMutexExists()) << "the mutex outlived the server";
    EXPECT_EQ(FindServerWindow(), nullptr);

    // The next start is resident again.
    ServerProcess next;
    ASSERT_TRUE(next.Start(L"/Disable", m_program));
    EXPECT_NE(next.WaitForWindow(), nullptr);
    EXPECT_EQ(next.Exit(), 0u);
}

TEST_F(ProbeServerTest, WithNoServerRunningExitEndsAtOnceAndOthersStartWithoutHook) {
    PutProbeInPlace();
    const DWORD start = GetTickCount();
    EXPECT_EQ(RunServer(L"/Exit", m_program), 0u);
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_TRUE(Events().empty()) << "\"Exit\" loaded the library";
    EXPECT_FALSE(ServerMutexExists());

    for (const wchar_t* args : {L"/Disable", L"", L"/Inject /5"}) {
        SCOPED_TRACE(lumivex::test::Narrow(args));
        lumivex::test::ResetPerUserState();
        ASSERT_TRUE(m_resident.Start(args, m_program));
        ASSERT_NE(m_resident.WaitForWindow(), nullptr);
        // It stays without loading anything, and it made the per-user folder.
        EXPECT_EQ(m_resident.Wait(500), static_cast<DWORD>(STILL_ACTIVE));
        EXPECT_TRUE(Events().empty());
        EXPECT_TRUE(lumivex::test::DirExists(lumivex::test::AppDataDir() + L"\\Lumivex"));
        EXPECT_EQ(m_resident.Exit(), 0u);
        EXPECT_TRUE(Events().empty()) << "removing a hook that was never set loaded the library";
    }

    // The first "Enable" a resident server gets loads the library.
    ASSERT_TRUE(m_resident.Start(L"/Disable", m_program));
    ASSERT_NE(m_resident.WaitForWindow(), nullptr);
    EXPECT_EQ(RunServer(L"/Enable"), 0u);
    EXPECT_EQ(Events(), (Strings{"ATTACH", "SET"}));
}

TEST_F(ProbeServerTest, MessengerWithoutAnAnsweringWindowEndsAndPassesNothing) {
    PutProbeInPlace();
    // A mutex of that name that no server window goes with.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kServerName);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(RunServer(L"/Enable", m_program), 0u);
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(FindServerWindow(), nullptr);
    CloseHandle(mutex);
}

TEST_F(ProbeServerTest, MessengerWaitsForASlowResidentButNotForAHungOne) {
    // A resident that takes its time is waited for: the command is carried out when it ends.
    {
        StandInResident slow(2000);
        ASSERT_NE(slow.window(), nullptr);
        const DWORD start = GetTickCount();
        EXPECT_EQ(RunServer(L"/Inject /-7", m_program), 0u);
        EXPECT_GE(GetTickCount() - start, 1900u) << "the messenger did not wait for the command";
        EXPECT_EQ(slow.Commands(), (std::vector<std::pair<WPARAM, LPARAM>>{{3, -7}}));
    }
    // One that never answers is given up on, so it cannot hang every later start with it.
    StandInResident hung(INFINITE);
    ASSERT_NE(hung.window(), nullptr);
    const DWORD start = GetTickCount();
    EXPECT_EQ(RunServer(L"/Enable", m_program, 60000), 0u) << "the messenger hung with it";
    const DWORD took = GetTickCount() - start;
    printf("the messenger ended %lu ms after its start\n", took);
    EXPECT_LT(took, 30000u);
    EXPECT_EQ(hung.Commands(), (std::vector<std::pair<WPARAM, LPARAM>>{{1, 0}}));
}
