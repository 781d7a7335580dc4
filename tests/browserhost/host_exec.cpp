// The commands of the control channel, run on the thread of the frame they were sent to.
#include "host_frame.h"

#include "browser_window.h"
#include "event_log.h"
#include "host_library.h"
#include "selftest.h"

#include <stdexcept>

namespace lumivex::browserhost {

namespace {

void MakeForeground(HWND frame) {
    SetForegroundWindow(frame);
    SetActiveWindow(frame);
}

// A focus change onto `target` that the platform reports: setting the focus on the window that
// already has it is no change, so the focus goes to the edit field first.
bool MoveFocus(const FrameData& frame, HWND target) {
    MakeForeground(frame.frame);
    if (GetFocus() == target) {
        SetFocus(frame.edit);
    }
    SetFocus(target);
    return GetFocus() == target;
}

std::intptr_t Refs(const BrowserRecord& record) {
    const ObjectRefs refs = record.objects->ClientRefs();
    HostLog().Write("REFS", FieldList()
                                .Add("index", record.index)
                                .Add("document", refs.document)
                                .Add("window", refs.window)
                                .Add("browser", refs.browser)
                                .Add("total", refs.total()));
    return refs.total();
}

std::intptr_t Initialize(const BrowserRecord& record, const std::vector<long long>& values) {
    const int a = values.empty() ? 0 : static_cast<int>(values[0]);
    void* p =
        values.empty() ? nullptr : reinterpret_cast<void*>(static_cast<std::intptr_t>(values[1]));
    const int b = values.empty() ? 0 : static_cast<int>(values[2]);
    const std::intptr_t result = CallInitialize(record.window, a, p, b);
    HostLog().Write(
        "INITIALIZE",
        FieldList().Add("index", record.index).Add("result", static_cast<long long>(result)));
    return result;
}

// The host's own subclass of a browser window, made after the hook's: it passes everything on to
// the procedure it found and counts what it passed. Its state lives in window properties.
constexpr wchar_t kSavedProcProperty[] = L"LumivexHostSavedProc";
constexpr wchar_t kSeenProperty[] = L"LumivexHostSeen";

LRESULT CALLBACK HostSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto saved = reinterpret_cast<WNDPROC>(GetPropW(window, kSavedProcProperty));
    const auto seen = reinterpret_cast<std::uintptr_t>(GetPropW(window, kSeenProperty));
    SetPropW(window, kSeenProperty, reinterpret_cast<HANDLE>(seen + 1));
    if (message == WM_NCDESTROY) {
        RemovePropW(window, kSavedProcProperty);
        RemovePropW(window, kSeenProperty);
    }
    return saved ? CallWindowProcW(saved, window, message, wParam, lParam)
                 : DefWindowProcW(window, message, wParam, lParam);
}

std::intptr_t SubclassByHost(HWND window) {
    if (GetPropW(window, kSavedProcProperty)) {
        return 0;
    }
    const LONG_PTR saved = GetWindowLongPtrW(window, GWLP_WNDPROC);
    SetPropW(window, kSavedProcProperty, reinterpret_cast<HANDLE>(saved));
    SetPropW(window, kSeenProperty, nullptr);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostSubclassProc));
    return 1;
}

std::intptr_t UnsubclassByHost(HWND window) {
    const auto saved = reinterpret_cast<LONG_PTR>(RemovePropW(window, kSavedProcProperty));
    if (!saved) {
        return 0;
    }
    SetWindowLongPtrW(window, GWLP_WNDPROC, saved);
    return 1;
}

