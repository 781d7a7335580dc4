// The browser host's switches, commands and event lines: what tests and the host must agree on.
#include "host_command.h"
#include "host_log_format.h"
#include "host_options.h"

#include <gtest/gtest.h>

using namespace lumivex::browserhost;

namespace {

OptionsResult Parse(std::initializer_list<const wchar_t*> args) {
    std::vector<std::wstring> list;
    for (const wchar_t* arg : args) {
        list.emplace_back(arg);
    }
    return ParseHostOptions(list);
}

} // namespace

TEST(HostOptions, EverySwitchTakesEffect) {
    OptionsResult r = Parse({L"--log=C:\\t\\a b.log", L"--browsers=3", L"--range=25,300",
                             L"--class=internet explorer_server", L"--slow-document=2000,1",
                             L"--invisible=2", L"--second-thread", L"--invisible=100",
                             L"--load=C:\\x\\probe.dll", L"--title=Demo host", L"--selftest=100",
                             L"--exit-after=5000", L"--range-answers=4"});
    ASSERT_EQ(r.error, L"");
    const HostOptions& o = r.options;
    EXPECT_EQ(o.logPath, L"C:\\t\\a b.log");
    EXPECT_EQ(o.browsers, 3);
    EXPECT_EQ(o.minZoom, 25);
    EXPECT_EQ(o.maxZoom, 300);
    EXPECT_EQ(o.className, L"internet explorer_server");
    EXPECT_TRUE(o.IsSlow(1));
    EXPECT_FALSE(o.IsSlow(0));
    EXPECT_EQ(o.slowDocumentMs, 2000);
    EXPECT_TRUE(o.IsInvisible(2));
    EXPECT_TRUE(o.IsInvisible(100));
    EXPECT_FALSE(o.IsInvisible(0));
    EXPECT_TRUE(o.secondThread);
    EXPECT_EQ(o.loadPath, L"C:\\x\\probe.dll");
    EXPECT_EQ(o.title, L"Demo host");
    EXPECT_EQ(o.selfTestIndex, 100);
    EXPECT_EQ(o.exitAfterMs, 5000);
    EXPECT_EQ(o.rangeAnswers, 4);
}

TEST(HostOptions, DefaultsAreOneRealisticBrowser) {
    OptionsResult r = Parse({});
    ASSERT_EQ(r.error, L"");
    EXPECT_EQ(r.options.browsers, 1);
    EXPECT_EQ(r.options.minZoom, 10);
    EXPECT_EQ(r.options.maxZoom, 1000);
    EXPECT_EQ(r.options.rangeAnswers, -1);
    EXPECT_EQ(r.options.className, L"Internet Explorer_Server");
    EXPECT_FALSE(r.options.IsSlow(0));
    EXPECT_FALSE(r.options.secondThread);
    // Without an index every browser is slow.
    EXPECT_TRUE(Parse({L"--slow-document=50"}).options.IsSlow(7));
}

TEST(HostOptions, MalformedSwitchesAreRefusedButTheLogPathSurvives) {
    for (auto args :
         {Parse({L"--range=300,25"}), Parse({L"--range=0,100"}), Parse({L"--range=10,65536"}),
          Parse({L"--range=10"}), Parse({L"--range-answers=-1"}), Parse({L"--range=10,x"}),
          Parse({L"--browsers=17"}), Parse({L"--browsers=-1"}), Parse({L"--browsers="}),
          Parse({L"--bogus=1"}), Parse({L"plain"}), Parse({L"--second-thread=1"}),
          Parse({L"--log"}), Parse({L"--class="}), Parse({L"--slow-document=0"}),
          Parse({L"--slow-document=10,"}), Parse({L"--exit-after=0"})}) {
        EXPECT_NE(args.error, L"");
    }
    OptionsResult r = Parse({L"--log=x.log", L"--browsers=99"});
    EXPECT_NE(r.error, L"");
    EXPECT_EQ(r.options.logPath, L"x.log");
}

TEST(HostOptions, IndicesMustNameExistingBrowsers) {
    EXPECT_NE(Parse({L"--browsers=2", L"--invisible=2"}).error, L"");
    EXPECT_EQ(Parse({L"--browsers=2", L"--invisible=1"}).error, L"");
    // The second thread's browser exists only with the second thread, whatever the order.
    EXPECT_NE(Parse({L"--invisible=100"}).error, L"");
    EXPECT_EQ(Parse({L"--invisible=100", L"--second-thread"}).error, L"");
    EXPECT_NE(Parse({L"--slow-document=10,3"}).error, L"");
    EXPECT_NE(Parse({L"--browsers=0", L"--selftest=0"}).error, L"");
}

