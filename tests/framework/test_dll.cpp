// Test library with a library application object: counts its load, start-up and unload, so the
// tests can see when each ran and on how many threads.
#include "framework/app.h"

#include <atomic>
#include <cwchar>

namespace {

struct UnloadRecord {
    int unloads;
    int terminating;
};

std::atomic<int> g_loads{0};
std::atomic<int> g_startups{0};
std::atomic<bool> g_startDone{false};
int g_nestedResult = -1;
UnloadRecord* g_record = nullptr;
wchar_t g_unloadFile[MAX_PATH] = {};

class CTestDllApp : public lumivex::fw::CDllApp {
public:
    CTestDllApp() : CDllApp(L"FwTestDll") {}

protected:
    bool OnLoad() override {
        ++g_loads;
        return true;
    }
    bool OnStartup() override {
        ++g_startups;
        g_nestedResult = EnsureStarted() ? 1 : 0; // must not wait for itself
        ::Sleep(200);                             // a second thread arrives meanwhile
        g_startDone = true;
        return true;
    }
    void OnUnload(bool processTerminating) override {
        if (g_record) {
            ++g_record->unloads;
            g_record->terminating = processTerminating ? 1 : 0;
        }
        if (g_unloadFile[0]) {
            HANDLE file = ::CreateFileW(g_unloadFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                const char* text = processTerminating ? "terminating=1" : "terminating=0";
                DWORD written = 0;
                ::WriteFile(file, text, 13, &written, nullptr);
                ::CloseHandle(file);
            }
        }
    }
};

CTestDllApp theApp;

} // namespace

LUMIVEX_FW_DLLMAIN()

// 1 when start-up had finished by the time EnsureStarted returned.
extern "C" __declspec(dllexport) int FwTestUse() {
    const bool started = theApp.EnsureStarted();
    return started && g_startDone.load() ? 1 : 0;
}

extern "C" __declspec(dllexport) int FwTestLoads() {
    return g_loads.load();
}

extern "C" __declspec(dllexport) int FwTestStartups() {
    return g_startups.load();
}

extern "C" __declspec(dllexport) int FwTestNestedResult() {
    return g_nestedResult;
}

extern "C" __declspec(dllexport) void FwTestSetUnloadRecord(UnloadRecord* record) {
    g_record = record;
}

extern "C" __declspec(dllexport) void FwTestSetUnloadFile(const wchar_t* path) {
    std::wcsncpy(g_unloadFile, path, MAX_PATH - 1);
}
