/* A host of the hook library in plain C, so that no C++ runtime (and no thread library) of its
 * own stands between the exceptions it raises and its handlers. It registers a last vectored
 * handler, loads the library given on its command line, raises the thread-naming exception that
 * debuggers use and tells by its exit code whether its own handler saw it:
 *   0 seen once, 1 not seen (something before it swallowed it), 2 no library argument,
 *   3 the library did not load, 4 the handler could not be registered. */
#include <windows.h>
#include <shellapi.h>

#define THREAD_NAMING_EXCEPTION 0x406D1388u

/* The record debuggers expect with the thread-naming exception. */
typedef struct ThreadNameInfo {
    DWORD type; /* always 0x1000 */
    LPCSTR name;
    DWORD threadId; /* (DWORD)-1: the calling thread */
    DWORD flags;
} ThreadNameInfo;

static volatile LONG g_seen = 0;

static LONG CALLBACK LastHandler(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode == THREAD_NAMING_EXCEPTION) {
        InterlockedIncrement(&g_seen);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

/* Without a debugger nothing else handles the exception: the run must end with a verdict, not
 * with a crash, when neither our handler nor another one took it. */
static LONG WINAPI Unhandled(EXCEPTION_POINTERS* info) {
    return info->ExceptionRecord->ExceptionCode == THREAD_NAMING_EXCEPTION
               ? EXCEPTION_CONTINUE_EXECUTION
               : EXCEPTION_CONTINUE_SEARCH;
}

int main(void) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    HMODULE library;
    PVOID handler;
    ThreadNameInfo name;
    int result;
    if (!args || count < 2) {
        LocalFree(args);
        return 2;
    }
    SetUnhandledExceptionFilter(Unhandled);
    handler = AddVectoredExceptionHandler(0, LastHandler);
    if (!handler) {
        LocalFree(args);
        return 4;
    }
    library = LoadLibraryW(args[1]);
    LocalFree(args);
    if (!library) {
        RemoveVectoredExceptionHandler(handler);
        return 3;
    }

    name.type = 0x1000;
    name.name = "exception-host";
    name.threadId = (DWORD)-1;
    name.flags = 0;
    RaiseException(THREAD_NAMING_EXCEPTION, 0, sizeof name / sizeof(ULONG_PTR),
                   (const ULONG_PTR*)&name);
    result = g_seen == 1 ? 0 : 1;

    FreeLibrary(library);
    RemoveVectoredExceptionHandler(handler);
    return result;
}
