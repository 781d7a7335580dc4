#include "log_test_support.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <memory>

namespace lumivex::test {
namespace {

class WriteLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTestNow(2026, 12, 7, 9, 5, 3);
        ASSERT_TRUE(m_writer.bInitialize());
    }
    std::wstring LogDir() const { return m_dir / L"Log"; }
    BOOL Write(DWORD level, const wchar_t* value) {
        return m_writer.WriteLog(level, value, nullptr, nullptr, nullptr, -1, nullptr);
    }

    TempDir m_dir;
    TestWriter m_writer{m_dir.path()};
};

TEST_F(WriteLogTest, RecordsAreWrittenByteForByteToASharedFileOpenedPerRecord) {
    EXPECT_EQ(m_writer.WriteLog(LOG_EXCEPTION, L"value", L"CObj", L"Func", nullptr, -1, nullptr),
              TRUE);
    EXPECT_EQ(Write(LOG_CALL_FAIL, L"only"), TRUE);
    HANDLE reader =
        CreateFileW(DayLogPath(LogDir()).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    m_writer.WriteLog(LOG_FATAL, L"x", L"C", L"F", L"a.cpp", 42, L"G");
    CloseHandle(reader);
    m_writer.WriteLog(LOG_OTHER_ERROR, nullptr, nullptr, nullptr, L"b.cpp", -1, nullptr);
    m_writer.WriteLog(LOG_PROMPT, nullptr, L"Obj", nullptr, L"c.cpp", 0, nullptr);
    m_writer.WriteLog(LOG_EXCEPTION, L"two\nlines\n", L"", L"", nullptr, -1, nullptr);

    HANDLE exclusive = CreateFileW(DayLogPath(LogDir()).c_str(), GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "the writer kept the file open";
    CloseHandle(exclusive);
    EXPECT_EQ(TestLogOf(m_dir.path()), "09:05:03 [Exception]CObj::Func=value\r\n"
                                       "09:05:03 [Call Fail]=only\r\n"
                                       "09:05:03 FileName: a.cpp Line: 42\r\n[Fatal]C::F::G=x\r\n"
                                       "09:05:03 FileName: b.cpp\r\n[Other Error]\r\n"
                                       "09:05:03 FileName: c.cpp Line: 0\r\n[Prompt]Obj\r\n"
                                       "09:05:03 [Exception]::=two\r\nlines\r\n\r\n");
}

TEST_F(WriteLogTest, LevelsNeedABitInTheMaskAndAreLabelledAsAWhole) {
    for (DWORD level : {LOG_FUNC_ENTRY, LOG_FUNC_RETURN, LOG_VAR_CHANGED, LOG_RECEIVE_MSG,
                        LOG_SEND_MSG, LOG_PROMPT, LOG_OTHER_ERROR, DWORD{0x800}}) {
        Write(level, L"v");
    }
    m_writer.m_initMask = 0xF0000; // what a writer has when constructed
    ASSERT_TRUE(m_writer.bInitialize());
    Write(LOG_FUNC_ENTRY, L"masked");
    Write(0x100000, L"masked");
    Write(LOG_EXCEPTION, L"e");
    Write(0x30000, L"both");
    m_writer.m_initMask = LOG_CALL_FAIL;
    ASSERT_TRUE(m_writer.bInitialize());
    Write(LOG_FATAL, L"masked");
    Write(0x50000, L"either bit");
    EXPECT_EQ(TestLogOf(m_dir.path()),
              "09:05:03 [Func Entry]=v\r\n09:05:03 [Func Return]=v\r\n"
              "09:05:03 [Var Changed]=v\r\n09:05:03 [Receive Msg]=v\r\n"
              "09:05:03 [Send Msg]=v\r\n09:05:03 [Prompt]=v\r\n09:05:03 [Other Error]=v\r\n"
              "09:05:03 [Other]=v\r\n09:05:03 [Exception]=e\r\n09:05:03 [Other]=both\r\n"
              "09:05:03 [Other]=either bit\r\n");
}

TEST(WriteLogDisabled, BeforeInitialisationNothingIsCreated) {
    TempDir dir;
    TestWriter idle(dir.path());
    EXPECT_EQ(idle.WriteLog(LOG_EXCEPTION, L"v", L"C", L"F", nullptr, -1, nullptr), TRUE);
    EXPECT_FALSE(DirExists(dir / L"Log"));
    idle.m_initResult = FALSE;
    EXPECT_FALSE(idle.bInitialize()) << "the base reports a failed InitLogSettings";
}

TEST_F(WriteLogTest, EachDayHasItsFileAndDatesAndTimesArePadded) {
    SetTestNow(2026, 12, 7, 23, 59, 59);
    Write(LOG_EXCEPTION, L"a");
    Write(LOG_EXCEPTION, L"b");
    SetTestNow(2026, 12, 8, 0, 0, 0);
    Write(LOG_EXCEPTION, L"c");
    SetTestNow(2027, 3, 5, 7, 8, 9);
    TestWriter other(m_dir.path(), L"Other");
    ASSERT_TRUE(other.bInitialize());
    other.WriteLog(LOG_EXCEPTION, L"d", nullptr, nullptr, nullptr, -1, nullptr);

    EXPECT_EQ(ListFiles(LogDir()),
              (std::vector<std::wstring>{L"Lumivex_2026-12-07.log", L"Lumivex_2026-12-08.log",
                                         L"Other_2027-03-05.log"}));
    EXPECT_EQ(ReadFileBytes(LogDir() + L"\\Lumivex_2026-12-07.log"),
              "23:59:59 [Exception]=a\r\n23:59:59 [Exception]=b\r\n");
    EXPECT_EQ(ReadFileBytes(LogDir() + L"\\Lumivex_2026-12-08.log"), "00:00:00 [Exception]=c\r\n");
    EXPECT_EQ(ReadFileBytes(LogDir() + L"\\Other_2027-03-05.log"), "07:08:09 [Exception]=d\r\n");
}

TEST_F(WriteLogTest, AFolderThatCannotBeMadeGivesZeroAFileThatWillNotOpenOne) {
    WriteFileBytes(LogDir(), "not a folder");
    EXPECT_EQ(Write(LOG_EXCEPTION, L"lost"), FALSE);
    EXPECT_EQ(ReadFileBytes(LogDir()), "not a folder");

    TestWriter orphan(m_dir / L"missing\\deeper");
    ASSERT_TRUE(orphan.bInitialize());
    EXPECT_EQ(orphan.WriteLog(LOG_EXCEPTION, L"lost", nullptr, nullptr, nullptr, -1, nullptr),
              FALSE);
    EXPECT_FALSE(DirExists(m_dir / L"missing")) << "parents are not created";

    TestWriter blocked(m_dir / L"blocked");
    ASSERT_TRUE(blocked.bInitialize());
    ASSERT_TRUE(CreateDirectoryW((m_dir / L"blocked").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((m_dir / L"blocked\\Log").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(DayLogPath(m_dir / L"blocked\\Log").c_str(), nullptr));
    EXPECT_EQ(blocked.WriteLog(LOG_EXCEPTION, L"dropped", nullptr, nullptr, nullptr, -1, nullptr),
              TRUE);
}

TEST(WriteLogFallback, WithoutALookupThePerUserFolderIsTheShells) {
    SetTestNow(2026, 12, 7, 9, 5, 3);
    TempDir dir;
    WriteFileBytes(dir / L"Log", "not a folder");
    const std::wstring perUser = AppDataDir() + L"\\Lumivex";
    const bool hadFolder = DirExists(perUser), hadLog = DirExists(perUser + L"\\Log");
    TestWriter writer(dir.path(), L"LumivexFallbackTest");
    ASSERT_TRUE(writer.bInitialize());
    writer.SetAppDataLookup(nullptr);

    EXPECT_EQ(writer.WriteLog(LOG_EXCEPTION, L"shell", nullptr, nullptr, nullptr, -1, nullptr),
              TRUE);
    const std::wstring file = DayLogPath(perUser + L"\\Log", L"LumivexFallbackTest");
    EXPECT_EQ(ReadFileBytes(file), "09:05:03 [Exception]=shell\r\n");

    // Leave the user's folder as it was found.
    DeleteFileW(file.c_str());
    if (!hadLog) {
        RemoveDirectoryW((perUser + L"\\Log").c_str());
    }
    if (!hadFolder) {
        RemoveDirectoryW(perUser.c_str());
    }
}

TEST_F(WriteLogTest, TextsOfAnyLengthAndCharacterKeepTheirRecord) {
    const std::wstring value(5000, L'v'), object(3000, L'o'), function(4000, L'f');
    m_writer.WriteLog(LOG_EXCEPTION, value.c_str(), object.c_str(), function.c_str(),
                      std::wstring(2500, L's').c_str(), 7, L"g");
    Write(LOG_EXCEPTION, L"caf\u00e9 \u20ac \U0001F600 end");
    EXPECT_EQ(TestLogOf(m_dir.path()),
              "09:05:03 FileName: " + std::string(2500, 's') + " Line: 7\r\n[Exception]" +
                  std::string(3000, 'o') + "::" + std::string(4000, 'f') + "::g=" +
                  std::string(5000, 'v') + "\r\n09:05:03 [Exception]=caf\xe9 ? ?? end\r\n");
}

TEST(WriteLogRoot, TheLogFolderLiesAtTheRootOfTheCurrentDrive) {
    SetTestNow(2026, 12, 7, 9, 5, 3);
    TempDir driveFolder, appData;
    ASSERT_TRUE(CreateDirectoryW((driveFolder / L"work").c_str(), nullptr));
    TempDrive drive(driveFolder.path());
    ASSERT_TRUE(drive.mapped());
    {
        CurrentDirScope inside(drive.root() + L"work");
        TestWriter writer; // empty base folder, as the main program has
        ASSERT_TRUE(writer.bInitialize());
        UseTestAppData(appData.path());
        writer.SetAppDataLookup(&TestAppData);
        EXPECT_EQ(
            writer.WriteLog(LOG_EXCEPTION, L"at the root", nullptr, nullptr, nullptr, -1, nullptr),
            TRUE);
    }
    EXPECT_EQ(TestLogOf(driveFolder.path()), "09:05:03 [Exception]=at the root\r\n");
    EXPECT_FALSE(DirExists(driveFolder / L"work\\Log"));
    EXPECT_FALSE(DirExists(appData / L"Lumivex")) << "the root could take the record";
}

TEST(WriteLogRoot, ARootThatRefusesTheLogFolderLeavesTheRecordInThePerUserLog) {
    SetTestNow(2026, 12, 7, 9, 5, 3);
    TempDir driveFolder, appData;
    ASSERT_TRUE(CreateDirectoryW((driveFolder / L"work").c_str(), nullptr));
    WriteFileBytes(driveFolder / L"Log", "not a folder");
    UseTestAppData(appData.path());
    const std::wstring perUserLog = appData / L"Lumivex\\Log";
    TempDrive drive(driveFolder.path());
    ASSERT_TRUE(drive.mapped());
    {
        CurrentDirScope inside(drive.root() + L"work");
        TestWriter writer;
        ASSERT_TRUE(writer.bInitialize());
        writer.SetAppDataLookup(&TestAppData);
        EXPECT_EQ(
            writer.WriteLog(LOG_EXCEPTION, L"per user", nullptr, nullptr, nullptr, -1, nullptr),
            TRUE);
        EXPECT_EQ(TestLogOf(appData / L"Lumivex"), "09:05:03 [Exception]=per user\r\n");

        // Both refused: the record is lost as before, and nothing is overwritten.
        RemoveTree(perUserLog);
        WriteFileBytes(perUserLog, "not a folder either");
        EXPECT_EQ(writer.WriteLog(LOG_EXCEPTION, L"lost", nullptr, nullptr, nullptr, -1, nullptr),
                  FALSE);
    }
    EXPECT_EQ(ReadFileBytes(perUserLog), "not a folder either");
    EXPECT_EQ(ReadFileBytes(driveFolder / L"Log"), "not a folder");
    EXPECT_FALSE(DirExists(driveFolder / L"work\\Log"));
}

TEST(CurrentLogWriter, TheNewestWriterIsCurrentAndNoneOutlivesItsObject) {
    ASSERT_EQ(GetCurrentLogWriter(), nullptr);
    auto first = std::make_unique<TestWriter>();
    auto second = std::make_unique<TestWriter>();
    EXPECT_EQ(GetCurrentLogWriter(), second.get());
    first.reset();
    EXPECT_EQ(GetCurrentLogWriter(), second.get());
    second.reset();
    EXPECT_EQ(GetCurrentLogWriter(), nullptr);
}

} // namespace
} // namespace lumivex::test
