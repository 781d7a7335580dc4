#include "update/inet.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace lumivex;
using lumivex::test::Narrow;

namespace {

TEST(UrlRules, ServiceTypesFragmentsAndContentLengths) {
    for (const wchar_t* kept :
         {L"http://h/x", L"HTTPS://h/x", L"Ftp://h/x", L"file:///C:/x", L"gopher://h",
          L"mailto:a@b", L"news:x", L"telnet:x", L"wais:x", L"mk:x", L"MS-HELP://x"}) {
        EXPECT_TRUE(HasKnownServiceType(kept)) << Narrow(kept);
        EXPECT_EQ(kept, WithServiceType(kept));
    }
    for (const wchar_t* host : {L"www.example.org/x", L"127.0.0.1:8123/x", L"httpx://h",
                                L"ms-help:/x", L"javascript:x", L""}) {
        EXPECT_FALSE(HasKnownServiceType(host)) << Narrow(host);
        EXPECT_EQ(std::wstring(L"http://") + host, WithServiceType(host));
    }
    EXPECT_EQ(L"http://h/a?b", WithoutFragment(L"http://h/a?b#c#d"));
    EXPECT_EQ(L"http://h/a", WithoutFragment(L"http://h/a"));
    EXPECT_EQ(L"", WithoutFragment(L"#x"));
    // Only a URL with something after the scheme goes the open-URL way.
    EXPECT_TRUE(IsOpenUrlScheme(L"FTP://h"));
    EXPECT_TRUE(IsOpenUrlScheme(L"gopher://h"));
    EXPECT_FALSE(IsOpenUrlScheme(L"ftp://"));
    EXPECT_FALSE(IsOpenUrlScheme(L"gopher://"));
    EXPECT_FALSE(IsOpenUrlScheme(L"http://ftp://h"));
    {
        const std::pair<const wchar_t*, std::optional<unsigned long long>> cases[] = {
            {L"0", 0},
            {L"2048000", 2048000},
            {L"007", 7},
            {L"18446744073709551615", 18446744073709551615ULL},
            {L"18446744073709551616", std::nullopt},
            {L"99999999999999999999999", std::nullopt},
            {L"", std::nullopt},
            {L"-1", std::nullopt},
            {L"+1", std::nullopt},
            {L" 12", std::nullopt},
            {L"1 2", std::nullopt},
            {L"12abc", std::nullopt},
            {L"0x10", std::nullopt},
            {L"\xFF11", std::nullopt}, // a full-width digit
        };
        for (const auto& [text, value] : cases) {
            EXPECT_EQ(value, ParseContentLength(text)) << Narrow(text);
        }
    }
}

TEST(UrlRules, SplitHttpUrlsAndFollowRedirectsOnlyOnHttpWithoutDroppingTls) {
    {
        struct Case {
            const wchar_t* url;
            const wchar_t* server;
            const wchar_t* object;
            INTERNET_PORT port;
            bool secure;
        };
        const Case cases[] = {
            {L"http://example.org", L"example.org", L"/", 80, false},
            {L"http://example.org:8123/a/b?x=1&y=%20z", L"example.org", L"/a/b?x=1&y=%20z", 8123,
             false},
            {L"https://example.org/u", L"example.org", L"/u", 443, true},
            {L"HTTPS://example.org:8443/u?v", L"example.org", L"/u?v", 8443, true},
            {L"https://example.org:80/", L"example.org", L"/", 80, true},
            {L"http://user:pw@example.org/p", L"example.org", L"/p", 80, false},
        };
        for (const Case& c : cases) {
            const auto target = SplitHttpUrl(c.url);
            ASSERT_TRUE(target) << Narrow(c.url);
            EXPECT_EQ(c.server, target->server) << Narrow(c.url);
            EXPECT_EQ(c.object, target->object) << Narrow(c.url);
            EXPECT_EQ(c.port, target->port) << Narrow(c.url);
            EXPECT_EQ(c.secure, target->secure) << Narrow(c.url);
            EXPECT_EQ(c.secure ? INTERNET_SCHEME_HTTPS : INTERNET_SCHEME_HTTP, target->scheme);
        }
        for (const wchar_t* refused : {L"", L"http://", L"example.org/x", L"ftp://example.org/x",
                                       L"file:///C:/x", L"mailto:a@b", L"telnet://h/"}) {
            EXPECT_FALSE(SplitHttpUrl(refused)) << Narrow(refused);
        }
    }
    {
        const HttpTarget plain = *SplitHttpUrl(L"http://127.0.0.1:8123/start");
        const HttpTarget plain80 = *SplitHttpUrl(L"http://h/start");
        const HttpTarget tls = *SplitHttpUrl(L"https://s.example/start");
        const HttpTarget tls8443 = *SplitHttpUrl(L"https://s.example:8443/start");
        struct Case {
            const HttpTarget& from;
            const wchar_t* location;
            std::optional<std::wstring> to;
        };
        const Case cases[] = {
            {plain, L"next?q=1", L"http://127.0.0.1:8123/next?q=1"},
            {plain, L"/next", L"http://127.0.0.1:8123/next"},
            {plain80, L"/next", L"http://h/next"},
            {plain, L"http://other.example/x", L"http://other.example/x"},
            {plain, L"HTTPS://other.example/x", L"HTTPS://other.example/x"},
            {plain, L"//other.example/x", L"http://other.example/x"},
            {tls, L"next", L"https://s.example/next"},
            {tls8443, L"/a", L"https://s.example:8443/a"},
            {tls, L"//h/x", L"https://h/x"},
            {tls, L"https://h/x", L"https://h/x"},
            {tls, L"http://h/x", std::nullopt},
            {tls, L"HTTP://h/x", std::nullopt},
            {plain, L"file:///C:/windows/win.ini", std::nullopt},
            {plain, L"ftp://127.0.0.1:8123/x", std::nullopt},
            {plain, L"gopher://h/x", std::nullopt},
            {plain, L"javascript:alert(1)", std::nullopt},
            {plain, L"mailto:a@b", std::nullopt},
            {plain, L"http://", std::nullopt},
            {plain, L"", std::nullopt},
        };
        for (const Case& c : cases) {
            EXPECT_EQ(c.to, RedirectTarget(c.from, c.location)) << Narrow(c.location);
        }
    }
}

TEST(SaveBytesToFile, WritesEveryByteAndReplacesWhatWasThere) {
    test::TempDir dir;
    std::vector<BYTE> bytes(10000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<BYTE>(i * 7);
    }
    const std::wstring path = dir / L"update.ini";
    ASSERT_TRUE(SaveBytesToFile(path, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), test::ReadFileBytes(path));
    ASSERT_TRUE(SaveBytesToFile(path, {'a', 'b', 'c'}));
    EXPECT_EQ("abc", test::ReadFileBytes(path));
    ASSERT_TRUE(SaveBytesToFile(path, {}));
    EXPECT_TRUE(test::FileExists(path));
    EXPECT_EQ("", test::ReadFileBytes(path));
}

TEST(SaveBytesToFile, CreatesOneMissingFolderLevelOnly) {
    test::TempDir dir;
    ASSERT_TRUE(SaveBytesToFile(dir / L"new\\update.ini", {'x'}));
    EXPECT_EQ("x", test::ReadFileBytes(dir / L"new\\update.ini"));

    EXPECT_FALSE(SaveBytesToFile(dir / L"a\\b\\update.ini", {'x'}));
    EXPECT_FALSE(test::DirExists(dir / L"a"));
    // A folder where the file should be cannot be written over.
    EXPECT_FALSE(SaveBytesToFile(dir / L"new", {'x'}));
    EXPECT_TRUE(test::DirExists(dir / L"new"));
}

} // namespace
