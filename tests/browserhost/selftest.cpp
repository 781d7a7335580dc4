#include "selftest.h"

#include "browser_window.h"
#include "event_log.h"

#include "support/owners.h"

#include <docobj.h>
#include <exdisp.h>
#include <mshtml.h>
#include <oleacc.h>
#include <servprov.h>
#include <shlguid.h>

namespace lumivex::browserhost {

namespace {

class Steps {
public:
    explicit Steps(int index) : m_index(index) {}

    // Logs the step; true when it worked.
    bool Check(const char* step, HRESULT result, bool worked) {
        HostLog().Write("SELFTEST", FieldList()
                                        .Add("index", m_index)
                                        .Add("step", step)
                                        .AddHex("hr", static_cast<unsigned long>(result))
                                        .Add("ok", worked ? 1 : 0));
        return worked;
    }
    bool Check(const char* step, HRESULT result, const void* pointer) {
        return Check(step, result, SUCCEEDED(result) && pointer != nullptr);
    }

private:
    int m_index;
};

} // namespace

std::intptr_t RunSelfTest(const BrowserRecord& record) {
    Steps steps(record.index);
    DWORD_PTR answer = 0;
    const bool answered = SendMessageTimeoutW(record.window, GetObjectMessage(), 0, 0,
                                              SMTO_ABORTIFHUNG, 1000, &answer) != 0;
    if (!steps.Check("getobject", S_OK, answered && answer != 0)) {
        return 0;
    }
    ComPtr<IHTMLDocument> document;
    HRESULT hr = ObjectFromLresult(answer, IID_IHTMLDocument, 0, document.put_void());
    if (!steps.Check("objectfromlresult", hr, document.get())) {
        return 0;
    }
    ComPtr<IDispatch> script;
    hr = document->get_Script(script.put());
    if (!steps.Check("get_script", hr, script.get())) {
        return 0;
    }
    ComPtr<IHTMLWindow2> window = script.As<IHTMLWindow2>(IID_IHTMLWindow2);
    if (!steps.Check("window", S_OK, window.get())) {
        return 0;
    }
    ComPtr<IHTMLDocument2> windowDocument;
    hr = window->get_document(windowDocument.put());
    if (!steps.Check("get_document", hr, windowDocument.get())) {
        return 0;
    }
    ComPtr<IServiceProvider> provider = window.As<IServiceProvider>(IID_IServiceProvider);
    if (!steps.Check("serviceprovider", S_OK, provider.get())) {
        return 0;
    }
    ComPtr<IWebBrowser2> browser;
    hr = provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void());
    if (!steps.Check("queryservice", hr, browser.get())) {
        return 0;
    }
    // Every road must lead to this window's own objects.
    const bool own = document.get() == record.objects->Document() &&
                     static_cast<void*>(windowDocument.get()) == record.objects->Document() &&
                     static_cast<void*>(browser.get()) == record.objects->Browser();
    if (!steps.Check("same_objects", S_OK, own)) {
        return 0;
    }
    VARIANT range;
    VariantInit(&range);
    hr = browser->ExecWB(OLECMDID_OPTICAL_GETZOOMRANGE, OLECMDEXECOPT_DODEFAULT, nullptr, &range);
    const bool rangeOk = SUCCEEDED(hr) && V_VT(&range) == VT_I4;
    VariantClear(&range);
    if (!steps.Check("getzoomrange", hr, rangeOk)) {
        return 0;
    }
    VARIANT level;
    VariantInit(&level);
    V_VT(&level) = VT_I4;
    V_I4(&level) = 150;
    hr = browser->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DODEFAULT, &level, nullptr);
    VariantClear(&level);
    if (!steps.Check("zoom", hr, SUCCEEDED(hr))) {
        return 0;
    }
    return steps.Check("done", S_OK, true) ? 1 : 0;
}

std::intptr_t CallUnexpectedSlot(const BrowserRecord& record) {
    auto* browser = static_cast<IWebBrowser2*>(record.objects->Browser());
    return browser->GoHome();
}

} // namespace lumivex::browserhost
