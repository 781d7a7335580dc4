// A library built like the hook library's runtime corner: the thread primitives of
// hooklib/dll_threads.cpp instead of the thread library. It exports them, so tests can drive
// them from several threads, and a few uses of the C++ runtime that rest on them.
#include <windows.h>

#include <atomic>
#include <exception>

namespace {

std::atomic<int> g_constructions{0};

struct SlowToConstruct {
    SlowToConstruct() : order(++g_constructions) {
        // Long enough for every other caller to arrive while construction is under way.
        Sleep(100);
    }
    int order;
};

struct ProbeError final : std::exception {
    explicit ProbeError(int value) : value(value) {}
    int value;
};

} // namespace

extern "C" {

// 101 when the static was constructed once, by the first caller, and waited for by the others.
int ProbeStaticInit() {
    static SlowToConstruct object;
    return object.order * 100 + g_constructions.load();
}

// Throws and catches `rounds` times, rethrowing from inside each handler; returns the sum of the
// values caught (1 + 2 + ... + rounds when every exception kept its own value), or -1 when the
// thread's count of uncaught exceptions was wrong inside a handler.
int ProbeThrowAndCatch(int rounds) {
    int sum = 0;
    for (int round = 1; round <= rounds; ++round) {
        try {
            try {
                throw ProbeError(round);
            } catch (const ProbeError&) {
                Sleep(0); // let other threads throw while this one is inside a handler
                if (std::uncaught_exceptions() != 0) {
                    return -1;
                }
                throw;
            }
        } catch (const ProbeError& error) {
            sum += error.value;
        }
    }
    return sum;
}

} // extern "C"

namespace {

int* g_unloadResult = nullptr;

// Throws and catches while the library is being unloaded, after the loader's thread callbacks.
struct ThrowsAtUnload {
    ~ThrowsAtUnload() {
        if (g_unloadResult) {
            *g_unloadResult = ProbeThrowAndCatch(3);
        }
    }
} g_throwsAtUnload;

} // namespace

extern "C" {

// Where the destructor above writes what ProbeThrowAndCatch(3) gave (6 when it worked).
void ProbeReportAtUnload(int* result) {
    g_unloadResult = result;
}

} // extern "C"
