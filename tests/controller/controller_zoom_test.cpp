// The main program's road with the real 32-bit hook library: the controller's EnableZoom makes
// a 32-bit browser host zoom, and after DisableZoom a host started afresh is left alone. (The
// platform never takes the library out of a process it entered, so "left alone" can only be
// seen in a new one.)
#include "program_folder.h"

#include "host_client.h"

#include "test_files.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <climits>

using namespace lumivex::browserhost;
using namespace lumivex::controllertest;
using lumivex::test::AppDataDir;
using lumivex::test::Narrow;
using lumivex::test::WriteFileBytes;

namespace {

constexpr std::intptr_t kNoReply = INTPTR_MIN;

std::intptr_t Ask(HostProcess& host, const std::wstring& text) {
    return host.Send(text).value_or(kNoReply);
}

// Focuses browser 0 (a real focus change, which the hook sees) and presses Ctrl and "+".
// Returns the mark from which the host's answer to the key lies.
size_t FocusAndPressCtrlPlus(HostProcess& host) {
    const size_t focused = host.Mark();
    EXPECT_EQ(Ask(host, L"focus 0"), 1) << host.Transcript();
    EXPECT_TRUE(host.WaitForLine([](const LogLine& line) { return Is(line, "SETFOCUS", 0); }, 5000,
                                 focused))
        << host.Transcript();
    const size_t pressed = host.Mark();
    EXPECT_TRUE(InjectKey(VK_OEM_PLUS, true));
    EXPECT_TRUE(host.WaitForLine(
        [](const LogLine& line) {
            return Is(line, "KEYUP", 0) && line.Number("vk") == VK_OEM_PLUS;
        },
        5000, pressed))
        << host.Transcript();
    return pressed;
}

bool IsZoomTo(const LogLine& line, long long level) {
    return Is(line, "EXECWB", 0) && line.Number("cmd") == 63 && line.Number("in_value") == level;
}

} // namespace

TEST(ControllerZoom, EnableZoomZoomsAHostAndDisableZoomSparesTheNextOne) {
    lumivex::test::ResetPerUserState();
    // The library's first-use prompt stays quiet for the host. An existing file also keeps the
    // controller from writing its defaults, none of which names the host.
    const std::wstring folder = AppDataDir() + L"\\Lumivex";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WritePrivateProfileStringW(L"Browsers", L"browser_host.exe", L"0",
                                           (folder + L"\\browsers.ini").c_str()));

    ProgramFolder program;
    ASSERT_TRUE(program.AddDriver() && program.AddStandInServer() &&
                program.Add(L"LumivexDll.dll", L"LumivexDll.dll"));
    const std::wstring disableNow = program.appDir() + L"disable-now";
    const std::wstring exitNow = program.appDir() + L"exit-now";
    ASSERT_TRUE(program.Start(L"init enable mark:enabled await:" + disableNow +
                              L" disable mark:disabled await:" + exitNow + L" exit uninit"));
    ASSERT_TRUE(program.WaitForReport("mark", "enabled")) << program.Transcript();

    {
        SCOPED_TRACE("zoom enabled");
        HostProcess host;
        ASSERT_TRUE(host.Start(L"")) << host.error();
        const size_t pressed = FocusAndPressCtrlPlus(host);
        EXPECT_TRUE(
            host.WaitForLine([](const LogLine& line) { return IsZoomTo(line, 120); }, 5000, pressed)
                .has_value())
            << host.Transcript();
        EXPECT_EQ(Ask(host, L"zoom 0"), 120);
        EXPECT_EQ(Ask(host, L"wndproc 0"), 0) << "subclassed by the library";
        EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    }

    WriteFileBytes(disableNow, "");
    ASSERT_TRUE(program.WaitForReport("mark", "disabled")) << program.Transcript();
    {
        SCOPED_TRACE("zoom disabled");
        HostProcess host;
        ASSERT_TRUE(host.Start(L"")) << host.error();
        const size_t pressed = FocusAndPressCtrlPlus(host);
        // The key went by; give a zoom that must not come the time one takes.
        Sleep(1500);
        EXPECT_TRUE(host.Lines("EXECWB", -1, pressed).empty()) << host.Transcript();
        EXPECT_EQ(Ask(host, L"zoom 0"), 100);
        EXPECT_EQ(Ask(host, L"wndproc 0"), 1) << "the host's own window procedure";
        EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    }

    WriteFileBytes(exitNow, "");
    ASSERT_TRUE(program.Wait()) << program.Transcript();
    EXPECT_EQ(program.Result("init"), "1");
    EXPECT_EQ(program.Result("exit"), "1");
    // A 32-bit controller on 64-bit Windows also asked the server each time, one command after
    // the other; the exit waited for the last.
    std::vector<std::string> arguments;
    for (const std::string& call : program.ServerCalls()) {
        arguments.push_back(call.substr(0, call.find('|')));
    }
    EXPECT_EQ(arguments, (std::vector<std::string>{"/Enable", "/Disable", "/Exit"}));
    lumivex::test::ResetPerUserState();
}
