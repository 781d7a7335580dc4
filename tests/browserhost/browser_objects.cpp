// Built against the C layout of the interfaces, so each vtable is filled slot by named slot and
// the compiler checks every implemented method's type against the platform headers.
#define CINTERFACE
#include <windows.h>
#include <docobj.h>
#include <exdisp.h>
#include <mshtml.h>
#include <servprov.h>
#include <shlguid.h>

#include "browser_objects.h"

#include "com_slots.h"
#include "event_log.h"
#include "host_command.h"

namespace lumivex::browserhost {

namespace {

class Objects;

// The `this` of one interface: its vtable first, as every COM client expects, then its object.
struct Face {
    const void* vtbl;
    Objects* owner;
};

Objects* OwnerOf(void* self) {
    return static_cast<Face*>(self)->owner;
}

enum class Part { Document, Window, Browser };

const char* PartName(Part part) {
    switch (part) {
    case Part::Document:
        return "document";
    case Part::Window:
        return "window";
    case Part::Browser:
        return "browser";
    }
    return "?";
}

std::string GuidText(REFGUID guid) {
    wchar_t text[64] = {};
    StringFromGUID2(guid, text, 64);
    return Utf8(text);
}

struct DocumentTag {
    static constexpr const char* kName = "IHTMLDocument2";
};
struct WindowTag {
    static constexpr const char* kName = "IHTMLWindow2";
};
struct ServiceTag {
    static constexpr const char* kName = "IServiceProvider";
};
struct BrowserTag {
    static constexpr const char* kName = "IWebBrowser2";
};

extern const IHTMLDocument2Vtbl kDocumentVtbl;
extern const IHTMLWindow2Vtbl kWindowVtbl;
extern const IServiceProviderVtbl kServiceVtbl;
extern const IWebBrowser2Vtbl kBrowserVtbl;

class Objects final : public BrowserObjects {
public:
    Objects(int index, ZoomRange range) : m_index(index), m_range(range) {}

    void* Document() override { return &m_document; }
    void* Browser() override { return &m_browser; }
    ObjectRefs ClientRefs() const override {
        const long own = m_hostHolds ? 1 : 0;
        return {m_documentRefs - own, m_windowRefs - own, m_browserRefs - own};
    }
    int zoom() const override { return m_zoom; }
    void SetListener(ZoomListener* listener) override { m_listener = listener; }
    void ReleaseHostReferences() override {
        if (m_hostHolds) {
            m_hostHolds = false;
            Release(Part::Document);
            Release(Part::Window);
            Release(Part::Browser);
        }
    }
    void AddLeakedReference() override { AddRef(Part::Browser); }

    int index() const { return m_index; }

    ULONG AddRef(Part part) { return static_cast<ULONG>(InterlockedIncrement(&Count(part))); }

    ULONG Release(Part part) {
        const LONG left = InterlockedDecrement(&Count(part));
        if (left == 0) {
            HostLog().Write("FREED",
                            FieldList().Add("index", m_index).Add("object", PartName(part)));
        } else if (left < 0) {
            HostLog().Write("ERROR", FieldList()
                                         .Add("index", m_index)
                                         .Add("object", PartName(part))
                                         .Add("text", "released more often than referenced"));
        }
        return left < 0 ? 0 : static_cast<ULONG>(left);
    }

    // Hands out `part` through `face` with a new reference.
    HRESULT Give(Part part, Face& face, void** out) {
        AddRef(part);
        *out = &face;
        return S_OK;
    }

    HRESULT Refuse(Part part, REFIID iid, void** out) {
        *out = nullptr;
        HostLog().Write("NOINTERFACE", FieldList()
                                           .Add("index", m_index)
                                           .Add("object", PartName(part))
                                           .Add("iid", GuidText(iid)));
        return E_NOINTERFACE;
    }

    void Called(const char* method) {
        HostLog().Write("CALL", FieldList().Add("index", m_index).Add("method", method));
    }

    HRESULT QueryDocument(REFIID iid, void** out) {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IHTMLDocument) || IsEqualIID(iid, IID_IHTMLDocument2)) {
            return Give(Part::Document, m_document, out);
        }
        return Refuse(Part::Document, iid, out);
    }

