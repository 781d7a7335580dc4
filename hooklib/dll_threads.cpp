// The thread primitives that the static C++ runtime calls (thread-safe statics, the exception
// allocator, emulated thread-locals and, on i686, the unwinder's frame registry), over SRW locks,
// condition variables and TLS slots. Linked into the library only: with these defined the
// thread library's own objects are not linked, and with them goes the vectored exception
// handler it installs in every host. Should the runtime come to need an entry point that is
// missing here, the thread library's object comes back and the link fails with duplicate
// definitions: add the entry point below.
//
// The types and static initialisers are the thread library's own, from its header, so objects
// the runtime initialised statically work unchanged.
#include <windows.h>

#include <errno.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <new>

namespace {

// One mutex or one condition variable. The runtime's objects are a pointer wide, too small for
// a lock with an owner, so they hold the address of a record instead.
struct LockRecord {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    std::atomic<DWORD> owner{0};
    unsigned depth = 0;
    int kind = PTHREAD_MUTEX_NORMAL;
    bool fromHeap = false;
    std::atomic<bool> taken{false};
};

// The runtime uses about five; they live in the image, so statically initialised ones that are
// never destroyed leave nothing behind when the library is unloaded.
LockRecord g_records[16];

LockRecord* NewRecord(int kind) {
    LockRecord* record = nullptr;
    for (LockRecord& candidate : g_records) {
        bool expected = false;
        if (candidate.taken.compare_exchange_strong(expected, true)) {
            record = &candidate;
            break;
        }
    }
    if (!record) {
        void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(LockRecord));
        if (!memory) {
            return nullptr;
        }
        record = new (memory) LockRecord;
        record->fromHeap = true;
    }
    InitializeSRWLock(&record->lock);
    InitializeConditionVariable(&record->changed);
    record->owner.store(0, std::memory_order_relaxed);
    record->depth = 0;
    record->kind = kind;
    return record;
}

void FreeRecord(LockRecord* record) {
    if (record->fromHeap) {
        record->~LockRecord();
        HeapFree(GetProcessHeap(), 0, record);
    } else {
        record->taken.store(false);
    }
}

// The kind a static initialiser stands for, or -1 when `value` is none.
int StaticKind(intptr_t value) {
    switch (value) {
    case PTHREAD_MUTEX_INITIALIZER:
        return PTHREAD_MUTEX_NORMAL;
    case PTHREAD_ERRORCHECK_MUTEX_INITIALIZER:
        return PTHREAD_MUTEX_ERRORCHECK;
    case PTHREAD_RECURSIVE_MUTEX_INITIALIZER:
        return PTHREAD_MUTEX_RECURSIVE;
    default:
        return -1;
    }
}

// The record behind a mutex (`isCond` false) or a condition variable, created on first use of a
// statically initialised one. Several threads may race to create it; one record wins and the
// others are given back.
int RecordOf(intptr_t* object, bool isCond, LockRecord*& record) {
    if (!object) {
        return EINVAL;
    }
    std::atomic_ref<intptr_t> slot(*object);
    intptr_t value = slot.load(std::memory_order_acquire);
    if (value == 0) {
        return EINVAL;
    }
    const int kind = isCond ? (value == PTHREAD_COND_INITIALIZER ? PTHREAD_MUTEX_NORMAL : -1)
                            : StaticKind(value);
    if (kind < 0) {
        record = reinterpret_cast<LockRecord*>(value);
        return 0;
    }
    LockRecord* created = NewRecord(kind);
    if (!created) {
        return ENOMEM;
    }
    if (slot.compare_exchange_strong(value, reinterpret_cast<intptr_t>(created),
                                     std::memory_order_acq_rel)) {
        record = created;
        return 0;
    }
    FreeRecord(created);
    if (value == 0) {
        return EINVAL;
    }
    record = reinterpret_cast<LockRecord*>(value);
    return 0;
}

int MutexRecord(pthread_mutex_t* mutex, LockRecord*& record) {
    return RecordOf(mutex, false, record);
}

int CondRecord(pthread_cond_t* cond, LockRecord*& record) {
    return RecordOf(cond, true, record);
}

