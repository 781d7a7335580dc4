// The hook library file as loaders and hosts meet it: its export table names exactly the three
// entry points, undecorated, with the convention the loaders call them with; it imports from
// system libraries only; it stays small; and loading it leaves the host's threads as they were.
#include "pe_tables.h"
#include "test_files.h"
#include "test_process.h"

#include "support/owners.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace test = lumivex::test;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

constexpr bool k64 = sizeof(void*) == 8;

std::wstring LibraryName() {
    return k64 ? L"LumivexDll64.dll" : L"LumivexDll.dll";
}

std::wstring LibraryPath() {
    return test::ProgramDir() + L"\\" + LibraryName();
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

class LibraryFile : public testing::Test {
protected:
    void SetUp() override {
        m_bytes = test::ReadFileBytes(LibraryPath());
        ASSERT_FALSE(m_bytes.empty()) << "missing " << test::Narrow(LibraryPath());
        std::string error;
        ASSERT_TRUE(test::ReadPeTables(m_bytes, m_tables, error)) << error;
    }

    std::string m_bytes;
    test::PeTables m_tables;
};

TEST_F(LibraryFile, IsBuiltForThisBitness) {
    EXPECT_EQ(m_tables.is64, k64);
    EXPECT_EQ(m_tables.machine, k64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
}

TEST_F(LibraryFile, ExportsExactlyTheThreeEntryPointsUndecorated) {
    std::vector<std::string> names;
    for (const test::PeExport& entry : m_tables.exports) {
        names.push_back(entry.name);
        EXPECT_FALSE(entry.forwarded) << entry.name << " is forwarded elsewhere";
        EXPECT_NE(entry.rva, 0u) << entry.name;
    }
    // The table is sorted by name, as the loader's binary search requires.
    EXPECT_THAT(names, ElementsAre("ClearIECBT", "Initialize", "SetIECBT"));
    EXPECT_EQ(m_tables.exportFunctionCount, 3u) << "no export without a name";
    EXPECT_EQ(m_tables.exportDllName, test::Narrow(LibraryName()));
}

TEST_F(LibraryFile, ImportsFromSystemLibrariesOnly) {
    // Every one ships with Windows; the accessibility library is loaded at run time instead, and
    // the compiler's runtime libraries are linked in.
    const std::set<std::string> system = {
        "kernel32.dll", "user32.dll", "gdi32.dll",    "advapi32.dll", "shell32.dll",
        "comctl32.dll", "ole32.dll",  "oleaut32.dll", "psapi.dll",    "msvcrt.dll"};
    ASSERT_FALSE(m_tables.imports.empty());
    for (const std::string& library : m_tables.imports) {
        EXPECT_TRUE(system.count(Lower(library))) << "imports from " << library;
    }
    EXPECT_THAT(m_tables.delayImports, IsEmpty());
}

TEST_F(LibraryFile, ImportsNothingThatChangesItsHostsSettings) {
    // Locale, exception and error handlers, DPI mode, library search and floating-point state
    // belong to the program the library is mapped into. A vectored handler sees every
    // exception of every thread of the host before the host's own handlers do.
    const std::set<std::string> hostSettings = {"setlocale",
                                                "_wsetlocale",
                                                "_configthreadlocale",
                                                "SetThreadLocale",
                                                "SetUnhandledExceptionFilter",
                                                "AddVectoredExceptionHandler",
                                                "RemoveVectoredExceptionHandler",
                                                "AddVectoredContinueHandler",
                                                "RemoveVectoredContinueHandler",
                                                "_set_invalid_parameter_handler",
                                                "_set_se_translator",
                                                "set_terminate",
                                                "SetErrorMode",
                                                "SetThreadErrorMode",
                                                "SetProcessDPIAware",
                                                "SetProcessDpiAwareness",
                                                "SetProcessDpiAwarenessContext",
                                                "SetDllDirectoryW",
                                                "SetDllDirectoryA",
                                                "SetDefaultDllDirectories",
                                                "AddDllDirectory",
                                                "_controlfp",
                                                "_control87",
                                                "_controlfp_s",
                                                "_fpreset",
                                                "SetConsoleCtrlHandler",
                                                "CoInitialize",
                                                "CoInitializeEx",
                                                "OleInitialize"};
    for (const auto& [library, names] : m_tables.importedNames) {
        for (const std::string& name : names) {
            EXPECT_FALSE(hostSettings.count(name)) << library << "!" << name;
        }
    }
}

// 100 KB in 64 bits. The 32-bit file carries the unwinder of that runtime's exceptions and their
// tables (about 45 KB, where 64 bits use the platform's own unwinding), and stays short of 100 KB.
TEST_F(LibraryFile, StaysWithinItsSize) {
    const std::size_t limit = (sizeof(void*) == 8 ? 100u : 124u) * 1024u;
    EXPECT_LE(m_bytes.size(), limit) << test::Narrow(LibraryName());
}

// The library loaded into this process as a loader loads it.
class LoadedLibrary : public testing::Test {
protected:
    void SetUp() override {
        m_module.reset(LoadLibraryW(LibraryPath().c_str()));
        ASSERT_TRUE(m_module) << "LoadLibraryW failed, error " << GetLastError();
    }

    void* Export(const char* name) const {
        return reinterpret_cast<void*>(GetProcAddress(m_module.get(), name));
    }

    lumivex::UniqueModule m_module;
};

TEST_F(LoadedLibrary, LoaderFindsEachExportWhereTheFileSaysItIs) {
    const std::string bytes = test::ReadFileBytes(LibraryPath());
    test::PeTables tables;
    std::string error;
    ASSERT_TRUE(test::ReadPeTables(bytes, tables, error)) << error;
    const auto* base = reinterpret_cast<const char*>(m_module.get());
    for (const test::PeExport& entry : tables.exports) {
        EXPECT_EQ(Export(entry.name.c_str()), base + entry.rva) << entry.name;
    }
    // Decorated spellings would mean a loader built for the other spelling finds nothing.
    EXPECT_EQ(Export("_SetIECBT@0"), nullptr);
    EXPECT_EQ(Export("Initialize@16"), nullptr);
}

#if defined(__i386__)
// Calls a four-argument entry point and returns how far the stack pointer moved across the call:
// 0 when the callee removed its arguments (stdcall), -16 when it left them (cdecl).
struct FourArguments {
    void* a[4];
    void* function;
};

long StackDriftOfCall(const FourArguments& call, int& result) {
    long drift = 0;
    asm volatile("movl %%esp, %%edi\n\t"
                 "pushl 12(%%esi)\n\t"
                 "pushl 8(%%esi)\n\t"
                 "pushl 4(%%esi)\n\t"
                 "pushl (%%esi)\n\t"
                 "call *16(%%esi)\n\t"
                 "movl %%esp, %%ecx\n\t"
                 "subl %%edi, %%ecx\n\t"
                 "movl %%edi, %%esp\n\t"
                 : "=a"(result), "=c"(drift)
                 : "S"(&call)
                 : "edi", "edx", "memory", "cc");
    return drift;
}
#endif

TEST_F(LoadedLibrary, EntryPointsAnswerAsLoadersCallThem) {
    using HookFunction = BOOL(WINAPI*)();
    using InitializeFunction = int(WINAPI*)(HWND, int, void*, int);
    const auto clear = reinterpret_cast<HookFunction>(Export("ClearIECBT"));
    const auto initialize = reinterpret_cast<InitializeFunction>(Export("Initialize"));
    ASSERT_TRUE(clear && initialize && Export("SetIECBT"));
    EXPECT_EQ(clear(), FALSE) << "no hook was installed";
    // A window of no process (null) is not this process's window.
    EXPECT_EQ(initialize(nullptr, 1, nullptr, 2), 0);
#if defined(__i386__)
    int result = -1;
    const FourArguments call{
        {nullptr, reinterpret_cast<void*>(1), nullptr, reinterpret_cast<void*>(2)},
        reinterpret_cast<void*>(initialize)};
    EXPECT_EQ(StackDriftOfCall(call, result), 0) << "Initialize must remove its own arguments";
    EXPECT_EQ(result, 0);
#endif
}

// What a thread starts with: the x87 control word and the SSE control and status register.
struct FloatingPointState {
    unsigned short x87 = 0;
    unsigned int sse = 0;
    bool operator==(const FloatingPointState& other) const {
        return x87 == other.x87 && sse == other.sse;
    }
};

FloatingPointState CurrentFloatingPointState() {
    FloatingPointState state;
    asm volatile("fnstcw %0" : "=m"(state.x87));
    asm volatile("stmxcsr %0" : "=m"(state.sse));
    return state;
}

DWORD WINAPI RecordFloatingPointState(void* out) {
    *static_cast<FloatingPointState*>(out) = CurrentFloatingPointState();
    return 0;
}

FloatingPointState StateOfANewThread() {
    FloatingPointState state;
    HANDLE thread = CreateThread(nullptr, 0, &RecordFloatingPointState, &state, 0, nullptr);
    EXPECT_TRUE(thread);
    if (thread) {
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    return state;
}

TEST(HostThreads, KeepTheirFloatingPointSettingsWhileTheLibraryIsLoaded) {
    ASSERT_EQ(GetModuleHandleW(LibraryPath().c_str()), nullptr);
    const FloatingPointState before = StateOfANewThread();
    const FloatingPointState loadingThread = CurrentFloatingPointState();
    lumivex::UniqueModule library(LoadLibraryW(LibraryPath().c_str()));
    ASSERT_TRUE(library);
    const FloatingPointState after = StateOfANewThread();
    EXPECT_EQ(after.x87, before.x87) << std::hex << "x87 control word of a thread started later";
    EXPECT_EQ(after.sse, before.sse) << std::hex << "SSE control of a thread started later";
    EXPECT_TRUE(CurrentFloatingPointState() == loadingThread);
}

// Exit codes of the plain C host (exception_host.c).
std::string HostVerdict(DWORD code) {
    switch (code) {
    case 0:
        return "the host's handler saw the exception";
    case 1:
        return "a handler registered before the host's swallowed the exception";
    case 3:
        return "the host could not load the library";
    case STILL_ACTIVE:
        return "the host did not end";
    default:
        return "the host failed with code " + std::to_string(code);
    }
}

TEST(HostExceptions, RaisedAfterLoadingReachTheHostsOwnLastHandler) {
    // The thread-naming exception is the one a thread library's handler takes for itself.
    const DWORD code = test::RunProgram(test::ProgramDir() + L"\\hook_exception_host.exe",
                                        L"\"" + LibraryPath() + L"\"", 30000);
    EXPECT_EQ(code, 0u) << HostVerdict(code);
}

} // namespace
