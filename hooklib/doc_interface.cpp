// From a browser window to its document and browser objects.
#include "framework/system_library.h"
#include "hooklib/browser_ids.h"
#include "hooklib/sub_ie_win.h"
#include "support/guarded.h"
#include "support/proc_address.h"

#include <servprov.h>

namespace lumivex::hook {

namespace {

using ObjectFromLresultFn = HRESULT(WINAPI*)(LRESULT, REFIID, WPARAM, void**);

// How long the window may take to give its document.
constexpr DWORD kDocumentWaitMs = 1000;

} // namespace

void OnGetDocInterface(HWND hWnd, ComPtr<IWebBrowser2>& browser) {
    Guarded(L"CTarnDeskBarDlg", L"OnGetDocInterface", [&] {
        UniqueModule accessibility(fw::LoadSystemLibrary(L"oleacc.dll"));
        if (!accessibility || !hWnd) {
            return;
        }
        static const UINT getObjectMessage = RegisterWindowMessageW(L"WM_HTML_GETOBJECT");
        DWORD_PTR marshalled = 0;
        ComPtr<IHTMLDocument> document;
        const ULONGLONG asked = GetTickCount64();
        if (!SendMessageTimeoutW(hWnd, getObjectMessage, 0, 0, SMTO_ABORTIFHUNG, kDocumentWaitMs,
                                 &marshalled)) {
            return;
        }
        // From the window's own thread the message is handled at once and the time-out never
        // applies, so an answer later than the limit counts as none here too. It is still
        // turned back into the object below and released, or the document keeps the
        // reference made for it.
        const bool late = GetTickCount64() - asked > kDocumentWaitMs;
        auto objectFromLresult =
            ProcAddress<ObjectFromLresultFn>(accessibility.get(), "ObjectFromLresult");
        if (!objectFromLresult ||
            FAILED(objectFromLresult(static_cast<LRESULT>(marshalled), IID_IHTMLDocument_, 0,
                                     document.put_void()))) {
            return;
        }
        if (late) {
            document.reset();
            return;
        }

        ComPtr<IDispatch> script;
        if (FAILED(document->get_Script(script.put())) || !script) {
            return;
        }
        ComPtr<IHTMLWindow2> window = script.As<IHTMLWindow2>(IID_IHTMLWindow2_);
        if (!window) {
            return;
        }
        ComPtr<IServiceProvider> services = window.As<IServiceProvider>(IID_IServiceProvider_);
        if (services) {
            services->QueryService(SID_SWebBrowserApp_, IID_IWebBrowser2_, browser.put_void());
        }
    });
}

} // namespace lumivex::hook
