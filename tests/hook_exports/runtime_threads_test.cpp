// The thread primitives the hook library gives the C++ runtime in place of the thread library,
// driven from several threads through the probe library that is built with them.
#include "test_files.h"

#include "support/owners.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <errno.h>
#include <pthread.h> // types and static initialisers only: the functions called are the probe's

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace test = lumivex::test;

namespace {

// Runs `body(i)` on `count` threads at once and waits for all of them.
template <typename Body> void OnThreads(int count, Body body) {
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back(body, i);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

class ThreadRuntime : public testing::Test {
protected:
    void SetUp() override {
        m_module.reset(LoadLibraryW((test::ProgramDir() + L"\\hook_runtime_probe.dll").c_str()));
        ASSERT_TRUE(m_module) << "LoadLibraryW failed, error " << GetLastError();
        Bind(lock, "pthread_mutex_lock");
        Bind(unlock, "pthread_mutex_unlock");
        Bind(init, "pthread_mutex_init");
        Bind(destroy, "pthread_mutex_destroy");
        Bind(wait, "pthread_cond_wait");
        Bind(broadcast, "pthread_cond_broadcast");
        Bind(once, "pthread_once");
        Bind(keyCreate, "pthread_key_create");
        Bind(getSpecific, "pthread_getspecific");
        Bind(setSpecific, "pthread_setspecific");
        Bind(staticInit, "ProbeStaticInit");
        Bind(throwAndCatch, "ProbeThrowAndCatch");
        Bind(reportAtUnload, "ProbeReportAtUnload");
        ASSERT_TRUE(lock && unlock && init && destroy && wait && broadcast && once && keyCreate &&
                    getSpecific && setSpecific && staticInit && throwAndCatch && reportAtUnload);
    }

    template <typename Function> void Bind(Function& function, const char* name) {
        function = reinterpret_cast<Function>(
            reinterpret_cast<void*>(GetProcAddress(m_module.get(), name)));
    }

    decltype(&pthread_mutex_lock) lock = nullptr;
    decltype(&pthread_mutex_unlock) unlock = nullptr;
    decltype(&pthread_mutex_init) init = nullptr;
    decltype(&pthread_mutex_destroy) destroy = nullptr;
    decltype(&pthread_cond_wait) wait = nullptr;
    decltype(&pthread_cond_broadcast) broadcast = nullptr;
    decltype(&pthread_once) once = nullptr;
    decltype(&pthread_key_create) keyCreate = nullptr;
    decltype(&pthread_getspecific) getSpecific = nullptr;
    decltype(&pthread_setspecific) setSpecific = nullptr;
    int (*staticInit)() = nullptr;
    int (*throwAndCatch)(int) = nullptr;
    void (*reportAtUnload)(int*) = nullptr;

    lumivex::UniqueModule m_module;
};

TEST_F(ThreadRuntime, StaticLocalIsConstructedOnceWhileLateCallersWait) {
    std::vector<int> results(8, 0);
    OnThreads(8, [&](int i) { results[i] = staticInit(); });
    for (int result : results) {
        EXPECT_EQ(result, 101) << "constructed more than once, or used before it was done";
    }
}

TEST_F(ThreadRuntime, ExceptionsOnManyThreadsKeepTheirOwnState) {
    std::vector<int> sums(8, 0);
    OnThreads(8, [&](int i) { sums[i] = throwAndCatch(200); });
    for (int sum : sums) {
        EXPECT_EQ(sum, 200 * 201 / 2);
    }
    EXPECT_EQ(throwAndCatch(3), 6) << "and on the thread that later unloads the library";
}

TEST_F(ThreadRuntime, StaticallyInitialisedMutexExcludesOtherThreads) {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    int counter = 0;
    std::atomic<int> failures{0};
    OnThreads(4, [&](int) {
        for (int i = 0; i < 20000; ++i) {
            failures += lock(&mutex) != 0;
            ++counter;
            failures += unlock(&mutex) != 0;
        }
    });
    EXPECT_EQ(counter, 80000);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(destroy(&mutex), 0);
}

TEST_F(ThreadRuntime, RecursiveMutexIsHeldUntilItsLastUnlock) {
    pthread_mutex_t mutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER;
    ASSERT_EQ(lock(&mutex), 0);
    ASSERT_EQ(lock(&mutex), 0);
    std::atomic<bool> acquired{false};
    int foreignUnlock = 0;
    std::thread other([&] {
        foreignUnlock = unlock(&mutex);
        lock(&mutex);
        acquired = true;
        unlock(&mutex);
    });
    Sleep(200);
    EXPECT_FALSE(acquired);
    EXPECT_EQ(unlock(&mutex), 0);
    Sleep(200);
    EXPECT_FALSE(acquired) << "released while still held once";
    EXPECT_EQ(unlock(&mutex), 0);
    other.join();
    EXPECT_TRUE(acquired);
    EXPECT_EQ(foreignUnlock, EPERM);
    EXPECT_EQ(unlock(&mutex), EPERM) << "unlocked once too often";
}

TEST_F(ThreadRuntime, MutexesBeyondThoseKeptInTheImageStillWork) {
    std::vector<pthread_mutex_t> mutexes(40, 0);
    for (pthread_mutex_t& mutex : mutexes) {
        ASSERT_EQ(init(&mutex, nullptr), 0);
    }
    for (pthread_mutex_t& mutex : mutexes) {
        EXPECT_EQ(lock(&mutex), 0);
    }
    for (pthread_mutex_t& mutex : mutexes) {
        EXPECT_EQ(unlock(&mutex), 0);
        EXPECT_EQ(destroy(&mutex), 0);
    }
}

TEST_F(ThreadRuntime, ConditionWaitGivesUpARecursiveLockAndTakesItBackWhole) {
    pthread_mutex_t mutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER;
    pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
    EXPECT_EQ(broadcast(&changed), 0) << "no waiter yet";
    EXPECT_EQ(wait(&changed, &mutex), EPERM) << "waiting without holding the mutex";

    bool ready = false;
    std::atomic<bool> waiting{false};
    std::vector<int> results;
    std::thread waiter([&] {
        results.push_back(lock(&mutex));
        results.push_back(lock(&mutex));
        waiting = true;
        while (!ready) {
            results.push_back(wait(&changed, &mutex));
        }
        results.push_back(unlock(&mutex));
        results.push_back(unlock(&mutex));
        results.push_back(unlock(&mutex) == EPERM ? 0 : -1);
    });
    while (!waiting) {
        Sleep(1);
    }
    // Succeeds only once the waiter has given the mutex up inside its wait.
    ASSERT_EQ(lock(&mutex), 0);
    ready = true;
    EXPECT_EQ(broadcast(&changed), 0);
    EXPECT_EQ(unlock(&mutex), 0);
    waiter.join();
    ASSERT_GE(results.size(), 6u);
    for (int result : results) {
        EXPECT_EQ(result, 0);
    }
}

std::atomic<int> g_onceRuns{0};
std::atomic<bool> g_onceFinished{false};

void SlowOnce() {
    Sleep(100);
    ++g_onceRuns;
    g_onceFinished = true;
}

TEST_F(ThreadRuntime, OnceRunsItsFunctionOnceAndLateCallersWaitForIt) {
    g_onceRuns = 0;
    g_onceFinished = false;
    pthread_once_t control = PTHREAD_ONCE_INIT;
    std::vector<int> finishedOnReturn(8, 0);
    OnThreads(
        8, [&](int i) { finishedOnReturn[i] = once(&control, &SlowOnce) == 0 && g_onceFinished; });
    EXPECT_EQ(g_onceRuns.load(), 1);
    for (int finished : finishedOnReturn) {
        EXPECT_TRUE(finished) << "returned before the function had run";
    }
    EXPECT_EQ(once(&control, &SlowOnce), 0);
    EXPECT_EQ(g_onceRuns.load(), 1);
}

std::mutex g_destroyedLock;
std::vector<void*> g_destroyed;

void RecordDestroyed(void* value) {
    std::lock_guard<std::mutex> guard(g_destroyedLock);
    g_destroyed.push_back(value);
}

TEST_F(ThreadRuntime, KeyDestructorsRunForTheValuesOfEndingThreads) {
    g_destroyed.clear();
    pthread_key_t key = 0;
    ASSERT_EQ(keyCreate(&key, &RecordDestroyed), 0);
    int marker = 0;
    void* seen = nullptr;
    std::thread([&] {
        setSpecific(key, &marker);
        seen = getSpecific(key);
    }).join();
    EXPECT_EQ(seen, &marker);
    std::thread([] {}).join();
    std::thread([&] {
        setSpecific(key, &marker);
        setSpecific(key, nullptr);
    }).join();
    {
        std::lock_guard<std::mutex> guard(g_destroyedLock);
        EXPECT_EQ(g_destroyed, std::vector<void*>{&marker}) << "only the value left at the end";
    }
    EXPECT_EQ(getSpecific(key), nullptr) << "each thread has its own value";
    SetLastError(1234);
    getSpecific(key);
    EXPECT_EQ(GetLastError(), 1234u) << "the host's last error is kept";
}

TEST_F(ThreadRuntime, ExceptionsStillWorkWhileTheLibraryIsUnloaded) {
    ASSERT_EQ(throwAndCatch(1), 1);
    int result = 0;
    reportAtUnload(&result);
    m_module.reset();
    EXPECT_EQ(result, 6) << "thrown and caught in a static destructor of the library";
}

TEST_F(ThreadRuntime, UnloadDestroysTheUnloadingThreadsValues) {
    g_destroyed.clear();
    pthread_key_t key = 0;
    ASSERT_EQ(keyCreate(&key, &RecordDestroyed), 0);
    int marker = 0;
    ASSERT_EQ(setSpecific(key, &marker), 0);
    m_module.reset();
    std::lock_guard<std::mutex> guard(g_destroyedLock);
    EXPECT_EQ(g_destroyed, std::vector<void*>{&marker});
}

// TLS slots this process can still allocate (all of them are given back before returning).
int FreeTlsSlots() {
    std::vector<DWORD> taken;
    for (DWORD index = TlsAlloc(); index != TLS_OUT_OF_INDEXES; index = TlsAlloc()) {
        taken.push_back(index);
    }
    for (DWORD index : taken) {
        TlsFree(index);
    }
    return static_cast<int>(taken.size());
}

TEST_F(ThreadRuntime, LoadingAndUnloadingLeavesTheHostsTlsSlotsFree) {
    m_module.reset();
    const int before = FreeTlsSlots();
    ASSERT_GT(before, 0);
    for (int round = 0; round < 10; ++round) {
        SetUp();
        ASSERT_EQ(throwAndCatch(1), 1) << "the runtime takes its key";
        pthread_key_t key = 0;
        ASSERT_EQ(keyCreate(&key, nullptr), 0);
        m_module.reset();
    }
    EXPECT_EQ(FreeTlsSlots(), before);
}

} // namespace
