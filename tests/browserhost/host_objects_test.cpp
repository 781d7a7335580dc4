// The host's browser objects called in-process through the C++ interfaces, as a zoom client
// compiled against the platform headers calls them: paths, identity, counts and zoom commands.
#include "browser_objects.h"
#include "event_log.h"

#include "support/owners.h"
#include "test_files.h"

#include <docobj.h>
#include <exdisp.h>
#include <mshtml.h>
#include <oleacc.h>
#include <servprov.h>
#include <shlguid.h>

#include <gtest/gtest.h>

using namespace lumivex::browserhost;
using lumivex::ComPtr;

namespace {

class Recorder : public ZoomListener {
public:
    void OnZoomApplied(int level) override { levels.push_back(level); }
    std::vector<int> levels;
};

class BrowserObjectsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new lumivex::test::TempDir();
        ASSERT_TRUE(HostLog().Open(*s_dir / L"events.log"));
    }
    static void TearDownTestSuite() {
        HostLog().Close();
        delete s_dir;
    }
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_mark = Log().size();
        m_objects = CreateBrowserObjects(++s_index, {25, 400});
    }
    void TearDown() override { CoUninitialize(); }

    static std::vector<LogLine> Log() {
        std::vector<LogLine> lines;
        const std::string text = lumivex::test::ReadFileBytes(*s_dir / L"events.log");
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            if (auto line = ParseLogLine(std::string_view(text).substr(start, end - start))) {
                lines.push_back(*line);
            }
        }
        return lines;
    }
    // This test's lines of `kind` for its own objects.
    std::vector<LogLine> Lines(const std::string& kind) const {
        std::vector<LogLine> mine;
        std::vector<LogLine> all = Log();
        for (size_t i = m_mark; i < all.size(); ++i) {
            if (all[i].kind == kind && all[i].index() == s_index) {
                mine.push_back(all[i]);
            }
        }
        return mine;
    }

    IHTMLDocument* Document() const { return static_cast<IHTMLDocument*>(m_objects->Document()); }
    IWebBrowser2* Browser() const { return static_cast<IWebBrowser2*>(m_objects->Browser()); }

    HRESULT Exec(OLECMDID command, VARIANT* in, VARIANT* out) {
        return Browser()->ExecWB(command, OLECMDEXECOPT_DODEFAULT, in, out);
    }
    static VARIANT Int(VARTYPE type, LONG value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = type;
        if (type == VT_I2) {
            V_I2(&v) = static_cast<SHORT>(value);
        } else {
            V_I4(&v) = value;
        }
        return v;
    }

    static inline lumivex::test::TempDir* s_dir = nullptr;
    static inline int s_index = 0;
    size_t m_mark = 0;
    BrowserObjects* m_objects = nullptr;
};

} // namespace

TEST_F(BrowserObjectsTest, ZoomClientPathLeadsToTheBrowserAndGivesEverythingBack) {
    {
        ComPtr<IHTMLDocument> document;
        ASSERT_EQ(Document()->QueryInterface(IID_IHTMLDocument, document.put_void()), S_OK);
        ComPtr<IDispatch> script;
        ASSERT_EQ(document->get_Script(script.put()), S_OK);
        ComPtr<IHTMLWindow2> window = script.As<IHTMLWindow2>(IID_IHTMLWindow2);
        ASSERT_TRUE(window);
        ComPtr<IHTMLDocument2> windowDocument;
        ASSERT_EQ(window->get_document(windowDocument.put()), S_OK);
        EXPECT_EQ(static_cast<void*>(windowDocument.get()), m_objects->Document());
        ComPtr<IServiceProvider> provider = window.As<IServiceProvider>(IID_IServiceProvider);
        ASSERT_TRUE(provider);
        ComPtr<IWebBrowser2> browser;
        ASSERT_EQ(provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void()),
                  S_OK);
        EXPECT_EQ(browser.get(), Browser());
        const ObjectRefs held = m_objects->ClientRefs();
        EXPECT_EQ(held.document, 2); // document and windowDocument
        EXPECT_EQ(held.window, 3);   // script, window and provider
        EXPECT_EQ(held.browser, 1);
    }
    const ObjectRefs left = m_objects->ClientRefs();
    EXPECT_EQ(left.document, 0);
    EXPECT_EQ(left.window, 0);
    EXPECT_EQ(left.browser, 0);
    EXPECT_EQ(Lines("CALL").size(), 3u) << "get_Script, get_document, QueryService";
}

