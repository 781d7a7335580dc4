// CInet against the loopback server: what goes out, how each kind of answer ends, and that a
// download stuck on a silent server can be ended from another thread.
#include "update/inet.h"

#include "loopback_http_server.h"
#include "test_files.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace lumivex;
using lumivex::test::HttpConnection;
using lumivex::test::HttpRequest;
using lumivex::test::LoopbackHttpServer;
using lumivex::test::Narrow;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct Fetched {
    int result = -1;
    std::wstring url;
    std::string body;
    DWORD received = 0;
};

class InetDownload : public testing::Test {
protected:
    void SetUp() override {
        inet.m_nRetryPause = 0;
        inet.m_nConnectTimeout = 10;
        inet.m_nReceiveTimeout = 10;
        ASSERT_EQ(0, inet.OpenSession());
    }

    Fetched Get(std::wstring url, bool follow = true) {
        Fetched out;
        std::vector<BYTE> bytes = {'s', 't', 'a', 'l', 'e'};
        out.result = inet.Download(url, bytes, out.received, follow);
        out.url = url;
        out.body.assign(bytes.begin(), bytes.end());
        return out;
    }

    CInet inet;
};

TEST_F(InetDownload, AddsTheSchemeUsesTheUrlsPortAndSendsNoFragment) {
    LoopbackHttpServer server([](const HttpRequest&, HttpConnection& c) { c.Reply(200, "pay"); });
    const std::wstring hostAndPath = L"127.0.0.1:" + std::to_wstring(server.port()) + L"/x/y?a=1";
    const Fetched got = Get(hostAndPath + L"#part");
    EXPECT_EQ(DL_OK, got.result);
    EXPECT_EQ(L"http://" + hostAndPath + L"#part", got.url) << "the caller's URL gets the scheme";
    EXPECT_EQ("pay", got.body);
    EXPECT_EQ(3u, got.received);
    ASSERT_EQ(1, server.RequestCount());
    const HttpRequest sent = server.Requests()[0];
    EXPECT_EQ("GET", sent.method);
    EXPECT_EQ("/x/y?a=1", sent.target);
    EXPECT_EQ("HTTP/1.0", sent.version);
    EXPECT_EQ("Offline Browser", sent.Header("User-Agent"));
}

TEST_F(InetDownload, FollowsRelativeAndAbsoluteRedirects) {
    LoopbackHttpServer server([](const HttpRequest& r, HttpConnection& c) {
        if (r.target == "/no-slash") {
            c.Reply(302, "", {"Location: next?q=1"});
        } else if (r.target == "/slash") {
            c.Reply(301, "", {"Location: /next?q=1"});
        } else if (r.target == "/next?q=1") {
            c.Reply(200, "arrived");
        } else {
            c.Reply(500, "");
        }
    });
    // The absolute location names the same server by its full URL.
    const std::string self = Narrow(server.Url(L""));
    LoopbackHttpServer absolute([&](const HttpRequest&, HttpConnection& c) {
        c.Reply(303, "", {"Location: " + self + "/next?q=1"});
    });
    for (const std::wstring& start :
         {server.Url(L"/no-slash"), server.Url(L"/slash"), absolute.Url(L"/absolute")}) {
        const Fetched got = Get(start);
        EXPECT_EQ(DL_OK, got.result) << Narrow(start);
        EXPECT_EQ(server.Url(L"/next?q=1"), got.url) << Narrow(start);
        EXPECT_EQ("arrived", got.body) << Narrow(start);
    }
    EXPECT_EQ(3, server.CountRequests("/next?q=1"));
}

TEST_F(InetDownload, RedirectsCountAsAttempts) {
    // /r1 -> /r2 -> ... ; /r3 is the end of the short chain.
    std::atomic<int> chainEnd{3};
    LoopbackHttpServer server([&](const HttpRequest& r, HttpConnection& c) {
        const int n = std::stoi(r.target.substr(2));
        if (n >= chainEnd) {
            c.Reply(200, "end");
        } else {
            c.Reply(302, "", {"Location: /r" + std::to_string(n + 1)});
        }
    });
    Fetched got = Get(server.Url(L"/r1"));
    EXPECT_EQ(DL_OK, got.result) << "two redirects and the content fit into three attempts";
    EXPECT_EQ(server.Url(L"/r3"), got.url);

    chainEnd = 10;
    got = Get(server.Url(L"/r1"));
    EXPECT_EQ(DL_REDIRECTED, got.result);
    EXPECT_EQ(server.Url(L"/r4"), got.url);
    EXPECT_EQ(0, server.CountRequests("/r4"));

    got = Get(server.Url(L"/r5"), false);
    EXPECT_EQ(DL_REDIRECTED, got.result);
    EXPECT_EQ(server.Url(L"/r6"), got.url);
    EXPECT_EQ(0, server.CountRequests("/r6"));
    EXPECT_EQ("", got.body);
}

