#include "browser_window.h"

#include "event_log.h"
#include "host_frame.h"
#include "page_paint.h"

#include <mshtml.h>
#include <oleacc.h>

#include <atomic>
#include <stdexcept>

namespace lumivex::browserhost {

namespace {

BrowserRecord* RecordOf(HWND window) {
    return reinterpret_cast<BrowserRecord*>(GetWindowLongPtrW(window, 0));
}

FieldList MessageFields(const BrowserRecord& record, WPARAM wParam, LPARAM lParam) {
    FieldList fields;
    fields.Add("index", record.index);
    fields.AddHex("wparam", static_cast<std::uint64_t>(wParam));
    fields.AddHex("lparam", static_cast<std::uint64_t>(static_cast<std::uintptr_t>(lParam)));
    return fields;
}

bool CtrlDown() {
    return GetKeyState(VK_CONTROL) < 0;
}

void LogKey(const char* kind, const BrowserRecord& record, WPARAM wParam, LPARAM lParam) {
    FieldList fields = MessageFields(record, wParam, lParam);
    fields.AddHex("vk", static_cast<std::uint64_t>(wParam & 0xFFFF));
    fields.Add("ctrl", CtrlDown() ? 1 : 0);
    HostLog().Write(kind, fields);
}

void LogWheel(const BrowserRecord& record, WPARAM wParam, LPARAM lParam) {
    FieldList fields = MessageFields(record, wParam, lParam);
    fields.AddHex("keys", GET_KEYSTATE_WPARAM(wParam));
    fields.Add("delta", static_cast<int>(GET_WHEEL_DELTA_WPARAM(wParam)));
    fields.Add("ctrl", CtrlDown() ? 1 : 0);
    HostLog().Write("WHEEL", fields);
}

LRESULT AnswerGetObject(BrowserRecord& record, WPARAM wParam) {
    if (record.slowDocumentMs > 0) {
        HostLog().Write("GETOBJECT_WAIT",
                        FieldList().Add("index", record.index).Add("ms", record.slowDocumentMs));
        // Not answering is the point here: nothing else runs on this thread meanwhile.
        Sleep(static_cast<DWORD>(record.slowDocumentMs));
    }
    const LRESULT result = LresultFromObject(IID_IHTMLDocument2, wParam,
                                             static_cast<IUnknown*>(record.objects->Document()));
    HostLog().Write("GETOBJECT", FieldList()
                                     .Add("index", record.index)
                                     .AddHex("result", static_cast<std::uintptr_t>(result)));
    return result;
}

void Paint(HWND window, BrowserRecord& record) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc) {
        RECT client;
        GetClientRect(window, &client);
        const int zoom = record.objects->zoom();
        PaintPage(dc, client, record.index, zoom);
        if (zoom != record.paintedZoom) {
            record.paintedZoom = zoom;
            HostLog().Write("PAINT", FieldList().Add("index", record.index).Add("zoom", zoom));
        }
    }
    EndPaint(window, &paint);
}

// Window messages a window class keeps for itself; a foreign one reaching us is worth a line.
bool IsPrivateMessage(UINT message) {
    return message >= WM_USER && message < 0xC000;
}

} // namespace

UINT GetObjectMessage() {
    static const UINT message = RegisterWindowMessageW(L"WM_HTML_GETOBJECT");
    return message;
}

bool RegisterBrowserClass(const std::wstring& className) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = BrowserWindowProc;
    wc.cbWndExtra = sizeof(LONG_PTR); // the record, kept out of GWLP_USERDATA for other users
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className.c_str();
    return RegisterClassExW(&wc) != 0;
}

HWND CreateBrowserWindow(HWND parent, BrowserRecord& record, const std::wstring& className) {
    const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (record.visible ? WS_VISIBLE : 0);
    return CreateWindowExW(0, className.c_str(), L"", style, 0, 0, 100, 100, parent, nullptr,
                           GetModuleHandleW(nullptr), &record);
}

namespace {

std::atomic<bool> g_endModal{false};

// A loop inside the window's own procedure, as a context menu or a message box runs one: whatever
// subclass passed the message on is on the stack until it ends.
void RunModalLoop(const BrowserRecord& record) {
    g_endModal = false;
    HostLog().Write("MODAL", FieldList().Add("index", record.index).Add("state", "enter"));
    MSG msg;
    while (!g_endModal) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 0);
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    HostLog().Write("MODAL", FieldList().Add("index", record.index).Add("state", "leave"));
}

} // namespace

void EndModalLoops() {
    g_endModal = true;
    for (const BrowserRecord* record : Host().Browsers()) {
        PostThreadMessageW(record->threadId, WM_NULL, 0, 0);
    }
}

LRESULT CALLBACK BrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    BrowserRecord* record = RecordOf(window);
    if (!record) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == GetObjectMessage()) {
        return AnswerGetObject(*record, wParam);
    }
    switch (message) {
    case WM_CREATE:
        record->window = window;
        record->objects->SetListener(record);
        return 0;
    case WM_KEYDOWN:
        LogKey("KEYDOWN", *record, wParam, lParam);
        break;
    case WM_KEYUP:
        LogKey("KEYUP", *record, wParam, lParam);
        break;
    case WM_MOUSEWHEEL:
        LogWheel(*record, wParam, lParam);
        break;
    case WM_SETFOCUS:
        HostLog().Write("SETFOCUS", FieldList().Add("index", record->index));
        break;
    case WM_KILLFOCUS:
        HostLog().Write("KILLFOCUS", FieldList().Add("index", record->index));
        break;
    case WM_TIMER:
        HostLog().Write("TIMER", FieldList().Add("index", record->index).Add("id", wParam));
        break;
    case WM_MOUSEMOVE:
        HostLog().Write("MOUSEMOVE", MessageFields(*record, wParam, lParam));
        break;
    case WM_LBUTTONDOWN:
        SetFocus(window);
        return 0;
    case kEnterModalMessage:
        RunModalLoop(*record);
        return 0;
    case kThrowMessage:
        // Unwinds through every frame between here and the sender: subclasses in front of this
        // procedure must let it pass.
        throw std::runtime_error("thrown by the browser window's own procedure");
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(window, *record);
        return 0;
    case WM_DESTROY:
        HostLog().Write("DESTROYED",
                        FieldList().Add("index", record->index).Add("hwnd", WindowText(window)));
        record->window = nullptr;
        record->objects->SetListener(nullptr);
        record->objects->ReleaseHostReferences();
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, 0, 0);
        break;
    default:
        if (IsPrivateMessage(message)) {
            FieldList fields = MessageFields(*record, wParam, lParam);
            fields.AddHex("msg", message);
            HostLog().Write("PRIVATE", fields);
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace lumivex::browserhost