TEST_F(BrowserObjectsTest, InterfacesKeepComIdentityAndRefuseStrangers) {
    IHTMLDocument* document = Document();
    ComPtr<IDispatch> script;
    ASSERT_EQ(document->get_Script(script.put()), S_OK);
    ComPtr<IServiceProvider> provider = script.As<IServiceProvider>(IID_IServiceProvider);
    ASSERT_TRUE(provider);
    ComPtr<IUnknown> fromWindow = script.As<IUnknown>(IID_IUnknown);
    ComPtr<IUnknown> fromProvider = provider.As<IUnknown>(IID_IUnknown);
    EXPECT_EQ(fromWindow.get(), fromProvider.get()) << "one object, one IUnknown";
    EXPECT_EQ(provider.As<IHTMLWindow2>(IID_IHTMLWindow2).get(),
              script.As<IHTMLWindow2>(IID_IHTMLWindow2).get());

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(document->QueryInterface(IID_IWebBrowser2, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(document->QueryInterface(IID_IHTMLDocument, nullptr), E_POINTER);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(provider->QueryService(IID_IHTMLDocument, IID_IWebBrowser2, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Lines("NOINTERFACE").size(), 1u);
    EXPECT_EQ(Lines("NOSERVICE").size(), 1u);

    // AddRef and Release answer the object's count: the host's own reference plus ours.
    EXPECT_EQ(Browser()->AddRef(), 2u);
    EXPECT_EQ(Browser()->Release(), 1u);
}

TEST_F(BrowserObjectsTest, ZoomCommandsKeepToTheRange) {
    Recorder recorder;
    m_objects->SetListener(&recorder);
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(Exec(OLECMDID_OPTICAL_GETZOOMRANGE, nullptr, nullptr), E_INVALIDARG);
    ASSERT_EQ(Exec(OLECMDID_OPTICAL_GETZOOMRANGE, nullptr, &out), S_OK);
    EXPECT_EQ(V_VT(&out), VT_I4);
    EXPECT_EQ(LOWORD(V_I4(&out)), 25);
    EXPECT_EQ(HIWORD(V_I4(&out)), 400);

    for (LONG level : {25L, 400L, 120L}) {
        VARIANT in = Int(VT_I4, level);
        EXPECT_EQ(Exec(OLECMDID_OPTICAL_ZOOM, &in, nullptr), S_OK) << level;
    }
    for (VARIANT in : {Int(VT_I4, 24), Int(VT_I4, 401), Int(VT_I2, 150), Int(VT_BOOL, 0)}) {
        EXPECT_EQ(Exec(OLECMDID_OPTICAL_ZOOM, &in, nullptr), E_INVALIDARG) << V_VT(&in);
    }
    EXPECT_EQ(Exec(OLECMDID_OPTICAL_ZOOM, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(m_objects->zoom(), 120);
    EXPECT_EQ(recorder.levels, (std::vector<int>{25, 400, 120})) << "only applied levels repaint";

    // No level given but room for an answer: the current level.
    VariantInit(&out);
    VARIANT empty;
    VariantInit(&empty);
    ASSERT_EQ(Exec(OLECMDID_OPTICAL_ZOOM, &empty, &out), S_OK);
    EXPECT_EQ(V_VT(&out), VT_I4);
    EXPECT_EQ(V_I4(&out), 120);
    EXPECT_EQ(Exec(OLECMDID_REFRESH, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);

    // One line per call, with what came in and went out.
    std::vector<LogLine> calls = Lines("EXECWB");
    ASSERT_EQ(calls.size(), 12u);
    EXPECT_EQ(calls[1].Number("cmd"), 64);
    EXPECT_EQ(calls[1].Number("out_value"), MAKELONG(25, 400));
    EXPECT_EQ(calls[4].Number("in_vt"), VT_I4);
    EXPECT_EQ(calls[4].Number("in_value"), 120);
    EXPECT_EQ(calls[4].Number("zoom"), 120);
    EXPECT_EQ(calls[6].Number("in_value"), 401);
    EXPECT_EQ(calls[6].Number("hr"),
              static_cast<long long>(static_cast<unsigned long>(E_INVALIDARG)));
    m_objects->SetListener(nullptr);
}

TEST_F(BrowserObjectsTest, ObjectsOutliveTheHostAndReportOverRelease) {
    ComPtr<IWebBrowser2> kept = ComPtr<IWebBrowser2>::Share(Browser());
    m_objects->ReleaseHostReferences();
    m_objects->ReleaseHostReferences(); // a second time changes nothing
    std::vector<LogLine> freed = Lines("FREED");
    ASSERT_EQ(freed.size(), 2u);
    EXPECT_EQ(freed[0].Text("object"), "document");
    EXPECT_EQ(freed[1].Text("object"), "window");
    EXPECT_EQ(m_objects->ClientRefs().browser, 1);

    // The client can still use what it holds.
    VARIANT in = Int(VT_I4, 200);
    EXPECT_EQ(kept->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DODEFAULT, &in, nullptr), S_OK);
    kept.reset();
    ASSERT_EQ(Lines("FREED").size(), 3u);
    EXPECT_EQ(m_objects->ClientRefs().total(), 0);
    EXPECT_TRUE(Lines("ERROR").empty());

    // One Release too many is seen, not hidden.
    Document()->Release();
    EXPECT_EQ(m_objects->ClientRefs().document, -1);
    EXPECT_EQ(Lines("ERROR").size(), 1u);
}

TEST_F(BrowserObjectsTest, OleaccHandsBackTheVeryDocument) {
    IUnknown* document = static_cast<IUnknown*>(m_objects->Document());
    const LRESULT result = LresultFromObject(IID_IHTMLDocument2, 0, document);
    ASSERT_GT(result, 0);
    {
        ComPtr<IHTMLDocument> back;
        ASSERT_EQ(ObjectFromLresult(result, IID_IHTMLDocument, 0, back.put_void()), S_OK);
        EXPECT_EQ(static_cast<void*>(back.get()), m_objects->Document());
    }
    EXPECT_EQ(m_objects->ClientRefs().total(), 0) << "the round trip keeps no reference";
}
