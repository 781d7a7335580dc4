// "AppOption.data" on disk: loading, saving, the move of an old list into browsers.ini, and
// saves that cannot start or that fail part-way.
#include "option_bytes.h"
#include "test_files.h"

#include "controller/option_file.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace lumivex {
namespace {

using test::FileBytes;
using test::ReadFileBytes;
using test::StoreToBytes;
using test::TempDir;
using test::WriteFileBytes;
using ::testing::ElementsAre;
using ::testing::Pair;

std::wstring ProfileValue(const std::wstring& ini, const wchar_t* key) {
    wchar_t value[64] = {};
    ::GetPrivateProfileStringW(L"Processes", key, L"<none>", value, 64, ini.c_str());
    return value;
}

class OptionStore : public ::testing::Test {
protected:
    OptionStore() : m_file(m_dir.path(), m_dir / L"browsers.ini") {
        m_file.reportSaveFailure = [this] { ++m_failures; };
    }

    std::wstring OptionPath() const { return m_dir / L"AppOption.data"; }

    TempDir m_dir;
    COptionFile m_file;
    int m_failures = 0;
};

TEST_F(OptionStore, PathIsTheDataFolderWithOrWithoutItsBackslash) {
    EXPECT_EQ(m_file.Path(), OptionPath());
    EXPECT_EQ(COptionFile(L"C:\\prog\\", L"").Path(), L"C:\\prog\\AppOption.data");
    EXPECT_EQ(COptionFile(L"", L"").Path(), L"");
}

TEST_F(OptionStore, NoFileKeepsTheRecordAndTheFirstSaveWrites430Bytes) {
    CLumivexOption option;
    option.m_bShowTrayIcon = 0; // left alone: nothing was read
    EXPECT_EQ(m_file.LoadOptions(option), OptionLoad::kNoFile);
    EXPECT_EQ(option.m_bShowTrayIcon, 0);
    EXPECT_FALSE(test::FileExists(OptionPath()));

    CLumivexOption defaults;
    m_file.SaveOptions(defaults);
    const std::string bytes = ReadFileBytes(OptionPath());
    EXPECT_EQ(bytes.size(), 430u);
    EXPECT_EQ(bytes, StoreToBytes(defaults));
    EXPECT_THAT(test::ListFiles(m_dir.path()), ElementsAre(L"AppOption.data"));
    EXPECT_EQ(m_failures, 0);

    CLumivexOption read;
    read.m_mapBrowsers.clear();
    read.m_bShowTrayIcon = 0;
    EXPECT_EQ(m_file.LoadOptions(read), OptionLoad::kLoaded);
    EXPECT_EQ(read.m_bShowTrayIcon, 1);
    EXPECT_EQ(read.m_mapBrowsers, defaults.m_mapBrowsers);
}

TEST_F(OptionStore, VersionThreeMovesItsNamesIntoBrowsersIniAndIsSavedAsFour) {
    WriteFileBytes(OptionPath(), FileBytes()
                                     .head(3, 0, 1, 1)
                                     .u16(2)
                                     .wide(L"myreader.exe")
                                     .wide(L"myreader.exe")
                                     .narrow("iexplore.exe")
                                     .narrow("iexplore.exe")
                                     .hotKey()
                                     .str());
    CLumivexOption option;
    m_file.LoadOptions(option);
    const std::wstring ini = m_dir / L"browsers.ini";
    EXPECT_EQ(ProfileValue(ini, L"myreader.exe"), L"0");
    EXPECT_EQ(ProfileValue(ini, L"iexplore.exe"), L"0");
    EXPECT_EQ(option.m_mapBrowsers.size(), 2u);

    m_file.SaveOptions(option);
    EXPECT_EQ(ReadFileBytes(OptionPath()).substr(0, 4), std::string("\x04\0\0\0", 4));
}

TEST_F(OptionStore, VersionFourExtraEntriesStayOutOfBrowsersIniAndAreCarried) {
    CLumivexOption written;
    written.m_mapBrowsers[L"extra.exe"] = L"extra.exe";
    written.m_bCheckUpdate = 1;
    WriteFileBytes(OptionPath(), StoreToBytes(written));

    CLumivexOption option;
    m_file.LoadOptions(option);
    EXPECT_FALSE(test::FileExists(m_dir / L"browsers.ini"));
    EXPECT_EQ(option.m_bCheckUpdate, 1);
    EXPECT_EQ(option.m_mapBrowsers.count(L"extra.exe"), 1u);

    m_file.SaveOptions(option);
    CLumivexOption again;
    again.m_mapBrowsers.clear();
    m_file.LoadOptions(again);
    EXPECT_EQ(again.m_mapBrowsers, written.m_mapBrowsers);
}

TEST_F(OptionStore, DamagedFileGivesDefaultsAndTheNextSaveIsWhole) {
    const std::string damaged = FileBytes()
                                    .head(4, 1, 3, 0)
                                    .u16(2)
                                    .wide(L"kept.exe")
                                    .wide(L"kept.exe")
                                    .wide(L"lost.exe")
                                    .str();
    WriteFileBytes(OptionPath(), damaged);
    CLumivexOption option;
    EXPECT_EQ(m_file.LoadOptions(option), OptionLoad::kFailed);
    EXPECT_EQ(ReadFileBytes(OptionPath() + L".corrupt"), damaged);
    EXPECT_EQ(option.m_bCheckUpdate, 0);
    EXPECT_EQ(option.m_bShowTrayIcon, 1);
    EXPECT_EQ(option.m_mapBrowsers.size(), 8u);
    EXPECT_EQ(option.m_mapBrowsers.count(L"kept.exe"), 1u);

    m_file.SaveOptions(option);
    CLumivexOption read;
    read.m_mapBrowsers.clear();
    m_file.LoadOptions(read);
    EXPECT_EQ(read.m_mapBrowsers, option.m_mapBrowsers);

    WriteFileBytes(OptionPath(), "");
    EXPECT_EQ(m_file.LoadOptions(read), OptionLoad::kNoFile) << "nothing in it to keep";
}

TEST_F(OptionStore, SingleByteStringsGoThroughTheAnsiCodePage) {
    // 0xE9 is one character in every single-byte code page; ask the platform which.
    wchar_t expected = 0;
    ASSERT_EQ(::MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, &expected, 1), 1);
    WriteFileBytes(OptionPath(), FileBytes()
                                     .head(4, 0, 1, 1)
                                     .u16(1)
                                     .narrow("caf\xE9.exe")
                                     .u8(0xFF)
                                     .u16(3)
                                     .raw("a\xE9z")
                                     .hotKey()
                                     .str());
    CLumivexOption option;
    m_file.LoadOptions(option);
    const std::wstring key = std::wstring(L"caf") + expected + L".exe";
    const std::wstring value = std::wstring(L"a") + expected + L"z";
    EXPECT_THAT(option.m_mapBrowsers, ElementsAre(Pair(key, value)));
}

