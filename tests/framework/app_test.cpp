// Application objects: the program entry with start-up, loop and exit code; the library object's
// start-up once at first use on racing threads, and its unload notification.
#include "support/owners.h"
#include "test_files.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <thread>

using namespace lumivex::test;

namespace {

struct UnloadRecord {
    int unloads;
    int terminating;
};

std::wstring Helper(const wchar_t* name) {
    return ProgramDir() + L"\\" + name;
}

template <typename F> F Export(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

TEST(Application, ProgramEntryRunsStartUpLoopAndExit) {
    // The command that the main dialog leaves alone reaches the application object, which ends
    // the loop with 42; the exit operation gives the code.
    EXPECT_EQ(RunProgram(Helper(L"fw_test_program.exe"), L"command", 20000), 42u);
    // A refused start-up skips the loop but not the exit operation.
    EXPECT_EQ(RunProgram(Helper(L"fw_test_program.exe"), L"refuse", 20000), 7u);
}

TEST(Application, LibraryStartsOnceAtFirstUseAndHearsItsUnload) {
    lumivex::UniqueModule library(::LoadLibraryW(Helper(L"fw_test_dll.dll").c_str()));
    ASSERT_TRUE(library);
    auto use = Export<int (*)()>(library.get(), "FwTestUse");
    auto loads = Export<int (*)()>(library.get(), "FwTestLoads");
    auto startups = Export<int (*)()>(library.get(), "FwTestStartups");
    auto nested = Export<int (*)()>(library.get(), "FwTestNestedResult");
    auto setRecord = Export<void (*)(UnloadRecord*)>(library.get(), "FwTestSetUnloadRecord");
    ASSERT_TRUE(use && loads && startups && nested && setRecord);

    EXPECT_EQ(loads(), 1);
    EXPECT_EQ(startups(), 0) << "start-up ran at load, under the loader lock";

    lumivex::UniqueHandle go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    int results[2] = {-1, -1};
    std::thread first([&] {
        ::WaitForSingleObject(go.get(), INFINITE);
        results[0] = use();
    });
    std::thread second([&] {
        ::WaitForSingleObject(go.get(), INFINITE);
        results[1] = use();
    });
    ::SetEvent(go.get());
    first.join();
    second.join();
    EXPECT_EQ(startups(), 1);
    EXPECT_EQ(results[0], 1) << "a thread went on before start-up had finished";
    EXPECT_EQ(results[1], 1) << "a thread went on before start-up had finished";
    EXPECT_EQ(nested(), 0) << "EnsureStarted from inside start-up";
    EXPECT_EQ(use(), 1);
    EXPECT_EQ(startups(), 1);

    UnloadRecord record = {0, -1};
    setRecord(&record);
    library.reset();
    EXPECT_EQ(record.unloads, 1);
    EXPECT_EQ(record.terminating, 0) << "FreeLibrary in a live process reported as process end";
}

TEST(Application, LibraryUnloadAtProcessEndSaysSo) {
    TempDir dir;
    const std::wstring file = dir / L"unload.txt";
    EXPECT_EQ(RunProgram(Helper(L"fw_test_program.exe"), L"loaddll \"" + file + L"\"", 20000,
                         ProgramDir()),
              0u);
    EXPECT_EQ(ReadFileBytes(file), "terminating=1");
}

} // namespace