TEST_F(InetDownload, RefusesRedirectsElsewhereThanHttpAndWithoutLocation) {
    std::string location;
    LoopbackHttpServer server([&](const HttpRequest&, HttpConnection& c) {
        c.Reply(302, "moved",
                location.empty() ? std::vector<std::string>{}
                                 : std::vector<std::string>{"Location: " + location});
    });
    const std::string port = std::to_string(server.port());
    for (const std::string& where :
         {std::string("file:///C:/windows/win.ini"), "ftp://127.0.0.1:" + port + "/x",
          "FTP://127.0.0.1:" + port + "/x", "gopher://127.0.0.1:" + port + "/x", std::string()}) {
        location = where;
        const int before = server.RequestCount();
        const Fetched got = Get(server.Url(L"/start"));
        EXPECT_EQ(DL_FAILED, got.result) << where;
        EXPECT_EQ(server.Url(L"/start"), got.url) << where;
        EXPECT_EQ("", got.body) << where;
        EXPECT_GT(server.RequestCount(), before);
        // Nothing but HTTP requests for /start reached the port.
        EXPECT_EQ(server.ConnectionCount(), server.RequestCount()) << where;
        EXPECT_EQ(server.RequestCount(), server.CountRequests("/start")) << where;
    }
}

TEST_F(InetDownload, RetryableStatusesAreTriedAgainAfterThePause) {
    std::atomic<int> status{404};
    LoopbackHttpServer server(
        [&](const HttpRequest&, HttpConnection& c) { c.Reply(status, "missing"); });
    inet.m_nRetryPause = 1;
    const auto start = Clock::now();
    const Fetched got = Get(server.Url(L"/missing"));
    const long long elapsed = MsSince(start);
    EXPECT_EQ(DL_RETRY, got.result);
    EXPECT_EQ(404, inet.m_nHttpStatus);
    EXPECT_EQ(3, server.RequestCount());
    EXPECT_EQ("", got.body);
    std::printf("3 attempts on 404 with 1 s pauses: %lld ms\n", elapsed);
    // Two pauses of 1 s and 500 ms after each answer; a lower bound with timer slack only.
    EXPECT_GE(elapsed, 3400);

    inet.m_nRetryPause = 0;
    for (int retryable : {408, 504}) {
        status = retryable;
        const int before = server.RequestCount();
        EXPECT_EQ(DL_RETRY, Get(server.Url(L"/missing")).result) << retryable;
        EXPECT_EQ(before + 3, server.RequestCount()) << retryable;
    }
}

TEST_F(InetDownload, OtherStatusesEndTheDownloadAtOnce) {
    std::atomic<int> status{500};
    LoopbackHttpServer server(
        [&](const HttpRequest&, HttpConnection& c) { c.Reply(status, "body"); });
    for (int other : {500, 403, 204, 307}) {
        status = other;
        const int before = server.RequestCount();
        const Fetched got = Get(server.Url(L"/s"));
        EXPECT_EQ(DL_HTTP_STATUS, got.result) << other;
        EXPECT_EQ(other, inet.m_nHttpStatus);
        EXPECT_EQ("", got.body) << other;
        EXPECT_EQ(before + 1, server.RequestCount()) << other;
    }
    for (int auth : {401, 407}) {
        status = auth;
        EXPECT_EQ(DL_AUTH_REQUIRED, Get(server.Url(L"/s")).result) << auth;
        EXPECT_EQ(L"Proxy authentication required.", inet.m_strLastError);
    }
}

TEST_F(InetDownload, EmptyAnswerIsTriedLenientlyThenAsAnOpenUrl) {
    LoopbackHttpServer server([](const HttpRequest&, HttpConnection& c) { c.Reply(200, ""); });
    inet.m_nTries = 2;
    Fetched got = Get(server.Url(L"/empty"));
    EXPECT_EQ(DL_FAILED, got.result);
    EXPECT_EQ(0u, got.received);
    // Strict, lenient, then the open-URL attempt (its own protocol version).
    const auto requests = server.Requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ("HTTP/1.0", requests[0].version);
    EXPECT_EQ("HTTP/1.0", requests[1].version);
    EXPECT_EQ("HTTP/1.1", requests[2].version);

    inet.m_nTries = 3; // the third attempt is strict again
    EXPECT_EQ(DL_FAILED, Get(server.Url(L"/empty")).result);
    EXPECT_EQ(3 + 4, server.RequestCount());
}

