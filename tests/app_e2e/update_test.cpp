// The update check as the user meets it: the options page's box turns it on (and is saved), the
// program asks our loopback server once per run at the address and delay the environment gives,
// a new version shows a balloon at the tray icon and a link on the About page, and both open only
// a web address. A server that never answers keeps neither the dialog nor "E&xit" waiting.
#include "app_fixture.h"

#include "loopback_http_server.h"
#include "test_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace lumivex::appe2e;
namespace test = lumivex::test;
using test::HttpConnection;
using test::HttpRequest;
using test::LoopbackHttpServer;

namespace {

constexpr char kPath[] = "/product/update.ini";
constexpr wchar_t kNotice[] =
    L"New version of Lumivex is available, click here for more information.";
constexpr UINT kBalloonClick = WM_USER + 5; // NIN_BALLOONUSERCLICK, as the shell sends it

// Shown on its page, whether or not the page is the one in front.
bool Shown(HWND control) {
    return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

class AppUpdate : public AppTest {
protected:
    // Serves `description` at the description's path (404 elsewhere) and points the program there
    // with a check one second after it is armed.
    void Serve(std::string description) {
        m_server = std::make_unique<LoopbackHttpServer>(
            [description](const HttpRequest& request, HttpConnection& c) {
                c.Reply(request.target == kPath ? 200 : 404, description);
            });
        SetAddress();
    }
    void SetAddress() {
        m_url.emplace(L"LUMIVEX_UPDATE_URL", m_server->Url(L"/product/update.ini").c_str());
        m_delay.emplace(L"LUMIVEX_UPDATE_DELAY", L"1");
    }
    bool WaitRequests(int count) {
        return test::WaitUntil([&] { return m_server->CountRequests(kPath) >= count; }, 15000, 50);
    }
    bool WaitBalloon() {
        return test::WaitUntil(
            [] {
                const auto texts = test::ShellBalloonTexts();
                return std::find(texts.begin(), texts.end(), kNotice) != texts.end();
            },
            5000, 50);
    }

    std::unique_ptr<LoopbackHttpServer> m_server;
    std::optional<test::EnvironmentScope> m_url;
    std::optional<test::EnvironmentScope> m_delay;
};

TEST_F(AppUpdate, BoxTurnsTheCheckOnAndANewVersionShowsABalloonThatOpensItsPage) {
    const std::wstring page = L"https://www.lumivex.example/download/1.3.0";
    Serve("[Lumivex]\r\nVersion=V1.3.0\r\nNewVerFile=" + test::Narrow(page) + "\r\n");
    UrlRecorder recorder;

    // Off by default: no request, however long the program runs.
    ASSERT_TRUE(m_app.Start(m_folder));
    EXPECT_FALSE(m_app.Checked(kCheckUpdateBox));
    Sleep(2000);
    EXPECT_EQ(m_server->RequestCount(), 0) << "the check ran while it was off";

    ASSERT_TRUE(m_app.Click(kCheckUpdateBox));
    ASSERT_TRUE(WaitRequests(1)) << "ticking the box started no check";
    EXPECT_TRUE(WaitBalloon()) << "no balloon with the notice at the tray icon";
    HWND link = m_app.PageControl(kUpdateLink);
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(test::WaitUntil([&] { return Shown(link); }, 3000));
    EXPECT_EQ(test::WindowText(link), kNotice);

    ASSERT_TRUE(m_app.TrayEvent(kBalloonClick));
    ASSERT_TRUE(recorder.WaitForOpened(1)) << "a click on the balloon opened nothing";
    EXPECT_EQ(recorder.Opened(), std::vector<std::wstring>{page});

    // Once per run, even when the box goes off and on again.
    ASSERT_TRUE(m_app.Click(kCheckUpdateBox));
    ASSERT_TRUE(m_app.Click(kCheckUpdateBox));
    Sleep(2000);
    EXPECT_EQ(m_server->CountRequests(kPath), 1);

    // Saved: the next run has the box ticked and checks at its start.
    ASSERT_TRUE(m_app.Click(kExitButton));
    ASSERT_NE(m_app.WaitForExit(), STILL_ACTIVE);
    m_app.End();
    ASSERT_TRUE(m_app.Start(m_folder, L"-m"));
    EXPECT_TRUE(m_app.Checked(kCheckUpdateBox));
    EXPECT_TRUE(WaitRequests(2)) << "the saved option started no check";
    const HttpRequest request = m_server->Requests().back();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, kPath);
}

TEST_F(AppUpdate, AddressOtherThanTheWebIsNeverOpenedAndNotifyFalseShowsOnlyTheLink) {
    Serve("[Lumivex]\r\nVersion=V0.9.0\r\nNotify=False\r\n"
          "NewVerFile=file:///C:/windows/system32/notepad.exe\r\n");
    UrlRecorder recorder;
    ASSERT_TRUE(m_app.Start(m_folder));
    const std::wstring home = test::WindowText(m_app.PageControl(kHomePageLink));
    ASSERT_TRUE(m_app.Click(kCheckUpdateBox));
    ASSERT_TRUE(WaitRequests(1));

    HWND link = m_app.PageControl(kUpdateLink);
    ASSERT_TRUE(test::WaitUntil([&] { return Shown(link); }, 5000))
        << "an older version is announced too";
    EXPECT_FALSE(WaitBalloon()) << "\"Notify=False\" still showed the balloon";

    // Both ways in open the home page instead of the file.
    ASSERT_TRUE(m_app.TrayEvent(kBalloonClick));
    ASSERT_TRUE(recorder.WaitForOpened(1));
    m_app.ChooseTrayItem(kMenuAbout);
    ASSERT_TRUE(test::WaitUntil([&] { return IsWindowVisible(link) != FALSE; }, 3000));
    SetForegroundWindow(m_app.dialog());
    ASSERT_TRUE(test::ClickMiddle(link));
    ASSERT_TRUE(recorder.WaitForOpened(2));
    EXPECT_EQ(recorder.Opened(), (std::vector<std::wstring>{home, home}));
}

TEST_F(AppUpdate, ServerThatNeverAnswersKeepsNeitherTheDialogNorExitWaiting) {
    m_server = std::make_unique<LoopbackHttpServer>(
        [](const HttpRequest&, HttpConnection& c) { c.Hang(); });
    SetAddress();
    ASSERT_TRUE(m_app.Start(m_folder));
    ASSERT_TRUE(m_app.Click(kCheckUpdateBox));
    ASSERT_TRUE(WaitRequests(1));

    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(m_app.dialog(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer))
        << "the dialog stopped answering while the check waits";
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_app.Click(kExitButton));
    const DWORD exitCode = m_app.WaitForExit(30000);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("[ figure ] \"E&xit\" to process gone while the check waits: %lld ms\n",
                static_cast<long long>(ms));
    ASSERT_NE(exitCode, STILL_ACTIVE) << "the program did not end";
    // The wait is bounded by 3 s; the rest is the program's own exit road.
    EXPECT_LT(ms, 10000);
}

} // namespace
