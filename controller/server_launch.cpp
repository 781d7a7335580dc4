#include "controller/server_launch.h"

#include <shellapi.h>

#include <algorithm>

namespace lumivex {

namespace {

// Steps of the wait: WaitForInputIdle tells nothing while it waits, so both are polled.
constexpr DWORD kPollMs = 20;

bool Settled(HANDLE process, ServerSettled settled) {
    if (::WaitForSingleObject(process, 0) != WAIT_TIMEOUT) {
        return true; // ended, or a handle that cannot be waited on
    }
    // WAIT_FAILED: a process without input to wait for.
    return settled == ServerSettled::kEndedOrInputIdle &&
           ::WaitForInputIdle(process, 0) != WAIT_TIMEOUT;
}

} // namespace

UniqueHandle StartServerProcess(const std::wstring& program, const wchar_t* parameters,
                                const std::wstring& folder) {
    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    start.hwnd = nullptr;
    start.lpVerb = L"open";
    start.lpFile = program.c_str();
    start.lpParameters = parameters;
    start.lpDirectory = folder.c_str();
    start.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&start)) {
        return UniqueHandle();
    }
    return UniqueHandle(start.hProcess);
}

void AwaitServerProcess(HANDLE process, ServerSettled settled, DWORD timeoutMs) {
    if (!process) {
        return;
    }
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!Settled(process, settled)) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return;
        }
        const auto step = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kPollMs));
        if (::MsgWaitForMultipleObjects(1, &process, FALSE, step, QS_SENDMESSAGE) ==
            WAIT_OBJECT_0 + 1) {
            MSG message;
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}

} // namespace lumivex
