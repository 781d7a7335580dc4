// The main program's window-free rules: what the switches ask for, the autostart command, the
// version label, the files an installer set aside and where a tab page goes.
#include "app/app_rules.h"

#include <gtest/gtest.h>

using namespace lumivex::app;

namespace {

StartRequest For(std::vector<std::wstring> switches) {
    return RequestFromSwitches(switches);
}

} // namespace

TEST(StartSwitches, OnlyTheFirstSwitchAndItsFirstLettersCount) {
    EXPECT_EQ(For({}), StartRequest::Normal);
    EXPECT_EQ(For({L"m"}), StartRequest::Minimized);
    EXPECT_EQ(For({L"M"}), StartRequest::Minimized);
    EXPECT_EQ(For({L"minimized"}), StartRequest::Minimized);
    EXPECT_EQ(For({L"x", L"m"}), StartRequest::Normal) << "a later switch never counts";
    EXPECT_EQ(For({L"u"}), StartRequest::Uninstall);
    EXPECT_EQ(For({L"Uninstall", L"m"}), StartRequest::Uninstall);
    EXPECT_EQ(For({L"clean"}), StartRequest::Clean);
    EXPECT_EQ(For({L"CLEANUP"}), StartRequest::Clean);
    // Shorter than "clean": compared with its end, so neither "clean" nor "u" nor "m".
    EXPECT_EQ(For({L"cle"}), StartRequest::Normal);
    EXPECT_EQ(For({L""}), StartRequest::Normal);
}

TEST(Autostart, CommandNamesLumivexExeAndQuotesAFolderWithABlank) {
    EXPECT_EQ(AutostartCommand(L"C:\\Tools\\"), L"C:\\Tools\\Lumivex.exe /m");
    EXPECT_EQ(AutostartCommand(L"C:\\Program Files\\Lumivex\\"),
              L"\"C:\\Program Files\\Lumivex\\Lumivex.exe\" /m");
}

TEST(SetAsideFiles, OnlyANameWithANumberBeforeTheSuffixCounts) {
    for (const wchar_t* name : {L"LumivexDll.dll.1.old", L"LumivexDll64.dll.12.OLD", L"x.0.old"}) {
        EXPECT_TRUE(IsSetAsideFileName(name)) << name;
    }
    // A user's own file, or one of ours under its real name, is never taken for one.
    for (const wchar_t* name : {L"notes.old", L".1.old", L"x..old", L"x.1a.old", L"x.1.old.txt",
                                L".old", L"LumivexDll.dll", L"x.1.ol"}) {
        EXPECT_FALSE(IsSetAsideFileName(name)) << name;
    }
}

TEST(ZoomLabel, TextAndPlaceCentredBelowTheTopOfTheBrowserWindow) {
    EXPECT_EQ(ZoomLabelText(140), L"140 %");
    EXPECT_EQ(ZoomLabelText(10), L"10 %");
    const PageBox box = ZoomLabelBoxFor(PageBox{100, 50, 500, 350}, 80, 30, 12);
    EXPECT_EQ(box.left, 260);
    EXPECT_EQ(box.top, 62);
    EXPECT_EQ(box.right, 340);
    EXPECT_EQ(box.bottom, 92);
    // Wider than a narrow window: it starts at the window's left edge, not beyond it.
    const PageBox narrow = ZoomLabelBoxFor(PageBox{-300, 0, -260, 40}, 80, 30, 4);
    EXPECT_EQ(narrow.left, -300);
    EXPECT_EQ(narrow.right, -220);
}

TEST(VersionLabel, ThreeFieldsOfTheProductVersion) {
    EXPECT_EQ(VersionLabel({L"1", L"2", L"0", L"0"}), L"Lumivex V1.2.0");
    EXPECT_EQ(VersionLabel({L"1", L"2", L"0"}), L"Lumivex V1.2.0");
    // A short version resource still gives a label, never reads past what is there.
    EXPECT_EQ(VersionLabel({L"3"}), L"Lumivex V3");
    EXPECT_EQ(VersionLabel({}), L"Lumivex");
}

TEST(TabPages, BoxLiesBelowTheTabsInsideTheControl) {
    const PageBox box = PageBoxFor(PageBox{0, 0, 400, 250}, 20);
    EXPECT_EQ(box.left, 4);
    EXPECT_EQ(box.top, 26);
    EXPECT_EQ(box.right, 394);
    EXPECT_EQ(box.bottom, 244);
}