TEST_F(InetDownload, LenientAttemptsAcceptOnlySuccess) {
    // Answers in the order of the requests; the first is empty, so the later ones are lenient
    // or open-URL attempts.
    struct Answer {
        int status;
        const char* body;
    };
    const std::vector<std::vector<Answer>> plans = {
        {{200, ""}, {403, "content"}},
        {{200, ""}, {203, "content"}},
        {{200, ""}, {200, ""}, {403, "content"}, {200, ""}},
    };
    std::atomic<size_t> plan{0};
    std::atomic<size_t> count{0};
    LoopbackHttpServer server([&](const HttpRequest&, HttpConnection& c) {
        const auto& answers = plans[plan];
        const Answer& a = answers[count++ % answers.size()];
        c.Reply(a.status, a.body);
    });
    EXPECT_EQ(DL_HTTP_STATUS, Get(server.Url(L"/l")).result);
    EXPECT_EQ(2, server.RequestCount());

    plan = 1;
    count = 0;
    const Fetched got = Get(server.Url(L"/l"));
    EXPECT_EQ(DL_OK, got.result);
    EXPECT_EQ("content", got.body);

    plan = 2;
    count = 0;
    const int before = server.RequestCount();
    const Fetched refused = Get(server.Url(L"/l"));
    EXPECT_EQ(DL_FAILED, refused.result) << "the open-URL attempt took a 403 body";
    EXPECT_EQ("", refused.body);
    EXPECT_EQ(before + 4, server.RequestCount());
}

TEST_F(InetDownload, SizeLimitHoldsForAnnouncedAndReceivedLengths) {
    std::atomic<int> size{0};
    std::atomic<bool> announce{true};
    LoopbackHttpServer server([&](const HttpRequest& r, HttpConnection& c) {
        if (r.target == "/endless") {
            c.Send(test::HttpResponse(200, "", {}, false));
            const std::string piece(8192, 'e');
            while (c.Send(piece)) {
            }
        } else if (r.target == "/announce-only") {
            c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n");
            c.Hang(); // reading the body would wait for the time-out
        } else {
            c.Reply(200, std::string(static_cast<size_t>(size.load()), 'b'), {}, announce);
        }
    });
    inet.m_nMaxSizeKB = 1;
    for (bool withLength : {true, false}) {
        announce = withLength;
        size = 1000;
        const Fetched fits = Get(server.Url(L"/sized"));
        EXPECT_EQ(DL_OK, fits.result) << withLength;
        EXPECT_EQ(1000u, fits.received);
        size = 1001;
        const Fetched over = Get(server.Url(L"/sized"));
        EXPECT_EQ(DL_TOO_LARGE, over.result) << withLength;
        EXPECT_EQ("", over.body);
    }
    size = 1001;
    const auto start = Clock::now();
    EXPECT_EQ(DL_TOO_LARGE, Get(server.Url(L"/announce-only")).result);
    EXPECT_LT(MsSince(start), 5000) << "the body was waited for";
    inet.m_nMaxSizeKB = 64;
    EXPECT_EQ(DL_TOO_LARGE, Get(server.Url(L"/endless")).result);
    EXPECT_EQ(1, server.CountRequests("/endless"));
}

TEST_F(InetDownload, BodyCutShortOrUnparsableLengthIsHandled) {
    std::string length;
    LoopbackHttpServer server([&](const HttpRequest& r, HttpConnection& c) {
        if (r.target == "/cut") {
            c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(500, 'c'));
            c.Close();
        } else {
            c.Send("HTTP/1.0 200 OK\r\nContent-Length: " + length + "\r\n\r\nhello");
        }
    });
    const Fetched cut = Get(server.Url(L"/cut"));
    EXPECT_EQ(DL_FAILED, cut.result);
    EXPECT_EQ("", cut.body);
    EXPECT_EQ(0u, cut.received);
    // A length that is no number counts as missing: the body ends with the connection and is
    // held against the limit only.
    for (const char* garbage : {"5abc", "99999999999999999999999", "-1"}) {
        length = garbage;
        const Fetched got = Get(server.Url(L"/garbage"));
        EXPECT_EQ(DL_OK, got.result) << garbage;
        EXPECT_EQ("hello", got.body) << garbage;
    }
}

TEST_F(InetDownload, SilentServerFailsAfterTheTimeOuts) {
    LoopbackHttpServer server([](const HttpRequest&, HttpConnection& c) { c.Hang(); });
    inet.m_nConnectTimeout = 1;
    inet.m_nReceiveTimeout = 1;
    ASSERT_EQ(0, inet.OpenSession());
    const auto start = Clock::now();
    EXPECT_EQ(DL_FAILED, Get(server.Url(L"/silent")).result);
    std::printf("silent server, 1 s time-outs: %lld ms, %d requests\n", MsSince(start),
                server.RequestCount());
}

