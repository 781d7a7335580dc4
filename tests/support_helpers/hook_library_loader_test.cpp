// The hook library loader with the controller tests' stand-in library, which records its loads
// and calls in "hook_calls.log" beside itself and, with "hook_fault.txt" beside it, faults in
// each export after recording.
#include "support/hook_library_loader.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <cwchar>

using lumivex::CHookLibraryLoader;
using lumivex::kLibraryPathChars;
using namespace lumivex::test;

namespace {

using Calls = std::vector<std::string>;

constexpr BOOL kSetResult = 7; // what the stand-in's SetIECBT answers

class HookLibraryLoader : public testing::Test {
protected:
    // The library stays loaded for good; only the test lets it go, so its folder can go too.
    void TearDown() override {
        if (m_loader.Module()) {
            FreeLibrary(m_loader.Module());
        }
    }

    bool Place(const wchar_t* builtName = L"controller_stand_in_hook.dll") {
        return CopyFileW((ProgramDir() + L"\\" + builtName).c_str(), (m_dir / kName).c_str(),
                         FALSE) != FALSE;
    }

    // The test's folder spelled longer with ".\" steps (and one "x\..\" for an odd rest), so
    // that with the library's name the path has `length` characters.
    std::wstring Spelled(size_t length) const {
        std::wstring folder = m_folder;
        size_t rest = length - std::wcslen(kName) - folder.size();
        if (rest % 2) {
            folder += L"x\\..\\";
            rest -= 5;
        }
        for (; rest > 0; rest -= 2) {
            folder += L".\\";
        }
        return folder;
    }

    Calls HookCalls() const { return Lines(ReadFileBytes(m_dir / L"hook_calls.log")); }

    static constexpr wchar_t kName[] = L"loader_test_hook.dll";
    TempDir m_dir;
    const std::wstring m_folder = m_dir.path() + L"\\";
    CHookLibraryLoader m_loader{kName};
};

TEST_F(HookLibraryLoader, LoadsOnceByFullPathAndKeepsTheLibrary) {
    EXPECT_EQ(m_loader.InstallHook(m_folder), FALSE) << "no library yet";
    EXPECT_EQ(m_loader.Module(), nullptr);
    EXPECT_EQ(m_loader.RemoveHook(), TRUE);

    ASSERT_TRUE(Place());
    {
        // A bare name would be found in the current folder.
        CurrentDirScope inside(m_dir.path());
        EXPECT_EQ(m_loader.InstallHook(L""), FALSE);
        EXPECT_EQ(m_loader.Module(), nullptr);
    }
    EXPECT_EQ(m_loader.InstallHook(m_folder), kSetResult) << "a failed load is tried again";
    const HMODULE module = m_loader.Module();
    EXPECT_EQ(module, GetModuleHandleW((m_folder + kName).c_str()));
    EXPECT_EQ(m_loader.InstallHook(L""), kSetResult) << "once loaded, the folder plays no part";
    EXPECT_EQ(m_loader.RemoveHook(), TRUE);
    EXPECT_EQ(m_loader.RemoveHook(), TRUE);
    EXPECT_EQ(m_loader.Module(), module);
    EXPECT_EQ(HookCalls(), (Calls{"load", "SetIECBT", "SetIECBT", "ClearIECBT", "ClearIECBT"}));
}

TEST_F(HookLibraryLoader, APathThatDoesNotFitItsBufferIsRefused) {
    ASSERT_TRUE(Place());
    for (size_t length : {kLibraryPathChars, kLibraryPathChars + 1}) {
        SCOPED_TRACE(length);
        const std::wstring folder = Spelled(length);
        ASSERT_EQ(folder.size() + std::wcslen(kName), length);
        EXPECT_EQ(m_loader.InstallHook(folder), FALSE);
        EXPECT_EQ(m_loader.Module(), nullptr);
    }
    const std::wstring fits = Spelled(kLibraryPathChars - 1);
    EXPECT_EQ(m_loader.InstallHook(fits), kSetResult) << "a path of 259 and its terminator";
    EXPECT_EQ(HookCalls(), (Calls{"load", "SetIECBT"}));
}

TEST_F(HookLibraryLoader, AFaultInsideAnExportIsCaught) {
    ASSERT_TRUE(Place());
    WriteFileBytes(m_dir / L"hook_fault.txt", "");
    EXPECT_EQ(m_loader.InstallHook(m_folder), FALSE);
    EXPECT_EQ(m_loader.RemoveHook(), TRUE);
    ASSERT_TRUE(DeleteFileW((m_dir / L"hook_fault.txt").c_str()));
    EXPECT_EQ(m_loader.InstallHook(m_folder), kSetResult);
    EXPECT_EQ(HookCalls(), (Calls{"load", "SetIECBT", "ClearIECBT", "SetIECBT"}));
}

TEST_F(HookLibraryLoader, ALibraryWithoutSetIECBTStaysLoadedAndIsStillCleared) {
    ASSERT_TRUE(Place(L"controller_stand_in_hook_without_set.dll"));
    EXPECT_EQ(m_loader.InstallHook(m_folder), FALSE);
    EXPECT_NE(m_loader.Module(), nullptr);
    EXPECT_EQ(m_loader.InstallHook(m_folder), FALSE);
    EXPECT_EQ(m_loader.RemoveHook(), TRUE);
    EXPECT_EQ(HookCalls(), (Calls{"load", "ClearIECBT"}));
}

} // namespace
