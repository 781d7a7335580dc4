#include "support/window_query.h"

namespace lumivex {

namespace {

struct QuerySearch {
    UINT message;
    HWND found;
};

BOOL CALLBACK AnswersQuery(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<QuerySearch*>(context);
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, search->message, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                               kQueryAnswerMs, &answer) ||
        answer != search->message) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

} // namespace

HWND FindWindowAnsweringQuery(UINT queryMessage) {
    if (queryMessage == 0) {
        return nullptr;
    }
    QuerySearch search{queryMessage, nullptr};
    ::EnumWindows(&AnswersQuery, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

InstanceCheck CheckSingleInstance(const wchar_t* mutexName, UINT queryMessage) {
    InstanceCheck check;
    check.mutex.reset(::CreateMutexW(nullptr, FALSE, mutexName));
    const DWORD error = ::GetLastError();
    check.anotherRuns = error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
    if (check.anotherRuns) {
        check.running = FindWindowAnsweringQuery(queryMessage);
    }
    return check;
}

} // namespace lumivex
