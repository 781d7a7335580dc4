// The demo driver's command line: the scripts pass several steps at once, so a step that eats
// its neighbour's word, or a number read wrongly, would send the demo astray without an error.
#include "demo_commands.h"

#include <gtest/gtest.h>

using namespace lumivex::demo;

namespace {

std::vector<Command> Parsed(const std::vector<std::wstring>& words) {
    std::wstring error;
    std::optional<std::vector<Command>> commands = ParseCommands(words, error);
    EXPECT_TRUE(commands.has_value()) << "refused: " << std::string(error.begin(), error.end());
    return commands.value_or(std::vector<Command>{});
}

std::wstring Refusal(const std::vector<std::wstring>& words) {
    std::wstring error;
    EXPECT_FALSE(ParseCommands(words, error).has_value());
    return error;
}

TEST(DemoCommands, StepsRunInOrderEachWithItsOwnArgument) {
    const std::vector<Command> commands =
        Parsed({L"wait-main", L"30000",      L"no-prompt",  L"browser_host64.exe",
                L"wait-host", L"5",          L"focus-page", L"zoom-in",
                L"3",         L"zoom",       L"language",   L"1031",
                L"tray-menu", L"close-menu", L"about",      L"wait-shown",
                L"0",         L"exit",       L"quit-host",  L"programs"});
    ASSERT_EQ(commands.size(), 14u);
    EXPECT_EQ(commands[13].step, Step::Programs);
    EXPECT_EQ(commands[0].step, Step::WaitMain);
    EXPECT_EQ(commands[0].number, 30000);
    EXPECT_EQ(commands[1].step, Step::NoPrompt);
    EXPECT_EQ(commands[1].text, L"browser_host64.exe");
    EXPECT_EQ(commands[2].step, Step::WaitHost);
    EXPECT_EQ(commands[2].number, 5);
    EXPECT_EQ(commands[3].step, Step::FocusPage);
    EXPECT_EQ(commands[4].step, Step::ZoomIn);
    EXPECT_EQ(commands[4].number, 3);
    EXPECT_EQ(commands[5].step, Step::Zoom);
    EXPECT_EQ(commands[6].step, Step::Language);
    EXPECT_EQ(commands[6].number, 1031);
    EXPECT_EQ(commands[7].step, Step::TrayMenu);
    EXPECT_EQ(commands[8].step, Step::CloseMenu);
    EXPECT_EQ(commands[9].step, Step::About);
    EXPECT_EQ(commands[10].step, Step::WaitShown);
    EXPECT_EQ(commands[10].number, 0);
    EXPECT_EQ(commands[11].step, Step::Exit);
    EXPECT_EQ(commands[12].step, Step::QuitHost);
}

TEST(DemoCommands, RefusesWhatItCannotRunRightly) {
    EXPECT_NE(Refusal({}), L"");
    EXPECT_NE(Refusal({L"zoom-in"}).find(L"needs an argument"), std::wstring::npos);
    // A missing number must not take the next step's name for one.
    EXPECT_NE(Refusal({L"zoom-in", L"zoom"}).find(L"no number"), std::wstring::npos);
    EXPECT_NE(Refusal({L"wait-main", L"-5"}).find(L"no number"), std::wstring::npos);
    EXPECT_NE(Refusal({L"wait-main", L"12x"}).find(L"no number"), std::wstring::npos);
    EXPECT_NE(Refusal({L"language", L"1234567890"}).find(L"no number"), std::wstring::npos);
    EXPECT_NE(Refusal({L"zoom", L"Zoom-In"}).find(L"unknown step"), std::wstring::npos);
    EXPECT_NE(Refusal({L"focus-page", L"3"}).find(L"\"3\""), std::wstring::npos);
}

} // namespace
