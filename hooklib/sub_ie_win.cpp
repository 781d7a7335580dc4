#include "hooklib/sub_ie_win.h"

#include "hooklib/browser_ids.h"
#include "hooklib/dll_app.h"
#include "hooklib/prompt_frame.h"
#include "hooklib/sub_win_table.h"
#include "hooklib/window_trampoline.h"
#include "support/guarded.h"
#include "support/lumivex_names.h"
#include "support/proc_address.h"

namespace lumivex::hook {

namespace {

// A VARIANT cleared at scope end. Only numbers are expected here; anything else is cleared
// through the automation library, which every program hosting the browser has loaded already,
// so the hook library itself does not pull it into every process it enters.
struct ScopedVariant {
    VARIANT value = {};
    ScopedVariant() { value.vt = VT_EMPTY; }
    ~ScopedVariant() {
        if (value.vt == VT_EMPTY || value.vt == VT_I4 || value.vt == VT_UI4 || value.vt == VT_INT ||
            value.vt == VT_UINT) {
            return;
        }
        using ClearFn = HRESULT(WINAPI*)(VARIANT*);
        if (HMODULE automation = GetModuleHandleW(L"oleaut32.dll")) {
            if (auto clear = ProcAddress<ClearFn>(automation, "VariantClear")) {
                clear(&value);
            }
        }
    }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    // The 32-bit number the variant holds, if it holds one.
    bool AsUInt32(std::uint32_t& number) const {
        if (value.vt == VT_I4 || value.vt == VT_UI4 || value.vt == VT_INT || value.vt == VT_UINT) {
            number = value.ulVal;
            return true;
        }
        return false;
    }
};

} // namespace

bool CSubIEWin::bSubclassWin(HWND hWnd) {
    m_hWnd = hWnd;
    const WNDPROC procedure = SubIEWinProc();
    if (!procedure) {
        return false;
    }
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
    m_pfnOldProc.store(previous);
    if (!previous) {
        return false;
    }
    PostMessageW(hWnd, WM_SUBIEWIN_ATTACH, 0, 0);
    return true;
}

bool CSubIEWin::bUnSubclassWin() {
    return Guarded(L"CSubIEWin", L"bUnSubclassWin", true, [&] {
        WNDPROC previous = m_pfnOldProc.load();
        if (!previous) {
            return true;
        }
        // Only our own procedure may be replaced: over a later subclass, putting ours back would
        // cut that one off, and it still holds and may call ours. Forwarding is set up before our
        // own record goes, so no message in between is lost.
        const bool oursInFront =
            GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(SubIEWinProc());
        if (!oursInFront && IsWindow(m_hWnd)) {
            KeepForwarding(m_hWnd, previous);
        }
        m_pfnOldProc.store(nullptr);
        if (oursInFront) {
            SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        }
        return true;
    });
}

HMODULE CSubIEWin::OnAttachBrowser() {
    const bool reached = Guarded(L"", L"", false, [&] {
        wchar_t className[199] = {};
        GetClassNameW(m_hWnd, className, 199);
        if (wcscmp(className, kBrowserWindowClass) == 0) {
            ComPtr<IWebBrowser2> browser;
            OnGetDocInterface(m_hWnd, browser);
            if (browser) {
                m_pBrowser = std::move(browser);
                m_bShowLabel = TheApp().Config().ShowsZoomLabel();
                StartAtDefaultZoom();
                AnnounceProgram();
            }
        }
        return static_cast<bool>(m_pBrowser);
    });
    return reached ? ShowFirstUsePrompt() : nullptr;
}

HMODULE CSubIEWin::ShowFirstUsePrompt() {
    return SubWinTable().OnBrowserReached(m_hWnd);
}

void CSubIEWin::OnTimer(WPARAM timerId) {
    SubWinTable().OnWindowTimer(m_hWnd, timerId);
}

LRESULT CSubIEWin::OnKeyUp(WPARAM virtualKey) {
    // Only the zoom keys need the Ctrl state, and asking for it is no cheap call everywhere (a
    // server round trip under Wine): every key typed passes here.
    const ZoomAction action = ZoomActionForKey(static_cast<unsigned>(virtualKey));
    if (action != ZoomAction::None && GetKeyState(VK_CONTROL) < 0) {
        Apply(action);
    }
    return 0;
}

void CSubIEWin::OnMouseWheel(WPARAM wParam) {
    // The input's own time, not when it is handled: a busy host must not make a pinch pause.
    const auto when = static_cast<std::uint32_t>(GetMessageTime());
    const int steps = m_wheelSteps.Add(WheelDistance(wParam), when);
    if (steps != 0) {
        Step(steps > 0 ? ZoomAction::In : ZoomAction::Out, steps > 0 ? steps : -steps);
    }
}

void CSubIEWin::Apply(ZoomAction action) {
    switch (action) {
    case ZoomAction::In:
        ZoomIn();
        break;
    case ZoomAction::Out:
        ZoomOut();
        break;
    case ZoomAction::Reset:
        ZoomReset();
        break;
    case ZoomAction::None:
        break;
    }
}

void CSubIEWin::ZoomIn() {
    Step(ZoomAction::In);
}
void CSubIEWin::ZoomOut() {
    Step(ZoomAction::Out);
}
void CSubIEWin::ZoomReset() {
    Step(ZoomAction::Reset);
}

void CSubIEWin::StartAtDefaultZoom() {
    const int level = TheApp().Config().DefaultZoom();
    // A browser starts at 100 by itself: without a level of the program's own, no call.
    if (level == kZoomDefault) {
        return;
    }
    QueryRange();
    m_nDefaultZoom = ClampZoom(level, ZoomRange{m_nMinZoom, m_nMaxZoom});
    m_nZoom = m_nDefaultZoom;
    SendZoom();
}

void CSubIEWin::QueryRange() {
    // A failed range query keeps the last known range.
    ScopedVariant range;
    std::uint32_t packed = 0;
    if (SUCCEEDED(m_pBrowser->ExecWB(static_cast<OLECMDID>(kOpticalGetZoomRange),
                                     OLECMDEXECOPT_DODEFAULT, nullptr, &range.value)) &&
        range.AsUInt32(packed)) {
        const ZoomRange known = UnpackZoomRange(packed);
        if (known.maximum > 0 && known.minimum <= known.maximum) {
            m_nMinZoom = known.minimum;
            m_nMaxZoom = known.maximum;
        }
    }
}

void CSubIEWin::Step(ZoomAction action, int count) {
    if (action == ZoomAction::None || count <= 0 || !m_pBrowser) {
        return;
    }
    if (action == ZoomAction::Reset) {
        // Back to where the program's browsers start (100 unless the program has its own).
        m_nZoom = m_nDefaultZoom;
    } else {
        QueryRange();
        for (int step = 0; step < count; ++step) {
            m_nZoom = StepZoom(m_nZoom, action, ZoomRange{m_nMinZoom, m_nMaxZoom});
        }
    }
    SendZoom();
    PostZoomLabel();
}

void CSubIEWin::PostZoomLabel() const {
    if (!m_bShowLabel) {
        return;
    }
    // Found anew each step: Lumivex may have been started, ended or started again meanwhile.
    if (const HWND label = FindWindowW(kZoomLabelClass, nullptr)) {
        PostMessageW(label, kZoomLabelMessage, reinterpret_cast<WPARAM>(m_hWnd), m_nZoom);
    }
}

void CSubIEWin::AnnounceProgram() {
    // Once is enough while Lumivex runs; without its window the next browser window tries again.
    static std::atomic<bool> announced{false};
    if (announced.load()) {
        return;
    }
    if (const HWND list = FindWindowW(kMetProgramsClass, nullptr)) {
        if (PostMessageW(list, kProgramMetMessage, GetCurrentProcessId(), 0)) {
            announced.store(true);
        }
    }
}

void CSubIEWin::SendZoom() {
    ScopedVariant level;
    level.value.vt = VT_I4;
    level.value.lVal = m_nZoom;
    m_pBrowser->ExecWB(static_cast<OLECMDID>(kOpticalZoom), OLECMDEXECOPT_DODEFAULT, &level.value,
                       nullptr);
}

namespace {

// Whether the library does anything with the message beyond passing it on. Keys and wheel turns
// that zoom nothing, and other programs' timers, pass through as fast as anything else.
bool NeedsTheLibrary(UINT message, WPARAM wParam) {
    switch (message) {
    case WM_KEYUP:
        return ZoomActionForKey(static_cast<unsigned>(wParam)) != ZoomAction::None;
    case WM_MOUSEWHEEL:
        return ZoomActionForWheel(wParam) != ZoomAction::None;
    case WM_TIMER:
        return wParam == IDT_PROMPT_FLASH;
    case WM_SUBIEWIN_ATTACH:
    case WM_DESTROY:
    case WM_NCDESTROY:
        return true;
    default:
        return false;
    }
}

// The first half of every message: the library's own handling, then the procedure to pass the
// message on to. Only the library's own work runs inside a guard: the prompt's loop runs the
// host's procedures, and their faults are the host's to handle.
WNDPROC WINAPI BeforeMessage(MessageFrame* frame) {
    const HWND hWnd = frame->hWnd;
    const auto message = static_cast<UINT>(frame->message);
    // The probe is answered for any window but one we left forwarding: that one is ours no more.
    if (message == WM_SUBIEWIN_PROBE && !ForwardingProc(hWnd)) {
        frame->result = SUBIEWIN_PROBE_REPLY;
        return nullptr;
    }
    // Found without a lock or a reference.
    if (!NeedsTheLibrary(message, frame->wParam)) {
        if (const WNDPROC passOn = SubWinTable().FindPassOn(hWnd)) {
            return passOn;
        }
    }
    const std::shared_ptr<CSubIEWin> window = SubWinTable().FindSubWin(hWnd);
    const WNDPROC previous = window ? window->OldProc() : nullptr;
    if (!previous) {
        // Left forwarding under a later subclass, or not ours (any more) and nowhere to go.
        const WNDPROC forward = ForwardingProc(hWnd);
        frame->callAfter = forward && message == WM_NCDESTROY;
        return forward ? forward : &DefWindowProcW;
    }
    switch (message) {
    case WM_KEYUP:
        Guarded(L"", L"", [&] { window->OnKeyUp(frame->wParam); });
        break;
    case WM_MOUSEWHEEL:
        Guarded(L"", L"", [&] { window->OnMouseWheel(frame->wParam); });
        break;
    case WM_SUBIEWIN_ATTACH:
        frame->release = window->OnAttachBrowser();
        // The prompt's loop may have seen the window destroyed: a dead window's procedure gets
        // no more messages.
        if (!IsWindow(hWnd)) {
            return nullptr;
        }
        break;
    case WM_DESTROY:
    case WM_TIMER: // the prompt's own timer tells itself apart
        frame->callAfter = 1;
        break;
    default:
        break;
    }
    return previous;
}

// The second half, only for the messages the first half asked it for.
LRESULT WINAPI AfterMessage(MessageFrame* frame, LRESULT result) {
    const HWND hWnd = frame->hWnd;
    switch (static_cast<UINT>(frame->message)) {
    case WM_DESTROY:
        SubWinTable().RemoveSubWin(hWnd);
        break;
    case WM_TIMER:
        if (const std::shared_ptr<CSubIEWin> window = SubWinTable().FindSubWin(hWnd)) {
            Guarded(L"", L"", [&] { window->OnTimer(frame->wParam); });
        }
        break;
    case WM_NCDESTROY:
        DropForwarding(hWnd);
        break;
    default:
        break;
    }
    return result;
}

} // namespace

WNDPROC SubIEWinProc() {
    return WindowTrampoline(&BeforeMessage, &AfterMessage);
}

} // namespace lumivex::hook