    // The window and its service provider are one object: one count, one IUnknown.
    HRESULT QueryWindow(REFIID iid, void** out) {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IHTMLFramesCollection2) || IsEqualIID(iid, IID_IHTMLWindow2)) {
            return Give(Part::Window, m_window, out);
        }
        if (IsEqualIID(iid, IID_IServiceProvider)) {
            return Give(Part::Window, m_service, out);
        }
        return Refuse(Part::Window, iid, out);
    }

    HRESULT QueryBrowser(REFIID iid, void** out) {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IWebBrowser) || IsEqualIID(iid, IID_IWebBrowserApp) ||
            IsEqualIID(iid, IID_IWebBrowser2)) {
            return Give(Part::Browser, m_browser, out);
        }
        return Refuse(Part::Browser, iid, out);
    }

    HRESULT GetScript(IDispatch** out) {
        Called("IHTMLDocument::get_Script");
        return out ? Give(Part::Window, m_window, reinterpret_cast<void**>(out)) : E_POINTER;
    }

    HRESULT GetDocument(IHTMLDocument2** out) {
        Called("IHTMLWindow2::get_document");
        return out ? Give(Part::Document, m_document, reinterpret_cast<void**>(out)) : E_POINTER;
    }

    HRESULT QueryService(REFGUID service, REFIID iid, void** out) {
        Called("IServiceProvider::QueryService");
        if (!out) {
            return E_POINTER;
        }
        if (IsEqualGUID(service, SID_SWebBrowserApp)) {
            return QueryBrowser(iid, out);
        }
        *out = nullptr;
        HostLog().Write("NOSERVICE",
                        FieldList().Add("index", m_index).Add("service", GuidText(service)));
        return E_NOINTERFACE;
    }

    HRESULT ExecWB(OLECMDID command, OLECMDEXECOPT option, VARIANT* in, VARIANT* out);

private:
    LONG& Count(Part part) {
        switch (part) {
        case Part::Document:
            return m_documentRefs;
        case Part::Window:
            return m_windowRefs;
        case Part::Browser:
            break;
        }
        return m_browserRefs;
    }

    const int m_index;
    const ZoomRange m_range;
    int m_zoom = 100;
    int m_rangeAnswered = 0;
    ZoomListener* m_listener = nullptr;
    bool m_hostHolds = true;
    LONG m_documentRefs = 1; // the host's own references
    LONG m_windowRefs = 1;
    LONG m_browserRefs = 1;
    Face m_document{&kDocumentVtbl, this};
    Face m_window{&kWindowVtbl, this};
    Face m_service{&kServiceVtbl, this};
    Face m_browser{&kBrowserVtbl, this};
};

void AddVariant(FieldList& fields, const char* prefix, const VARIANT* value) {
    const std::string vt = std::string(prefix) + "_vt";
    const std::string text = std::string(prefix) + "_value";
    if (!value) {
        fields.Add(vt, "null");
        return;
    }
    fields.Add(vt, static_cast<unsigned>(V_VT(value)));
    switch (V_VT(value)) {
    case VT_I4:
        fields.Add(text, static_cast<long>(V_I4(value)));
        break;
    case VT_UI4:
        fields.Add(text, static_cast<unsigned long>(V_UI4(value)));
        break;
    case VT_I2:
        fields.Add(text, static_cast<int>(V_I2(value)));
        break;
    case VT_INT:
        fields.Add(text, static_cast<int>(V_INT(value)));
        break;
    default:
        break;
    }
}

HRESULT Objects::ExecWB(OLECMDID command, OLECMDEXECOPT option, VARIANT* in, VARIANT* out) {
    FieldList fields;
    fields.Add("index", m_index).Add("cmd", static_cast<int>(command));
    fields.Add("opt", static_cast<int>(option));
    AddVariant(fields, "in", in);
    HRESULT result = S_OK;
    // Out variants are overwritten, not cleared: a client that passes one uninitialised must
    // not crash us, and one holding a value would leak it on the real browser too.
    if (command == OLECMDID_OPTICAL_GETZOOMRANGE) {
        if (!out) {
            result = E_INVALIDARG;
        } else if (m_range.answers >= 0 && m_rangeAnswered >= m_range.answers) {
            result = E_FAIL; // a browser that stopped answering: the out variant is left alone
        } else {
            ++m_rangeAnswered;
            V_VT(out) = VT_I4;
            V_I4(out) = static_cast<LONG>(MAKELONG(m_range.min, m_range.max));
        }
    } else if (command == OLECMDID_OPTICAL_ZOOM) {
        if (in && V_VT(in) == VT_I4) {
            const LONG level = V_I4(in);
            if (level < m_range.min || level > m_range.max) {
                result = E_INVALIDARG;
            } else {
                m_zoom = static_cast<int>(level);
                if (m_listener) {
                    m_listener->OnZoomApplied(m_zoom);
                }
            }
        } else if ((!in || V_VT(in) == VT_EMPTY) && out) {
            // No level given: report the current one.
            V_VT(out) = VT_I4;
            V_I4(out) = m_zoom;
        } else {
            result = E_INVALIDARG;
        }
    } else {
        result = OLECMDERR_E_NOTSUPPORTED;
    }
    AddVariant(fields, "out", out);
    fields.AddHex("hr", static_cast<unsigned long>(result));
    fields.Add("zoom", m_zoom);
    HostLog().Write("EXECWB", fields);
    return result;
}

// Document (IHTMLDocument2, which begins with IHTMLDocument).
HRESULT STDMETHODCALLTYPE DocQueryInterface(IHTMLDocument2* self, REFIID iid, void** out) {
    return out ? OwnerOf(self)->QueryDocument(iid, out) : E_POINTER;
}
ULONG STDMETHODCALLTYPE DocAddRef(IHTMLDocument2* self) {
    return OwnerOf(self)->AddRef(Part::Document);
}
ULONG STDMETHODCALLTYPE DocRelease(IHTMLDocument2* self) {
    return OwnerOf(self)->Release(Part::Document);
}
HRESULT STDMETHODCALLTYPE DocGetScript(IHTMLDocument2* self, IDispatch** out) {
    return OwnerOf(self)->GetScript(out);
}

