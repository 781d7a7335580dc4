// The words of a command line and the switches among them, as the main program and the server
// read theirs.
#include "support/command_line.h"

#include <gtest/gtest.h>

using lumivex::CommandLineWords;
using lumivex::ParseSwitches;

namespace {

using Words = std::vector<std::wstring>;

TEST(CommandLine, WordsAreSplitByTheShellsRules) {
    EXPECT_EQ(
        CommandLineWords(L"\"C:\\Program Files\\Lumivex\\Lumivex.exe\" /m  -x \"a b\" c\"d e\""),
        (Words{L"C:\\Program Files\\Lumivex\\Lumivex.exe", L"/m", L"-x", L"a b", L"cd e"}));
    EXPECT_EQ(CommandLineWords(L"Lumivex.exe \"\""), (Words{L"Lumivex.exe", L""}));
    EXPECT_TRUE(CommandLineWords(nullptr).empty());
}

TEST(CommandLine, SwitchWordsLoseTheirLeadingCharacterOthersAreIgnored) {
    const Words words = {
        L"/odd/LumivexServer.exe", L"Enable", L"-one", L"/two", L"", L"/", L"x/three", L"//four"};
    // Word 0 is the program even when it looks like a switch.
    EXPECT_EQ(ParseSwitches(words), (Words{L"one", L"two", L"", L"/four"}));
    EXPECT_TRUE(ParseSwitches({}).empty());
    EXPECT_TRUE(ParseSwitches({L"LumivexServer.exe"}).empty());
    EXPECT_EQ(ParseSwitches(CommandLineWords(L"Lumivex.exe -m \"/clean up\" u")),
              (Words{L"m", L"clean up"}));
}

} // namespace