TEST(HostCommands, VerbsAndArguments) {
    CommandResult focus = ParseHostCommand(L"focus 3");
    ASSERT_EQ(focus.error, L"");
    EXPECT_EQ(focus.command.verb, Verb::Focus);
    EXPECT_EQ(focus.command.index, 3);

    CommandResult frame = ParseHostCommand(L"focus-frame");
    ASSERT_EQ(frame.error, L"");
    EXPECT_EQ(frame.command.verb, Verb::FocusFrame);

    CommandResult init = ParseHostCommand(L"initialize 100 5 -1 7");
    ASSERT_EQ(init.error, L"");
    EXPECT_EQ(init.command.verb, Verb::Initialize);
    EXPECT_EQ(init.command.index, 100);
    EXPECT_EQ(init.command.values, (std::vector<long long>{5, -1, 7}));
    EXPECT_TRUE(ParseHostCommand(L"initialize 0").command.values.empty());

    CommandResult create = ParseHostCommand(L"create");
    ASSERT_EQ(create.error, L"");
    EXPECT_EQ(create.command.verb, Verb::Create);
    CommandResult wheel = ParseHostCommand(L"wheel 2 -7");
    ASSERT_EQ(wheel.error, L"");
    EXPECT_EQ(wheel.command.verb, Verb::Wheel);
    EXPECT_EQ(wheel.command.index, 2);
    EXPECT_EQ(wheel.command.values, std::vector<long long>{-7});
    EXPECT_EQ(ParseHostCommand(L"wheel 0 100000").command.values, std::vector<long long>{100000});

    // A path keeps its blanks.
    CommandResult load = ParseHostCommand(L"load C:\\Program Files\\x y.dll");
    ASSERT_EQ(load.error, L"");
    EXPECT_EQ(load.command.path, L"C:\\Program Files\\x y.dll");

    // A terminator sent along with the text does not matter.
    CommandResult quit = ParseHostCommand(std::wstring(L"quit\0", 5));
    EXPECT_EQ(quit.error, L"");
    EXPECT_EQ(quit.command.verb, Verb::Quit);
}

TEST(HostCommands, MalformedCommandsAreRefused) {
    for (const wchar_t* text : {L"",
                                L"focus",
                                L"focus x",
                                L"focus -1",
                                L"focus 1 2",
                                L"refs 1001",
                                L"ping 1",
                                L"Focus 1",
                                L"initialize 0 1",
                                L"initialize 0 1 2 x",
                                L"load",
                                L"load   ",
                                L"selftest 99999999999999999999",
                                L"create 1",
                                L"wheel 0",
                                L"wheel 0 x",
                                L"wheel 0 1 2",
                                L"wheel 0 100001",
                                L"wheel 0 -100001",
                                L"wheel 1001 1"}) {
        EXPECT_NE(ParseHostCommand(text).error, L"") << "accepted: \"" << text << "\"";
    }
}

TEST(HostLogLines, RoundTripKeepsAwkwardValues) {
    FieldList fields;
    fields.Add("index", 100).Add("class", "Internet Explorer_Server").Add("empty", "");
    fields.Add("quoted", "say \"hi\" \\ a=b").Add("lines", "a\nb\tc\r");
    fields.AddHex("hwnd", 0x10022).Add("negative", -5).Add("utf8", "\xc3\xa4");
    const std::string text = FormatLogLine(7, 4242, "BROWSER", fields.items());
    EXPECT_EQ(text.find('\n'), std::string::npos) << "one event is one line";

    std::optional<LogLine> line = ParseLogLine(text + "\r\n");
    ASSERT_TRUE(line.has_value()) << text;
    EXPECT_EQ(line->seq, 7u);
    EXPECT_EQ(line->pid, 4242u);
    EXPECT_EQ(line->kind, "BROWSER");
    ASSERT_EQ(line->fields.size(), fields.items().size());
    for (size_t i = 0; i < fields.items().size(); ++i) {
        EXPECT_EQ(line->fields[i].key, fields.items()[i].key);
        EXPECT_EQ(line->fields[i].value, fields.items()[i].value);
    }
    EXPECT_EQ(line->index(), 100);
    EXPECT_EQ(line->Number("hwnd"), 0x10022);
    EXPECT_EQ(line->Number("negative"), -5);
    EXPECT_EQ(line->Number("class"), std::nullopt);
    EXPECT_EQ(line->Text("missing"), "");
}

TEST(HostLogLines, BrokenLinesAreRejected) {
    for (const char* text : {"", "7", "7 42", "x 42 KIND", "7 42 KI=ND", "7 42 KIND key",
                             "7 42 KIND =v", "7 42 KIND k=\"open", "7 42 KIND k=\"bad\\q\"",
                             "7 42 KIND k=a\"b", "7 42 KIND  k=v", "7 42 KIND k=v="}) {
        EXPECT_FALSE(ParseLogLine(text).has_value()) << "accepted: " << text;
    }
    EXPECT_TRUE(ParseLogLine("7 42 EXIT").has_value());
}

TEST(HostLogLines, NumbersAndWindowLists) {
    EXPECT_EQ(ParseNumber("0xffffffff"), 0xffffffffLL);
    EXPECT_EQ(ParseNumber("-1002"), -1002);
    EXPECT_EQ(ParseNumber("0x"), std::nullopt);
    EXPECT_EQ(ParseNumber("12a"), std::nullopt);
    EXPECT_EQ(HexText(0x2a), "0x0000002a");

    const std::string list = FormatWindowList({{0, 0x10022}, {1, 0x10024}, {100, 0xabc}});
    auto windows = ParseWindowList(list);
    ASSERT_TRUE(windows.has_value()) << list;
    EXPECT_EQ(*windows, (std::map<int, std::uint64_t>{{0, 0x10022}, {1, 0x10024}, {100, 0xabc}}));
    EXPECT_EQ(ParseWindowList(FormatWindowList({})), (std::map<int, std::uint64_t>{}));
    for (const char* bad : {"", "0", "0:", "0:0x1,", "0:0x1,0:0x2", "-1:0x1", "a:0x1"}) {
        EXPECT_FALSE(ParseWindowList(bad).has_value()) << "accepted: " << bad;
    }
}