IHTMLDocument2Vtbl MakeDocumentVtbl() {
    IHTMLDocument2Vtbl v = UnexpectedVtbl<DocumentTag, IHTMLDocument2Vtbl>();
    v.QueryInterface = DocQueryInterface;
    v.AddRef = DocAddRef;
    v.Release = DocRelease;
    v.get_Script = DocGetScript;
    return v;
}

// Script window.
HRESULT STDMETHODCALLTYPE WinQueryInterface(IHTMLWindow2* self, REFIID iid, void** out) {
    return out ? OwnerOf(self)->QueryWindow(iid, out) : E_POINTER;
}
ULONG STDMETHODCALLTYPE WinAddRef(IHTMLWindow2* self) {
    return OwnerOf(self)->AddRef(Part::Window);
}
ULONG STDMETHODCALLTYPE WinRelease(IHTMLWindow2* self) {
    return OwnerOf(self)->Release(Part::Window);
}
HRESULT STDMETHODCALLTYPE WinGetDocument(IHTMLWindow2* self, IHTMLDocument2** out) {
    return OwnerOf(self)->GetDocument(out);
}

IHTMLWindow2Vtbl MakeWindowVtbl() {
    IHTMLWindow2Vtbl v = UnexpectedVtbl<WindowTag, IHTMLWindow2Vtbl>();
    v.QueryInterface = WinQueryInterface;
    v.AddRef = WinAddRef;
    v.Release = WinRelease;
    v.get_document = WinGetDocument;
    return v;
}

// The window's service provider.
HRESULT STDMETHODCALLTYPE SpQueryInterface(IServiceProvider* self, REFIID iid, void** out) {
    return out ? OwnerOf(self)->QueryWindow(iid, out) : E_POINTER;
}
ULONG STDMETHODCALLTYPE SpAddRef(IServiceProvider* self) {
    return OwnerOf(self)->AddRef(Part::Window);
}
ULONG STDMETHODCALLTYPE SpRelease(IServiceProvider* self) {
    return OwnerOf(self)->Release(Part::Window);
}
HRESULT STDMETHODCALLTYPE SpQueryService(IServiceProvider* self, REFGUID service, REFIID iid,
                                         void** out) {
    return OwnerOf(self)->QueryService(service, iid, out);
}

IServiceProviderVtbl MakeServiceVtbl() {
    IServiceProviderVtbl v = UnexpectedVtbl<ServiceTag, IServiceProviderVtbl>();
    v.QueryInterface = SpQueryInterface;
    v.AddRef = SpAddRef;
    v.Release = SpRelease;
    v.QueryService = SpQueryService;
    return v;
}

// Web browser.
HRESULT STDMETHODCALLTYPE WbQueryInterface(IWebBrowser2* self, REFIID iid, void** out) {
    return out ? OwnerOf(self)->QueryBrowser(iid, out) : E_POINTER;
}
ULONG STDMETHODCALLTYPE WbAddRef(IWebBrowser2* self) {
    return OwnerOf(self)->AddRef(Part::Browser);
}
ULONG STDMETHODCALLTYPE WbRelease(IWebBrowser2* self) {
    return OwnerOf(self)->Release(Part::Browser);
}
HRESULT STDMETHODCALLTYPE WbExecWB(IWebBrowser2* self, OLECMDID command, OLECMDEXECOPT option,
                                   VARIANT* in, VARIANT* out) {
    return OwnerOf(self)->ExecWB(command, option, in, out);
}

IWebBrowser2Vtbl MakeBrowserVtbl() {
    IWebBrowser2Vtbl v = UnexpectedVtbl<BrowserTag, IWebBrowser2Vtbl>();
    v.QueryInterface = WbQueryInterface;
    v.AddRef = WbAddRef;
    v.Release = WbRelease;
    v.ExecWB = WbExecWB;
    return v;
}

const IHTMLDocument2Vtbl kDocumentVtbl = MakeDocumentVtbl();
const IHTMLWindow2Vtbl kWindowVtbl = MakeWindowVtbl();
const IServiceProviderVtbl kServiceVtbl = MakeServiceVtbl();
const IWebBrowser2Vtbl kBrowserVtbl = MakeBrowserVtbl();

} // namespace

void ReportUnexpectedSlot(const char* interfaceName, std::size_t slot, void* self) {
    HostLog().Write("UNEXPECTED", FieldList()
                                      .Add("index", OwnerOf(self)->index())
                                      .Add("interface", interfaceName)
                                      .Add("slot", slot));
#if defined(_M_IX86) || defined(__i386__)
    ExitProcess(kUnexpectedSlotExitCode);
#endif
}

BrowserObjects* CreateBrowserObjects(int index, ZoomRange range) {
    return new Objects(index, range);
}

} // namespace lumivex::browserhost
