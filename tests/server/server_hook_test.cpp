// The server with the real 64-bit hook library and browser hosts of both bitnesses: what its
// commands do to programs started while the hook is on or off.
#include "server_client.h"

#include "host_client.h"
#include "test_files.h"
#include "test_process.h"

#include <gtest/gtest.h>

using namespace lumivex::servertest;
using namespace lumivex::browserhost;
using lumivex::test::FileExists;
using lumivex::test::TempDir;

namespace {

constexpr UINT kProbeMessage = WM_APP + 500;
constexpr LRESULT kProbeReply = static_cast<LRESULT>(0xAF2891FAu);
constexpr long long kOpticalZoom = 63;

std::wstring Host32Program() {
    return std::wstring(L"" LUMIVEX_HOST32_DIR) + L"/browser_host.exe";
}

LRESULT Probe(HWND browser) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(browser, kProbeMessage, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
        return 0;
    }
    return static_cast<LRESULT>(answer);
}

// Gives browser 0 the focus and presses Ctrl and "+" once; the zoom levels the browser was sent
// for that key. The hook zooms before the key reaches the host, so once the host has the key-up
// every zoom of that key is in the log.
std::vector<long long> ZoomsForOneKey(HostProcess& host, std::string& transcript) {
    std::vector<long long> zooms;
    size_t mark = host.Mark();
    if (host.Send(L"focus 0").value_or(0) != 1) {
        transcript = "focus failed\n" + host.Transcript();
        return zooms;
    }
    // A subclassed window fetches its document first; let that finish before the key.
    host.WaitForLine([](const LogLine& line) { return Is(line, "GETOBJECT", 0); }, 2000, mark);
    mark = host.Mark();
    if (!InjectKey(VK_OEM_PLUS, true) || !host.WaitForLine(
                                             [](const LogLine& line) {
                                                 return Is(line, "KEYUP", 0) &&
                                                        line.Number("vk") == VK_OEM_PLUS;
                                             },
                                             5000, mark)) {
        transcript = "the key did not arrive\n" + host.Transcript();
        return zooms;
    }
    for (const LogLine& line : host.Lines("EXECWB", 0, mark)) {
        if (line.Number("cmd") == kOpticalZoom) {
            zooms.push_back(line.Number("in_value").value_or(-1));
        }
    }
    transcript = host.Transcript();
    return zooms;
}

using Zooms = std::vector<long long>;

class ServerHookTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ServerMutexExists()) << "a server from elsewhere is running";
        QuietBrowserHost();
    }
    void TearDown() override { m_resident.Exit(); }

    // A 64-bit host started now, subclassed or not by the hook as it stands.
    void ExpectNewHostZooms(bool zooms, const std::wstring& program = L"") {
        HostProcess host;
        ASSERT_TRUE(host.Start(L"", program)) << host.error();
        std::string transcript;
        const Zooms seen = ZoomsForOneKey(host, transcript);
        if (zooms) {
            EXPECT_EQ(Probe(host.browser(0)), kProbeReply) << "not subclassed";
            EXPECT_EQ(seen, Zooms{120}) << transcript;
        } else {
            EXPECT_NE(Probe(host.browser(0)), kProbeReply) << "subclassed";
            EXPECT_EQ(seen, Zooms{}) << transcript;
        }
        EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    }

    ServerProcess m_resident;
};

} // namespace

TEST_F(ServerHookTest, EnableHooksNew64BitHostsOnlyAndAgainKeepsOneHook) {
    ASSERT_TRUE(m_resident.Start(L"/Enable"));
    ASSERT_NE(m_resident.WaitForWindow(), nullptr);
    EXPECT_EQ(VisibleWindowsOf(m_resident.pid()), 0);

    HostProcess host64;
    ASSERT_TRUE(host64.Start(L"")) << host64.error();
    std::string transcript;
    EXPECT_EQ(ZoomsForOneKey(host64, transcript), Zooms{120}) << transcript;
    EXPECT_EQ(Probe(host64.browser(0)), kProbeReply);

    // "Enable" again comes from a messenger; still one hook, so one step per key.
    EXPECT_EQ(RunServer(L"/Enable"), 0u);
    EXPECT_TRUE(m_resident.Running());
    EXPECT_EQ(ZoomsForOneKey(host64, transcript), Zooms{140}) << transcript;
    EXPECT_EQ(host64.Quit(), 0u) << host64.Transcript();
    ExpectNewHostZooms(true);
}

