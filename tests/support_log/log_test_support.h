// Shared pieces of the log writer tests: a writer with a settable clock and a temporary drive.
#pragma once

#include "support/log_writer.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace lumivex::test {

// 7 December 2026, 09:05:03 unless a test sets another time.
extern SYSTEMTIME g_testNow;
void SetTestNow(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);

// A writer as an application derives it: InitLogSettings switches logging on with `mask`. It has
// no per-user folder to fall back on until a test gives it one (SetAppDataLookup).
class TestWriter : public CFAppAssist {
public:
    explicit TestWriter(std::wstring baseDir = L"", std::wstring appName = L"Lumivex",
                        DWORD mask = 0xFFFFFFFF);
    const wchar_t* GetAppName() const override { return m_appName.c_str(); }
    BOOL InitLogSettings() override;

    DWORD m_initMask;
    BOOL m_initResult = TRUE;

private:
    std::wstring m_appName;
};

// Maps a free drive letter to `folder` for the scope (under Wine through its mount manager, the
// way its configuration tool adds drives; elsewhere with DefineDosDeviceW).
class TempDrive {
public:
    explicit TempDrive(const std::wstring& folder);
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    bool mapped() const { return m_letter != 0; }
    std::wstring root() const { return std::wstring(1, m_letter) + L":\\"; }

private:
    wchar_t m_letter = 0;
    bool m_wine = false;
    std::wstring m_folder;
};

// The log file the test writer uses for g_testNow under `logDir`.
std::wstring DayLogPath(const std::wstring& logDir, const std::wstring& appName = L"Lumivex");

// Faults that the compiler cannot see coming or remove (defined out of line).
void WriteThroughNull();
void DivideByZero();

std::string TestLogOf(const std::wstring& baseDir); // today's (g_testNow) file under baseDir\Log
size_t CountRecords(const std::string& log);        // "[Exception]" records
std::vector<ULONG_PTR> RecordAddresses(const std::string& log); // each "; Address: " value
bool InModule(ULONG_PTR address, HMODULE module);

// Collects what OutputDebugString sends while in scope.
class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    std::vector<std::wstring> texts;

private:
    void* m_handler;
};

// A writer logging under a temporary folder at a fixed time, enabled for every level.
class WriterFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetTestNow(2026, 12, 7, 9, 5, 3);
        ASSERT_TRUE(m_writer.bInitialize());
    }
    std::string Log() const { return TestLogOf(m_dir.path()); }

    TempDir m_dir;
    TestWriter m_writer{m_dir.path()};
};

} // namespace lumivex::test
