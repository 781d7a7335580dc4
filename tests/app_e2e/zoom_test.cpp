// What the user gets from the program: browser hosts zoom while it runs, and hosts started after
// its "E&xit" are left alone, with no server left behind.
#include "app_fixture.h"

#include "host_client.h"

#include "test_windows.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace lumivex::appe2e;
using namespace lumivex::browserhost;
namespace test = lumivex::test;

namespace {

constexpr UINT kProbeMessage = WM_APP + 500;
constexpr DWORD_PTR kProbeReply = 0xAF2891FAu;
constexpr long long kOpticalZoom = 63;

bool Subclassed(HWND browser) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(browser, kProbeMessage, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) &&
           answer == kProbeReply;
}

// Focus changes onto browser 0 until the hook has taken it (the 64-bit hook comes from a server
// started without waiting, so it may be there a little after the program's dialog).
bool FocusUntilTaken(HostProcess& host) {
    return test::WaitUntil(
        [&] { return host.Send(L"focus 0").value_or(0) == 1 && Subclassed(host.browser(0)); },
        15000, 250);
}

bool WaitFor(HostProcess& host, const char* kind, WORD vk, size_t from) {
    return host
        .WaitForLine(
            [&](const LogLine& line) {
                return Is(line, kind, 0) && (vk == 0 || line.Number("vk") == vk);
            },
            5000, from)
        .has_value();
}

// Ctrl and "+", then Ctrl and the wheel up, on browser 0 of a host that has the focus: the zoom
// levels its browser was given.
std::vector<long long> ZoomInByKeyAndWheel(HostProcess& host) {
    const size_t start = host.Mark();
    if (!InjectKey(VK_OEM_PLUS, true) || !WaitFor(host, "KEYUP", VK_OEM_PLUS, start) ||
        !WaitFor(host, "KEYUP", VK_CONTROL, start)) {
        ADD_FAILURE() << "Ctrl and \"+\" did not reach the host";
        return {};
    }
    const size_t wheel = host.Mark();
    if (!host.PointAt(0) || !InjectCtrlWheel(WHEEL_DELTA) || !WaitFor(host, "WHEEL", 0, wheel) ||
        !WaitFor(host, "KEYUP", VK_CONTROL, wheel)) {
        ADD_FAILURE() << "Ctrl and the wheel did not reach the host";
        return {};
    }
    std::vector<long long> levels;
    for (const LogLine& line : host.Lines("EXECWB", 0, start)) {
        if (line.Number("cmd") == kOpticalZoom) {
            levels.push_back(line.Number("in_value").value_or(-1));
        }
    }
    return levels;
}

// A host started now is left alone: its browser keeps the host's own window procedure.
void ExpectLeftAlone(const std::wstring& program) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"", program)) << host.error();
    EXPECT_EQ(host.Send(L"focus 0").value_or(0), 1);
    EXPECT_EQ(host.Send(L"wndproc 0").value_or(0), 1) << "subclassed after the program ended";
    EXPECT_FALSE(Subclassed(host.browser(0)));
    EXPECT_EQ(host.Quit(), 0u);
}

void ExpectZooms(const std::wstring& program) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"", program)) << host.error();
    ASSERT_TRUE(FocusUntilTaken(host)) << "the hook did not take the browser\n"
                                       << host.Transcript();
    EXPECT_EQ(ZoomInByKeyAndWheel(host), (std::vector<long long>{120, 140})) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u);
}

class AppZoom : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        // The hook library's first-use prompt stays quiet for the host.
        CreateDirectoryW(DataDir().c_str(), nullptr);
        ASSERT_TRUE(WritePrivateProfileStringW(L"Browsers", L"browser_host.exe", L"0",
                                               (DataDir() + L"\\browsers.ini").c_str()));
    }

    void ExitByTrayMenu(LumivexRun& app) {
        ASSERT_TRUE(app.ChooseTrayItem(kMenuExit));
        ASSERT_NE(app.WaitForExit(), STILL_ACTIVE);
        EXPECT_TRUE(WaitNoServer()) << "a LumivexServer.exe is still running";
    }

    const std::wstring m_host32 = DefaultHostProgram();
    const std::wstring m_host64 = Tree64Dir() + L"\\browser_host.exe";
};

// Wine 8 offers a process every global hook, whatever its library's bitness, and a library that
// cannot be loaded there ends the hook chain: only the hook installed last is seen by programs
// of its bitness, and the other bitness gets none. With the server's hook on top, 32-bit hosts
// see no hook at all. So the program's own 32-bit hook is seen from a folder without the server
// (which the program must take in its stride), the server's with the folder as it ships.
TEST_F(AppZoom, OwnHookZoomsA32BitHostAndLeavesItAloneAfterExit) {
    ASSERT_TRUE(DeleteFileW((m_folder / kServerProgram).c_str()));
    ASSERT_TRUE(m_app.Start(m_folder, L"-m"));
    EXPECT_EQ(ServerProcesses(), 0);
    ExpectZooms(m_host32);
    ExitByTrayMenu(m_app);
    ExpectLeftAlone(m_host32);
}

TEST_F(AppZoom, ServerZoomsA64BitHostAndNoHostIsTakenAfterExit) {
    ASSERT_TRUE(m_app.Start(m_folder, L"-m"));
    ExpectZooms(m_host64);
    ExitByTrayMenu(m_app);
    for (const std::wstring& host : {m_host32, m_host64}) {
        SCOPED_TRACE(test::Narrow(host));
        ExpectLeftAlone(host);
    }
}

} // namespace