// pthread_once: not run, running, done. The once object is a long, too small for an INIT_ONCE
// on x86_64, so the first caller runs the function and later ones wait on one shared condition.
constexpr long kOnceRunning = 1;
constexpr long kOnceDone = 2;
SRWLOCK g_onceLock = SRWLOCK_INIT;
CONDITION_VARIABLE g_onceDone = CONDITION_VARIABLE_INIT;

// Thread-specific keys. Destructors run when a thread ends, through the image's TLS callback,
// and for the thread that unloads the library when it is unloaded, where the TLS slots go back
// to the host too. Values of other threads still alive at unload are not destroyed, as with the
// thread library: the runtime's only key holds emulated thread-locals, freed with their thread.
struct KeySlot {
    std::atomic<DWORD> index{TLS_OUT_OF_INDEXES};
    void (*destructor)(void*) = nullptr;
};
KeySlot g_keys[8];
SRWLOCK g_keysLock = SRWLOCK_INIT;

// The minimum number of passes the standard asks for: a destructor may set values again.
constexpr int kDestructorPasses = 4;

void RunKeyDestructors() {
    const DWORD lastError = GetLastError();
    for (int pass = 0; pass < kDestructorPasses; ++pass) {
        bool ranOne = false;
        for (KeySlot& key : g_keys) {
            const DWORD index = key.index.load(std::memory_order_acquire);
            if (index == TLS_OUT_OF_INDEXES || !key.destructor) {
                continue;
            }
            if (void* value = TlsGetValue(index)) {
                TlsSetValue(index, nullptr);
                key.destructor(value);
                ranOne = true;
            }
        }
        if (!ranOne) {
            break;
        }
    }
    SetLastError(lastError);
}

void FreeKeys() {
    for (KeySlot& key : g_keys) {
        const DWORD index = key.index.exchange(TLS_OUT_OF_INDEXES);
        if (index != TLS_OUT_OF_INDEXES) {
            TlsFree(index);
        }
    }
}

void NTAPI OnThreadEvent(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_DETACH) {
        RunKeyDestructors();
    }
}

// At unload the loader calls TLS callbacks before the entry point, and the library's code still
// runs after them (the application object's exit, the static destructors) and may throw and
// catch. So the keys are released by the object destroyed last: the one constructed first.
struct KeysRelease {
    ~KeysRelease() {
        RunKeyDestructors();
        FreeKeys();
    }
};
__attribute__((init_priority(101))) KeysRelease g_keysRelease;

} // namespace

// The loader calls every pointer in this section on thread and process events of the image.
extern "C" __attribute__((section(".CRT$XLF"), used))
const PIMAGE_TLS_CALLBACK lumivex_thread_event_callback = OnThreadEvent;

extern "C" {

int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t*) {
    // Only default attributes can reach here: setting a type needs the thread library's
    // attribute functions, whose object would clash with this file at link time.
    if (!mutex) {
        return EINVAL;
    }
    LockRecord* record = NewRecord(PTHREAD_MUTEX_NORMAL);
    if (!record) {
        return ENOMEM;
    }
    *mutex = reinterpret_cast<intptr_t>(record);
    return 0;
}

int pthread_mutex_destroy(pthread_mutex_t* mutex) {
    if (!mutex || *mutex == 0) {
        return EINVAL;
    }
    if (StaticKind(*mutex) < 0) {
        LockRecord* record = reinterpret_cast<LockRecord*>(*mutex);
        if (record->owner.load() != 0) {
            return EBUSY;
        }
        FreeRecord(record);
    }
    *mutex = 0;
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
    LockRecord* record = nullptr;
    if (const int error = MutexRecord(mutex, record)) {
        return error;
    }
    const DWORD self = GetCurrentThreadId();
    if (record->owner.load(std::memory_order_relaxed) == self) {
        if (record->kind == PTHREAD_MUTEX_RECURSIVE) {
            ++record->depth;
            return 0;
        }
        if (record->kind == PTHREAD_MUTEX_ERRORCHECK) {
            return EDEADLK;
        }
        // A normal mutex locked again by its owner deadlocks, as it does elsewhere.
    }
    AcquireSRWLockExclusive(&record->lock);
    record->owner.store(self, std::memory_order_relaxed);
    record->depth = 1;
    return 0;
}