// Ctrl-wheel messages as the platform makes them for a real wheel with Ctrl held, sent to the
// window's current procedure, so whatever subclass sits in front of the host's sees them first.
std::intptr_t Wheel(const BrowserRecord& record, long long count) {
    RECT place = {};
    GetWindowRect(record.window, &place);
    const LPARAM at = MAKELPARAM(static_cast<WORD>((place.left + place.right) / 2),
                                 static_cast<WORD>((place.top + place.bottom) / 2));
    const auto delta =
        static_cast<WORD>(static_cast<short>(count > 0 ? WHEEL_DELTA : -WHEEL_DELTA));
    const WPARAM wParam = MAKEWPARAM(MK_CONTROL, delta);
    const long long steps = count < 0 ? -count : count;
    for (long long i = 0; i < steps && record.window; ++i) {
        SendMessageW(record.window, WM_MOUSEWHEEL, wParam, at);
    }
    return record.objects->zoom();
}

bool NeedsLiveWindow(Verb verb) {
    switch (verb) {
    case Verb::Focus:
    case Verb::Destroy:
    case Verb::Initialize:
    case Verb::WndProc:
    case Verb::Subclass:
    case Verb::Unsubclass:
    case Verb::Seen:
    case Verb::Modal:
    case Verb::Throw:
    case Verb::Wheel:
    case Verb::SelfTest:
        return true;
    default:
        return false;
    }
}

std::intptr_t RunBrowserCommand(const FrameData& frame, BrowserRecord& record,
                                const HostCommand& command) {
    switch (command.verb) {
    case Verb::Focus:
        return MoveFocus(frame, record.window) ? 1 : 0;
    case Verb::Destroy:
        return DestroyWindow(record.window) ? 1 : 0;
    case Verb::Initialize:
        return Initialize(record, command.values);
    case Verb::Refs:
        return Refs(record);
    case Verb::Leak:
        record.objects->AddLeakedReference();
        return Refs(record);
    case Verb::Zoom:
        return record.objects->zoom();
    case Verb::Wheel:
        return Wheel(record, command.values.at(0));
    case Verb::WndProc:
        return GetWindowLongPtrW(record.window, GWLP_WNDPROC) ==
                       reinterpret_cast<LONG_PTR>(&BrowserWindowProc)
                   ? 1
                   : 0;
    case Verb::Subclass:
        return SubclassByHost(record.window);
    case Verb::Unsubclass:
        return UnsubclassByHost(record.window);
    case Verb::Modal:
        return PostMessageW(record.window, kEnterModalMessage, 0, 0) ? 1 : 0;
    case Verb::Throw:
        try {
            SendMessageW(record.window, kThrowMessage, 0, 0);
        } catch (const std::exception&) {
            return 1;
        }
        return 0;
    case Verb::Seen:
        return static_cast<std::intptr_t>(
            reinterpret_cast<std::uintptr_t>(GetPropW(record.window, kSeenProperty)));
    case Verb::SelfTest:
        return RunSelfTest(record);
    case Verb::Unexpected:
        return CallUnexpectedSlot(record);
    default:
        return kReplyBadCommand;
    }
}

} // namespace

std::intptr_t RunCommand(FrameData& frame, const HostCommand& command) {
    switch (command.verb) {
    case Verb::Ping:
        return 1;
    case Verb::FocusFrame:
        return MoveFocus(frame, frame.edit) ? 1 : 0;
    case Verb::Load:
        return LoadHostLibrary(command.path) ? 1 : 0;
    case Verb::FreeLib:
        return FreeHostLibrary() ? 1 : 0;
    case Verb::Mapped:
        return LastLibraryMapped() ? 1 : 0;
    case Verb::Create:
        return CreateBrowser(frame);
    case Verb::EndModal:
        EndModalLoops();
        return 1;
    case Verb::Fault:
        return PostMessageW(frame.frame, kFaultMessage, 0, 0) ? 1 : 0;
    case Verb::Quit:
        // The reply goes out first; the main frame's end ends every thread.
        PostMessageW(Host().mainFrame, WM_CLOSE, 0, 0);
        return 1;
    default:
        break;
    }
    BrowserRecord* record = frame.Find(command.index);
    if (!record || (NeedsLiveWindow(command.verb) && !record->window)) {
        return kReplyNoBrowser;
    }
    return RunBrowserCommand(frame, *record, command);
}

} // namespace lumivex::browserhost
