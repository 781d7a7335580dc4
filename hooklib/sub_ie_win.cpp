#include "hooklib/sub_ie_win.h"

#include "hooklib/browser_ids.h"
#include "hooklib/sub_win_table.h"
#include "support/guarded.h"

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
            if (auto clear = reinterpret_cast<ClearFn>(
                    reinterpret_cast<void*>(GetProcAddress(automation, "VariantClear")))) {
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
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubIEWinProc)));
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
            GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&SubIEWinProc);
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

void CSubIEWin::OnAttachBrowser() {
    wchar_t className[199] = {};
    GetClassNameW(m_hWnd, className, 199);
    if (wcscmp(className, kBrowserWindowClass) == 0) {
        ComPtr<IHTMLDocument> document;
        ComPtr<IWebBrowser2> browser;
        OnGetDocInterface(m_hWnd, document, browser);
        if (browser) {
            m_pBrowser = std::move(browser);
        }
    }
    if (m_pBrowser) {
        ShowFirstUsePrompt();
    }
}

LRESULT CSubIEWin::OnKeyUp(WPARAM virtualKey) {
    // Only the zoom keys need the Ctrl state, and asking for it is no cheap call everywhere (a
    // server round trip under Wine): every key typed passes here.
    const ZoomAction action = ZoomActionForKey(static_cast<unsigned>(virtualKey));
    if (action != ZoomAction::None && GetKeyState(VK_CONTROL) < 0) {
        Step(action);
    }
    return 0;
}

void CSubIEWin::OnMouseWheel(WPARAM wParam) {
    Step(ZoomActionForWheel(wParam));
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

void CSubIEWin::Step(ZoomAction action) {
    if (action == ZoomAction::None || !m_pBrowser) {
        return;
    }
    if (action != ZoomAction::Reset) {
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
    m_nZoom = StepZoom(m_nZoom, action, ZoomRange{m_nMinZoom, m_nMaxZoom});
    SendZoom();
}

void CSubIEWin::SendZoom() {
    ScopedVariant level;
    level.value.vt = VT_I4;
    level.value.lVal = m_nZoom;
    m_pBrowser->ExecWB(static_cast<OLECMDID>(kOpticalZoom), OLECMDEXECOPT_DODEFAULT, &level.value,
                       nullptr);
}

} // namespace lumivex::hook