// Runs a download on another thread, aborts it once the server has the request, and prints how
// long Abort and the rest of Download took; gives the time from Abort to the end of Download.
long long AbortWhileWaiting(CInet& inet, const LoopbackHttpServer& server, const wchar_t* path) {
    std::wstring url = server.Url(path);
    auto download = std::async(std::launch::async, [&] {
        std::vector<BYTE> bytes;
        DWORD received = 0;
        return inet.Download(url, bytes, received, true);
    });
    EXPECT_TRUE(test::WaitUntil([&] { return server.RequestCount() > 0; }, 10000));
    Sleep(300); // well inside the blocking call
    const auto start = Clock::now();
    inet.Abort();
    const long long abortMs = MsSince(start);
    // Bounded by the receive time-out of the test, so a wait here always ends.
    const bool ended = download.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    const long long elapsed = MsSince(start);
    std::printf("Abort during %s: Abort took %lld ms, Download returned after %lld ms\n",
                Narrow(path).c_str(), abortMs, elapsed);
    EXPECT_TRUE(ended);
    if (ended) {
        EXPECT_EQ(DL_FAILED, download.get());
    }
    return elapsed;
}

// Wine does not wake a call blocked on a closed handle: it ends with its receive time-out, so
// Abort cuts a download to at most that one wait instead of one per attempt (four here).
TEST_F(InetDownload, AbortEndsADownloadBlockedInSendReadOrPause) {
    LoopbackHttpServer server([](const HttpRequest& r, HttpConnection& c) {
        if (r.target == "/read") {
            c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
        } else if (r.target == "/missing") {
            c.Reply(404, "");
            return;
        }
        c.Hang();
    });
    for (const wchar_t* path : {L"/send", L"/read", L"/missing"}) {
        CInet waiting;
        waiting.m_nReceiveTimeout = 4;
        waiting.m_nRetryPause = 60;
        ASSERT_EQ(0, waiting.OpenSession());
        const int before = server.RequestCount();
        EXPECT_LT(AbortWhileWaiting(waiting, server, path), 10000) << Narrow(path);
        EXPECT_EQ(before + 1, server.RequestCount()) << Narrow(path);
        // An aborted object stays closed.
        EXPECT_EQ(1, waiting.OpenSession());
        std::wstring url = server.Url(L"/after");
        std::vector<BYTE> bytes;
        DWORD received = 0;
        EXPECT_EQ(DL_FAILED, waiting.Download(url, bytes, received, true));
    }
    EXPECT_EQ(0, server.CountRequests("/after"));
}

TEST(InetSession, NoSessionNoRequestAndReopeningWorks) {
    LoopbackHttpServer server([](const HttpRequest&, HttpConnection& c) { c.Reply(200, "ok"); });
    CInet inet;
    std::wstring url = server.Url(L"/x");
    std::vector<BYTE> bytes;
    DWORD received = 0;
    EXPECT_EQ(DL_FAILED, inet.Download(url, bytes, received, true));
    EXPECT_EQ(0, server.ConnectionCount());
    ASSERT_EQ(0, inet.OpenSession());
    ASSERT_EQ(0, inet.OpenSession());
    EXPECT_EQ(DL_OK, inet.Download(url, bytes, received, true));
    inet.CloseAll();
    EXPECT_EQ(DL_FAILED, inet.Download(url, bytes, received, true));
    EXPECT_EQ(1, server.RequestCount());
}

TEST(LoopbackHttpServer, StopsPromptlyUnderAHangingConnection) {
    CInet inet;
    inet.m_nReceiveTimeout = 25;
    inet.m_nTries = 1;
    ASSERT_EQ(0, inet.OpenSession());
    std::optional<LoopbackHttpServer> server;
    server.emplace([](const HttpRequest&, HttpConnection& c) { c.Hang(); });
    std::wstring url = server->Url(L"/hang");
    auto download = std::async(std::launch::async, [&] {
        std::vector<BYTE> bytes;
        DWORD received = 0;
        return inet.Download(url, bytes, received, true);
    });
    ASSERT_TRUE(test::WaitUntil([&] { return server->RequestCount() > 0; }, 10000));
    const auto start = Clock::now();
    server.reset();
    const long long stopMs = MsSince(start);
    std::printf("server stopped under a hanging connection in %lld ms\n", stopMs);
    EXPECT_LT(stopMs, 5000);
    // The client sees its connection end, not its time-out.
    ASSERT_EQ(std::future_status::ready, download.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(DL_FAILED, download.get());
}

} // namespace
