// How the server's command line selects its command.
#include "server/server_command.h"
#include "support/command_line.h"

#include <gtest/gtest.h>

#include <climits>

using namespace lumivex::server;
using lumivex::CommandLineWords;
using lumivex::ParseSwitches;

namespace {

ServerCommand FromLine(const wchar_t* commandLine) {
    return CommandFromSwitches(ParseSwitches(CommandLineWords(commandLine)));
}

constexpr wchar_t kProgram[] = L"\"C:\\Program Files\\Lumivex\\LumivexServer.exe\" ";

ServerCommand FromArgs(const std::wstring& args) {
    return FromLine((kProgram + args).c_str());
}

} // namespace

TEST(ServerSwitches, FirstSwitchSelectsTheCommandWithoutRegardToCase) {
    for (const wchar_t* args : {L"/enable", L"-ENABLE", L"/Enable"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(args)));
        EXPECT_EQ(FromArgs(args).code, SERVER_ENABLE);
        EXPECT_EQ(FromArgs(args).param, 0);
    }
    EXPECT_EQ(FromArgs(L"/Disable").code, SERVER_DISABLE);
    EXPECT_EQ(FromArgs(L"-exit").code, SERVER_EXIT);
    EXPECT_EQ(FromArgs(L"/INJECT").code, SERVER_INJECT);

    EXPECT_EQ(FromArgs(L"Enable").code, SERVER_NONE) << "no leading slash or hyphen-minus";
    EXPECT_EQ(FromArgs(L"").code, SERVER_NONE);
    EXPECT_EQ(FromArgs(L"/Enabled").code, SERVER_NONE) << "the whole switch must match";
    EXPECT_EQ(FromArgs(L"\"/Enable \"").code, SERVER_NONE) << "a quoted blank is part of it";

    // Only the first switch counts; words that are no switches do not.
    EXPECT_EQ(FromArgs(L"/Disable /Enable").code, SERVER_DISABLE);
    EXPECT_EQ(FromArgs(L"/Unknown /Enable").code, SERVER_NONE);
    EXPECT_EQ(FromArgs(L"Enable /Exit").code, SERVER_EXIT);
    EXPECT_EQ(FromArgs(L"\"/Exit\"").code, SERVER_EXIT) << "the shell's quotes are removed";
}

TEST(ServerSwitches, InjectTakesTheSecondSwitchAsSignedDecimal) {
    EXPECT_EQ(FromArgs(L"/Inject /123").code, SERVER_INJECT);
    EXPECT_EQ(FromArgs(L"/Inject /123").param, 123);
    EXPECT_EQ(FromArgs(L"/Inject /-5").param, -5);
    // Sign-extended to the full width of the parameter.
    EXPECT_EQ(static_cast<UINT_PTR>(FromArgs(L"/Inject /-5").param), static_cast<UINT_PTR>(0) - 5);
    // A hyphen-minus in front of a word marks a switch, not a sign.
    EXPECT_EQ(FromArgs(L"/Inject -5").param, 5);
    EXPECT_EQ(FromArgs(L"/Inject /12abc").param, 12) << "leading digits only";
    EXPECT_EQ(FromArgs(L"/Inject /abc").param, 0);
    EXPECT_EQ(FromArgs(L"/Inject /").param, 0);
    EXPECT_EQ(FromArgs(L"/Inject").param, 0);
    EXPECT_EQ(FromArgs(L"/Inject 123").param, 0) << "not a switch";
    EXPECT_EQ(FromArgs(L"/Inject 7 /8 /9").param, 8);
    // Other commands carry no parameter.
    EXPECT_EQ(FromArgs(L"/Enable /123").param, 0);
}

TEST(ServerSwitches, NumbersBeyondThirtyTwoBitsStopAtTheEnds) {
    EXPECT_EQ(LeadingDecimal(L"2147483647"), INT_MAX);
    EXPECT_EQ(LeadingDecimal(L"-2147483648"), INT_MIN);
    EXPECT_EQ(LeadingDecimal(L"2147483648"), INT_MAX);
    EXPECT_EQ(LeadingDecimal(L"-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(LeadingDecimal(L"  17"), 17);
    EXPECT_EQ(LeadingDecimal(L"- 17"), 0);
    EXPECT_EQ(LeadingDecimal(L"0x1F"), 0);
    EXPECT_EQ(FromArgs(L"/Inject /99999999999").param, INT_MAX);
}
