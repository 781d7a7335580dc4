#include "support/sys_assist.h"

#include "expected_version.h"
#include "support/owners.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using lumivex::CFSysAssist;
using lumivex::test::ProgramDir;

namespace {

std::wstring VersionDll() {
    return ProgramDir() + L"\\helpers_version.dll";
}
std::wstring PartialDll() {
    return ProgramDir() + L"\\helpers_partial.dll";
}

struct VersionStrings {
    bool found = false;
    std::wstring product = L"stale", internal = L"stale", version = L"stale";
};

VersionStrings Read(const wchar_t* path, HMODULE module = nullptr) {
    VersionStrings s;
    s.found = CFSysAssist().GetVersionStrings(path, module, s.product, s.internal, s.version);
    return s;
}

TEST(GetVersionStrings, ReadsTheSharedVersionResourceByPathAndByModule) {
    const VersionStrings byPath = Read(VersionDll().c_str());
    EXPECT_TRUE(byPath.found);
    EXPECT_EQ(EXPECTED_PRODUCT_NAME, byPath.product);
    EXPECT_EQ(L"HelpersVersion", byPath.internal);
    EXPECT_EQ(EXPECTED_PRODUCT_VERSION, byPath.version);

    // The version is split at ", " by its readers.
    std::vector<std::wstring> pieces;
    CFSysAssist().SplitString(byPath.version, L", ", pieces);
    EXPECT_EQ(std::vector<std::wstring>(EXPECTED_VERSION_PIECES), pieces);

    lumivex::UniqueModule module(LoadLibraryW(VersionDll().c_str()));
    ASSERT_TRUE(module) << "LoadLibraryW failed: " << GetLastError();
    const VersionStrings byModule = Read(nullptr, module.get());
    EXPECT_TRUE(byModule.found);
    EXPECT_EQ(L"HelpersVersion", byModule.internal);
    EXPECT_EQ(EXPECTED_PRODUCT_VERSION, byModule.version);

    // A path wins over the module.
    EXPECT_EQ(L"Produit partiel", Read(PartialDll().c_str(), module.get()).product);
}

TEST(GetVersionStrings, StopsAtTheFirstStringMissingFromTheFirstTranslation) {
    const VersionStrings s = Read(PartialDll().c_str());
    EXPECT_FALSE(s.found);
    EXPECT_EQ(L"Produit partiel", s.product);
    EXPECT_EQ(L"", s.internal);
    EXPECT_EQ(L"", s.version);
}

TEST(GetVersionStrings, FilesWithoutVersionResourceGiveFalseAndEmptyOutputs) {
    lumivex::test::TempDir dir;
    lumivex::test::WriteFileBytes(dir / L"plain.dll", "not a program");
    // The test program itself carries no version resource.
    for (const VersionStrings& s : {Read(nullptr), Read((dir / L"plain.dll").c_str()),
                                    Read((dir / L"missing.dll").c_str())}) {
        EXPECT_FALSE(s.found);
        EXPECT_EQ(L"", s.product);
        EXPECT_EQ(L"", s.internal);
        EXPECT_EQ(L"", s.version);
    }
    EXPECT_FALSE(Read(nullptr, reinterpret_cast<HMODULE>(0x10)).found);
}

// Trailing blanks are dropped when a file is opened, so a path cut to MAX_PATH characters would
// still name the library: it must be refused instead.
TEST(GetVersionStrings, RefusesAPathLongerThanMaxPath) {
    const std::wstring shortBlanks = VersionDll() + L"   ";
    ASSERT_TRUE(Read(shortBlanks.c_str()).found) << "trailing blanks are not dropped here";

    const std::wstring longBlanks = VersionDll() + std::wstring(MAX_PATH, L' ');
    EXPECT_FALSE(Read(longBlanks.c_str()).found);
}

TEST(GetLastErrorText, GivesTheCodeAndItsSystemText) {
    const CFSysAssist sys;
    DWORD code = 12345;
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(sys.GetLastErrorText(code).empty());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), code);

    // A code of the customer range has no system text.
    SetLastError(0x2000ABCD);
    EXPECT_EQ(L"", sys.GetLastErrorText(code));
    EXPECT_EQ(0x2000ABCDu, code);
}

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& delimiter) {
    std::vector<std::wstring> pieces;
    CFSysAssist().SplitString(text, delimiter, pieces);
    return pieces;
}

using Pieces = std::vector<std::wstring>;

TEST(SplitString, PiecesBetweenDelimiters) {
    EXPECT_EQ((Pieces{L"1", L"2", L"0", L"0"}), Split(L"1, 2, 0, 0", L", "));
    EXPECT_EQ((Pieces{L"a", L"", L"b"}), Split(L"a, , b", L", "));
    EXPECT_EQ((Pieces{L"a", L"b"}), Split(L"a, b, ", L", "));
    EXPECT_EQ((Pieces{L""}), Split(L", ", L", "));
    EXPECT_EQ((Pieces{L"no delimiter"}), Split(L"no delimiter", L", "));
    EXPECT_EQ(Pieces{}, Split(L"", L", "));
    EXPECT_EQ((Pieces{L"abc"}), Split(L"abc", L""));

    // Pieces are appended to what the list already holds.
    Pieces list{L"kept"};
    CFSysAssist().SplitString(L"x;y", L";", list);
    EXPECT_EQ((Pieces{L"kept", L"x", L"y"}), list);
}

} // namespace
