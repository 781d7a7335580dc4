// The update check from download to message, against our own HTTP server on loopback: which
// description announces what, that nothing is posted for a failed or cut-off download, and that
// the temporary copy of the description never stays behind.
#include "update/auto_update.h"

#include "loopback_http_server.h"
#include "test_files.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

namespace lumivex {
namespace {

using test::HttpConnection;
using test::HttpRequest;
using test::LoopbackHttpServer;

constexpr wchar_t kRunning[] = L"V1.2.0";
constexpr char kPath[] = "/product/update.ini";

// The description's temporary copies in the user's temporary folder.
std::vector<std::wstring> TemporaryCopies() {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    std::vector<std::wstring> found;
    for (const std::wstring& name : test::ListFiles(folder)) {
        if (_wcsnicmp(name.c_str(), L"lvx", 3) == 0) {
            found.push_back(name);
        }
    }
    return found;
}

class UpdateCheck : public testing::Test {
protected:
    void SetUp() override {
        m_window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                   nullptr);
        ASSERT_NE(m_window, nullptr);
        m_update.m_hNotifyWnd = m_window;
        m_update.m_inet.m_nRetryPause = 0;
        m_copiesBefore = TemporaryCopies();
    }
    void TearDown() override {
        EXPECT_EQ(TemporaryCopies(), m_copiesBefore) << "a temporary copy stayed behind";
        DestroyWindow(m_window);
    }

    // Serves `description` (bytes as they stand) at the description's path and runs one check.
    BOOL CheckAgainst(const std::string& description) {
        LoopbackHttpServer server(
            [&](const HttpRequest&, HttpConnection& c) { c.Reply(200, description); });
        return Check(server);
    }
    BOOL Check(LoopbackHttpServer& server) {
        return m_update.StartCheck(false, L"Lumivex", server.Url(L"/product/update.ini"), kRunning);
    }
    // The messages the check posted, in order.
    std::vector<UINT> Posted() {
        std::vector<UINT> messages;
        MSG msg;
        while (PeekMessageW(&msg, m_window, WM_UPDATE_AVAILABLE, WM_UPDATE_INFO, PM_REMOVE)) {
            EXPECT_EQ(msg.wParam, 0u);
            EXPECT_EQ(msg.lParam, 0);
            messages.push_back(msg.message);
        }
        return messages;
    }

    HWND m_window = nullptr;
    CAutoUpdate m_update;
    std::vector<std::wstring> m_copiesBefore;
};

TEST_F(UpdateCheck, AnyOtherVersionIsAnnouncedWithTheDescriptionsValues) {
    EXPECT_TRUE(CheckAgainst("[Lumivex]\r\nVersion=V1.3.0\r\nNotify=false\r\n"
                             "NewVerFile=https://www.lumivex.example/new\r\nReleaseDate=2026-12\r\n"
                             "UpgradeFee=0\r\nHistoryLink=https://h.example/\r\nNewInfo=Faster\r\n"
                             "[Info]\r\nValid=True\r\nNewInfo=not read\r\n"));
    EXPECT_EQ(Posted(), std::vector<UINT>{WM_UPDATE_AVAILABLE}) << "Info is read only without";
    EXPECT_EQ(m_update.m_strLatestVersion, L"V1.3.0");
    EXPECT_EQ(m_update.m_strNewVerFile, L"https://www.lumivex.example/new");
    EXPECT_EQ(m_update.m_strReleaseDate, L"2026-12");
    EXPECT_EQ(m_update.m_strHistoryLink, L"https://h.example/");
    EXPECT_EQ(m_update.m_strNewInfo, L"Faster");
    EXPECT_EQ(m_update.m_bNotify, 0) << "\"Notify\" is compared without regard to case";

    // An older version counts as another one too.
    CAutoUpdate older;
    older.m_hNotifyWnd = m_window;
    LoopbackHttpServer server(
        [](const HttpRequest&, HttpConnection& c) { c.Reply(200, "[Lumivex]\nVersion=V1.1.9\n"); });
    EXPECT_TRUE(older.StartCheck(false, L"Lumivex", server.Url(L"/product/update.ini"), kRunning));
    EXPECT_EQ(Posted(), std::vector<UINT>{WM_UPDATE_AVAILABLE});
    EXPECT_EQ(older.m_bNotify, 1);
    EXPECT_EQ(server.CountRequests(kPath), 1);
}

TEST_F(UpdateCheck, SameVersionInOtherLettersReadsTheAnnouncementInstead) {
    EXPECT_FALSE(CheckAgainst("[Lumivex]\r\nVersion=v1.2.0\r\nNewVerFile=http://a.example/\r\n"
                              "[Info]\r\nValid=TRUE\r\nInfoID=7\r\nNewVerFile=http://b.example/\r\n"
                              "NewInfo=" +
                              std::string(3000, 'x') + "\r\n"));
    EXPECT_EQ(Posted(), std::vector<UINT>{WM_UPDATE_INFO});
    EXPECT_EQ(m_update.m_strInfoID, L"7");
    EXPECT_EQ(m_update.m_strNewVerFile, L"http://b.example/");
    EXPECT_EQ(m_update.m_strNewInfo, std::wstring(2047, L'x')) << "NewInfo is cut at 2047";

    // The announcement alone, without the product's section; and one that is not valid.
    CAutoUpdate alone;
    alone.m_hNotifyWnd = m_window;
    LoopbackHttpServer server([](const HttpRequest&, HttpConnection& c) {
        c.Reply(200, "[Info]\nValid=true\nNewInfo=Hello\n");
    });
    EXPECT_FALSE(alone.StartCheck(false, L"Lumivex", server.Url(L"/product/update.ini"), kRunning));
    EXPECT_EQ(Posted(), std::vector<UINT>{WM_UPDATE_INFO});
    EXPECT_EQ(alone.m_strNewInfo, L"Hello");

    EXPECT_FALSE(CheckAgainst("[Info]\nValid=yes\nNewInfo=Hello\n"));
    EXPECT_TRUE(Posted().empty());
}

TEST_F(UpdateCheck, UnicodeDescriptionWithByteOrderMarkIsRead) {
    const std::wstring text = L"\xFEFF[Lumivex]\r\nVersion=V2.0.0\r\nNewInfo=Größer\r\n";
    EXPECT_TRUE(CheckAgainst(
        std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t))));
    EXPECT_EQ(Posted(), std::vector<UINT>{WM_UPDATE_AVAILABLE});
    EXPECT_EQ(m_update.m_strNewInfo, L"Größer");
}

