// What the user gets from the program: browser hosts zoom while it runs, and hosts started after
// its "E&xit" are left alone, with no server left behind.
#include "app_fixture.h"
#include "host_zoom.h"

#include "test_windows.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace lumivex::appe2e;
using namespace lumivex::browserhost;
namespace test = lumivex::test;

namespace {

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