TEST_F(ServerHookTest, Enable32BitHostWorksOnUndisturbed) {
    if (!FileExists(Host32Program())) {
        GTEST_SKIP() << "no 32-bit browser host at " << lumivex::test::Narrow(Host32Program())
                     << " (build the i686 tree first)";
    }
    ASSERT_TRUE(m_resident.Start(L"/Enable"));
    ASSERT_NE(m_resident.WaitForWindow(), nullptr);
    // A 32-bit program is out of this library's reach; its focus changes still pass through
    // the hook chain, and the server keeps answering while they do.
    HostProcess host32;
    ASSERT_TRUE(host32.Start(L"--browsers=2", Host32Program())) << host32.error();
    EXPECT_EQ(host32.ready().Text("bits"), "32");
    std::string transcript;
    EXPECT_EQ(ZoomsForOneKey(host32, transcript), Zooms{}) << transcript;
    EXPECT_EQ(host32.Send(L"focus 1").value_or(0), 1) << host32.Transcript();
    for (int index = 0; index < 2; ++index) {
        SCOPED_TRACE(index);
        EXPECT_NE(Probe(host32.browser(index)), kProbeReply);
        EXPECT_EQ(host32.Send(L"wndproc " + std::to_wstring(index)).value_or(0), 1)
            << "its own window procedure";
        EXPECT_EQ(host32.Send(L"zoom " + std::to_wstring(index)).value_or(0), 100);
    }
    EXPECT_TRUE(host32.Lines("UNEXPECTED").empty()) << host32.Transcript();
    EXPECT_EQ(host32.Quit(), 0u) << host32.Transcript();
    EXPECT_NE(FindServerWindow(), nullptr);
    ExpectNewHostZooms(true);
}

TEST_F(ServerHookTest, DisableLeavesNewHostsAloneAndEnableTurnsItOnAgain) {
    ASSERT_TRUE(m_resident.Start(L"/Enable"));
    ASSERT_NE(m_resident.WaitForWindow(), nullptr);
    EXPECT_EQ(RunServer(L"/Disable"), 0u);
    ExpectNewHostZooms(false);
    EXPECT_EQ(RunServer(L"/Enable"), 0u);
    ExpectNewHostZooms(true);

    EXPECT_EQ(RunServer(L"/Exit"), 0u);
    EXPECT_EQ(m_resident.Wait(10000), 0u);
    EXPECT_FALSE(ServerMutexExists());
    ExpectNewHostZooms(false);
}

TEST_F(ServerHookTest, MissingLibraryIsTakenUpByALaterEnable) {
    TempDir dir;
    const std::wstring program = dir / L"LumivexServer.exe";
    ASSERT_TRUE(CopyFileW(ServerProgram().c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(m_resident.Start(L"/Enable", program));
    ASSERT_NE(m_resident.WaitForWindow(), nullptr);
    ExpectNewHostZooms(false);
    EXPECT_TRUE(m_resident.Running());
    EXPECT_EQ(VisibleWindowsOf(m_resident.pid()), 0);

    ASSERT_TRUE(CopyFileW(HookLibrary().c_str(), (dir / L"LumivexDll64.dll").c_str(), FALSE));
    EXPECT_EQ(RunServer(L"/Enable"), 0u);
    ExpectNewHostZooms(true);
    EXPECT_EQ(m_resident.Exit(), 0u);
}