TEST_F(UpdateCheck, FailedCutOrUnsavableDownloadsAnnounceNothing) {
    // An error status.
    EXPECT_FALSE(CheckAgainst(""));
    {
        LoopbackHttpServer server(
            [](const HttpRequest&, HttpConnection& c) { c.Reply(500, "[Lumivex]\nVersion=V9\n"); });
        EXPECT_FALSE(Check(server));
        EXPECT_EQ(server.CountRequests(kPath), 1) << "500 is not retried";
    }
    // "Version=V1" of "Version=V1.3.0", the connection cut after it: never an announcement.
    {
        LoopbackHttpServer server([](const HttpRequest&, HttpConnection& c) {
            c.Send("HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\n[Lumivex]\r\nVersion=V1");
            c.Close();
        });
        EXPECT_FALSE(Check(server));
    }
    // The description without the product's section or without "Version".
    EXPECT_FALSE(CheckAgainst("[Lumivex]\nNewVerFile=http://a.example/\n[Other]\nVersion=V3\n"));
    EXPECT_TRUE(Posted().empty());

    // No temporary folder to write to: the check ends there.
    const test::TempDir parent;
    {
        const test::EnvironmentScope tmp(L"TMP", (parent / L"gone\\deeper").c_str());
        EXPECT_FALSE(CheckAgainst("[Lumivex]\nVersion=V1.3.0\n"));
    }
    EXPECT_TRUE(Posted().empty());
}

TEST_F(UpdateCheck, StopWaitsBoundedForAWorkerStuckOnASilentServer) {
    // Closing the handles does not wake a blocked receive under every WinINet (not under Wine):
    // the exit then waits its bound and the worker ends with its own time-out, never earlier
    // than its object stays alive.
    m_update.m_inet.m_nReceiveTimeout = 6;
    LoopbackHttpServer server([](const HttpRequest&, HttpConnection& c) { c.Hang(); });
    m_update.StartCheck(true, L"Lumivex", server.Url(L"/product/update.ini"), kRunning);
    ASSERT_TRUE(test::WaitUntil([&] { return server.CountRequests(kPath) == 1; }, 10000));

    const auto start = std::chrono::steady_clock::now();
    const bool ended = m_update.Stop();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("[ figure ] Stop with the worker waiting for an answer: %lld ms (ended: %d)\n",
                static_cast<long long>(ms), ended ? 1 : 0);
    EXPECT_LT(ms, static_cast<long long>(kUpdateStopWaitMs) + 2000) << "the wait is not bounded";

    // Aborted: no further attempt is made however long the worker still waits.
    EXPECT_TRUE(test::WaitUntil([&] { return m_update.Stop(); }, 20000))
        << "the worker never ended";
    EXPECT_EQ(server.ConnectionCount(), 1);
    EXPECT_TRUE(Posted().empty());
}

} // namespace
} // namespace lumivex