int pthread_mutex_unlock(pthread_mutex_t* mutex) {
    LockRecord* record = nullptr;
    if (const int error = MutexRecord(mutex, record)) {
        return error;
    }
    if (record->owner.load(std::memory_order_relaxed) != GetCurrentThreadId()) {
        return EPERM;
    }
    if (--record->depth == 0) {
        record->owner.store(0, std::memory_order_relaxed);
        ReleaseSRWLockExclusive(&record->lock);
    }
    return 0;
}

int pthread_cond_wait(pthread_cond_t* cond, pthread_mutex_t* mutex) {
    LockRecord* condition = nullptr;
    LockRecord* held = nullptr;
    if (const int error = CondRecord(cond, condition)) {
        return error;
    }
    if (const int error = MutexRecord(mutex, held)) {
        return error;
    }
    const DWORD self = GetCurrentThreadId();
    if (held->owner.load(std::memory_order_relaxed) != self) {
        return EPERM;
    }
    // The SRW lock is held once whatever the recursion depth; the depth comes back on waking.
    const unsigned depth = held->depth;
    held->depth = 0;
    held->owner.store(0, std::memory_order_relaxed);
    SleepConditionVariableSRW(&condition->changed, &held->lock, INFINITE, 0);
    held->owner.store(self, std::memory_order_relaxed);
    held->depth = depth;
    return 0;
}

int pthread_cond_broadcast(pthread_cond_t* cond) {
    const intptr_t value = cond ? std::atomic_ref<intptr_t>(*cond).load() : 0;
    if (value == 0) {
        return EINVAL;
    }
    // A condition still statically initialised has had no waiter: waiting creates its record.
    if (value != PTHREAD_COND_INITIALIZER) {
        WakeAllConditionVariable(&reinterpret_cast<LockRecord*>(value)->changed);
    }
    return 0;
}

int pthread_once(pthread_once_t* once, void (*function)(void)) {
    if (!once || !function) {
        return EINVAL;
    }
    std::atomic_ref<long> state(*once);
    if (state.load(std::memory_order_acquire) == kOnceDone) {
        return 0;
    }
    long expected = PTHREAD_ONCE_INIT;
    if (state.compare_exchange_strong(expected, kOnceRunning)) {
        function();
        AcquireSRWLockExclusive(&g_onceLock);
        state.store(kOnceDone, std::memory_order_release);
        ReleaseSRWLockExclusive(&g_onceLock);
        WakeAllConditionVariable(&g_onceDone);
        return 0;
    }
    AcquireSRWLockExclusive(&g_onceLock);
    while (state.load(std::memory_order_acquire) != kOnceDone) {
        SleepConditionVariableSRW(&g_onceDone, &g_onceLock, INFINITE, 0);
    }
    ReleaseSRWLockExclusive(&g_onceLock);
    return 0;
}

int pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
    if (!key) {
        return EINVAL;
    }
    int result = EAGAIN;
    AcquireSRWLockExclusive(&g_keysLock);
    for (pthread_key_t slot = 0; slot < sizeof(g_keys) / sizeof(g_keys[0]); ++slot) {
        if (g_keys[slot].index.load() != TLS_OUT_OF_INDEXES) {
            continue;
        }
        const DWORD index = TlsAlloc();
        if (index != TLS_OUT_OF_INDEXES) {
            g_keys[slot].destructor = destructor;
            g_keys[slot].index.store(index, std::memory_order_release);
            *key = slot;
            result = 0;
        }
        break;
    }
    ReleaseSRWLockExclusive(&g_keysLock);
    return result;
}

void* pthread_getspecific(pthread_key_t key) {
    if (key >= sizeof(g_keys) / sizeof(g_keys[0])) {
        return nullptr;
    }
    const DWORD index = g_keys[key].index.load(std::memory_order_acquire);
    if (index == TLS_OUT_OF_INDEXES) {
        return nullptr;
    }
    // TlsGetValue clears the last error; the host's code may be between a call and its check.
    const DWORD lastError = GetLastError();
    void* value = TlsGetValue(index);
    SetLastError(lastError);
    return value;
}

int pthread_setspecific(pthread_key_t key, const void* value) {
    if (key >= sizeof(g_keys) / sizeof(g_keys[0])) {
        return EINVAL;
    }
    const DWORD index = g_keys[key].index.load(std::memory_order_acquire);
    if (index == TLS_OUT_OF_INDEXES) {
        return EINVAL;
    }
    return TlsSetValue(index, const_cast<void*>(value)) ? 0 : ENOMEM;
}

} // extern "C"