TEST_F(OptionStore, AFileThatCannotBeOpenedIsLeftAlone) {
    CLumivexOption written;
    WriteFileBytes(OptionPath(), StoreToBytes(written));
    HANDLE locked = ::CreateFileW(OptionPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    CLumivexOption option;
    option.m_bShowTrayIcon = 0;
    EXPECT_EQ(m_file.LoadOptions(option), OptionLoad::kFailed);
    EXPECT_EQ(option.m_bShowTrayIcon, 0);
    ::CloseHandle(locked);

    // A folder of that name cannot be read as a file either.
    TempDir other;
    ASSERT_TRUE(::CreateDirectoryW((other / L"AppOption.data").c_str(), nullptr));
    COptionFile folder(other.path(), L"");
    EXPECT_EQ(folder.LoadOptions(option), OptionLoad::kFailed);
    EXPECT_EQ(option.m_bShowTrayIcon, 0);
}

TEST_F(OptionStore, SaveWhereNoFileCanBeCreatedWritesNothingAndSaysNothing) {
    COptionFile missing(m_dir / L"no such folder", L"");
    missing.reportSaveFailure = [this] { ++m_failures; };
    CLumivexOption option;
    missing.SaveOptions(option);
    EXPECT_FALSE(test::DirExists(m_dir / L"no such folder"));
    EXPECT_EQ(m_failures, 0);

    // Nor without a data folder: no file at the drive's root.
    COptionFile none(L"", L"");
    none.reportSaveFailure = [this] { ++m_failures; };
    test::CurrentDirScope here(m_dir.path());
    none.SaveOptions(option);
    EXPECT_TRUE(test::ListFiles(m_dir.path()).empty());
    EXPECT_FALSE(test::FileExists(L"\\AppOption.data"));
    EXPECT_EQ(m_failures, 0);
}

TEST_F(OptionStore, AReadOnlyOldFileIsNotReplaced) {
    const std::string old = "old bytes";
    WriteFileBytes(OptionPath(), old);
    ASSERT_TRUE(::SetFileAttributesW(OptionPath().c_str(), FILE_ATTRIBUTE_READONLY));
    CLumivexOption option;
    m_file.SaveOptions(option);
    EXPECT_EQ(ReadFileBytes(OptionPath()), old);
    EXPECT_EQ(m_failures, 0);
    EXPECT_THAT(test::ListFiles(m_dir.path()), ElementsAre(L"AppOption.data"));
    ::SetFileAttributesW(OptionPath().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Passes `allowed` bytes to the file, then fails every write.
class BreakingSink final : public IOptionSink {
public:
    BreakingSink(IOptionSink& file, std::size_t allowed) : m_file(file), m_allowed(allowed) {}
    bool Write(const void* data, std::size_t size) override {
        if (size > m_allowed) {
            m_file.Write(data, m_allowed);
            m_allowed = 0;
            return false;
        }
        m_allowed -= size;
        return m_file.Write(data, size);
    }

private:
    IOptionSink& m_file;
    std::size_t m_allowed;
};

TEST_F(OptionStore, ASaveThatFailsPartWayKeepsTheOldFile) {
    CLumivexOption first;
    first.m_bCheckUpdate = 1;
    m_file.SaveOptions(first);
    const std::string old = ReadFileBytes(OptionPath());
    ASSERT_EQ(old.size(), 430u);

    for (std::size_t allowed : {0u, 100u, 5000u}) {
        CLumivexOption bigger;
        for (int i = 0; i < 400; ++i) {
            bigger.m_mapBrowsers[L"program" + std::to_wstring(i) + L".exe"] = L"x";
        }
        m_file.wrapFileSink = [allowed](IOptionSink& file) {
            return std::make_unique<BreakingSink>(file, allowed);
        };
        m_failures = 0;
        m_file.SaveOptions(bigger);
        EXPECT_EQ(m_failures, 1) << allowed;
        EXPECT_EQ(ReadFileBytes(OptionPath()), old) << allowed;
        EXPECT_THAT(test::ListFiles(m_dir.path()), ElementsAre(L"AppOption.data")) << allowed;
        EXPECT_EQ(bigger.m_mapBrowsers.size(), 407u) << "the record in memory is kept";
    }

    m_file.wrapFileSink = nullptr;
    m_failures = 0;
    CLumivexOption second;
    second.m_bShowTrayIcon = 0;
    m_file.SaveOptions(second);
    EXPECT_EQ(ReadFileBytes(OptionPath()), StoreToBytes(second));
    EXPECT_EQ(m_failures, 0);
}

TEST_F(OptionStore, AnOldFileInUseIsNotReplacedAndTheSaveIsReported) {
    const std::string old = "old bytes";
    WriteFileBytes(OptionPath(), old);
    HANDLE held =
        ::CreateFileW(OptionPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    CLumivexOption option;
    m_file.SaveOptions(option);
    ::CloseHandle(held);
    EXPECT_EQ(m_failures, 1);
    EXPECT_EQ(ReadFileBytes(OptionPath()), old);
    EXPECT_THAT(test::ListFiles(m_dir.path()), ElementsAre(L"AppOption.data"));
}

} // namespace
} // namespace lumivex
