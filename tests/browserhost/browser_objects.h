// The document, script window and web browser objects behind one browser window.
// Their vtables are those of the platform headers (IHTMLDocument2, IHTMLWindow2 with
// IServiceProvider, IWebBrowser2); only the slots a zoom client needs are implemented, every
// other slot logs "UNEXPECTED" and fails (see kUnexpectedSlotExitCode).
//
// This header names no COM interface type on purpose: the objects are built in a translation
// unit that sees the C layout of the interfaces (CINTERFACE), everybody else uses the C++ one.
#pragma once

namespace lumivex::browserhost {

struct ZoomRange {
    int min = 10;
    int max = 1000;
    int answers = -1; // range queries answered before the rest fail; -1: every one
};

// References held on the three objects by others than the host (the host holds one on each
// while its window lives). Negative means somebody released more than they took.
struct ObjectRefs {
    long document = 0;
    long window = 0; // the script window, with its IServiceProvider
    long browser = 0;
    long total() const { return document + window + browser; }
};

// What the window has to show when a client zooms.
class ZoomListener {
public:
    virtual void OnZoomApplied(int level) = 0;

protected:
    ~ZoomListener() = default;
};

class BrowserObjects {
public:
    virtual ~BrowserObjects() = default;
    // The document's IUnknown (its IHTMLDocument2 face); no reference is added.
    virtual void* Document() = 0;
    // The browser's IWebBrowser2; no reference is added.
    virtual void* Browser() = 0;
    virtual ObjectRefs ClientRefs() const = 0;
    virtual int zoom() const = 0;
    virtual void SetListener(ZoomListener* listener) = 0;
    // The window is gone: the host gives up its own references.
    virtual void ReleaseHostReferences() = 0;
    // A reference on the browser object that nobody will release, so tests can see a leak.
    virtual void AddLeakedReference() = 0;
};

// Objects are never deleted: a client may still hold (or over-release) references after the
// window is gone and even while the process ends, so their memory stays valid for good.
BrowserObjects* CreateBrowserObjects(int index, ZoomRange range);

} // namespace lumivex::browserhost
