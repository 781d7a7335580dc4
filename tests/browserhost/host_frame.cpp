#include "host_frame.h"

#include "browser_window.h"
#include "event_log.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace lumivex::browserhost {

namespace {

constexpr wchar_t kPaneClassName[] = L"LumivexTestHostPane";
constexpr int kEditId = 100;
constexpr int kEditHeight = 24;
constexpr int kGap = 6;

FrameData* FrameOf(HWND frame) {
    return reinterpret_cast<FrameData*>(GetWindowLongPtrW(frame, GWLP_USERDATA));
}

// Browser windows sit in a pane each, as the real control nests its document window a few
// levels below the program's window: the browser's parent is not the top-level window.
void Layout(const FrameData& data) {
    RECT client;
    GetClientRect(data.frame, &client);
    MoveWindow(data.edit, kGap, kGap, client.right - 2 * kGap, kEditHeight, TRUE);
    // A record whose pane went to a later browser ("create") takes no place.
    std::vector<const BrowserRecord*> placed;
    for (const BrowserRecord* record : data.browsers) {
        if (record->pane) {
            placed.push_back(record);
        }
    }
    const int count = static_cast<int>(placed.size());
    if (count == 0) {
        return;
    }
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    const int rows = (count + columns - 1) / columns;
    const int top = 2 * kGap + kEditHeight;
    const int width = (client.right - kGap) / columns - kGap;
    const int height = (client.bottom - top) / rows - kGap;
    for (int i = 0; i < count; ++i) {
        const BrowserRecord& record = *placed[static_cast<size_t>(i)];
        const int x = kGap + (i % columns) * (width + kGap);
        const int y = top + (i / columns) * (height + kGap);
        if (record.pane) {
            MoveWindow(record.pane, x, y, width, height, TRUE);
        }
        if (record.window) {
            MoveWindow(record.window, 0, 0, width, height, TRUE);
        }
    }
}

LRESULT CALLBACK PaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT client;
        GetClientRect(pane, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNSHADOW));
        return 1;
    }
    return DefWindowProcW(pane, message, wParam, lParam);
}

std::intptr_t OnCopyData(FrameData& data, const COPYDATASTRUCT& copy) {
    if (copy.dwData != kCommandCopyDataId || !copy.lpData) {
        HostLog().Write("ERROR", FieldList().Add("text", "WM_COPYDATA that is no command"));
        return kReplyBadCommand;
    }
    const std::wstring text(static_cast<const wchar_t*>(copy.lpData),
                            copy.cbData / sizeof(wchar_t));
    CommandResult parsed = ParseHostCommand(text);
    std::intptr_t reply = kReplyBadCommand;
    if (parsed.error.empty()) {
        reply = RunCommand(data, parsed.command);
    }
    FieldList fields;
    fields.Add("frame", WindowText(data.frame)).Add("text", Utf8(text));
    fields.Add("reply", static_cast<long long>(reply));
    if (!parsed.error.empty()) {
        fields.Add("error", Utf8(parsed.error));
    }
    HostLog().Write("COMMAND", fields);
    return reply;
}

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* data = new FrameData();
        data->frame = frame;
        SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
    }
    FrameData* data = FrameOf(frame);
    if (!data) {
        return DefWindowProcW(frame, message, wParam, lParam);
    }
    switch (message) {
    case WM_CREATE:
        data->edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"not a browser",
                                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 10,
                                     10, frame, reinterpret_cast<HMENU>(kEditId),
                                     GetModuleHandleW(nullptr), nullptr);
        return data->edit ? 0 : -1;
    case WM_SIZE:
        Layout(*data);
        return 0;
    case WM_COPYDATA:
        return OnCopyData(*data, *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case kFaultMessage:
        // A fault of the host's own, for tests that it reaches the host's handlers and no one
        // else's.
        *static_cast<volatile int*>(nullptr) = 1;
        return 0;
    case WM_TIMER: // --exit-after
        KillTimer(frame, wParam);
        PostMessageW(frame, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(frame, GWLP_USERDATA, 0);
        delete data;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(frame, message, wParam, lParam);
}

// A browser window with its record in Host(), in `pane` or in a new one; null when the window
// could not be made (an ERROR line says why).
BrowserRecord* AddBrowserWindow(FrameData& data, int index, HWND pane) {
    const HostOptions& options = Host().options;
    BrowserRecord& record = Host().AddBrowser(index);
    record.visible = !options.IsInvisible(index);
    record.slowDocumentMs = options.IsSlow(index) ? options.slowDocumentMs : 0;
    record.threadId = GetCurrentThreadId();
    record.frame = data.frame;
    record.objects =
        CreateBrowserObjects(index, {options.minZoom, options.maxZoom, options.rangeAnswers});
    record.pane =
        pane ? pane
             : CreateWindowExW(0, kPaneClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                               0, 10, 10, data.frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND window =
        record.pane ? CreateBrowserWindow(record.pane, record, options.className) : nullptr;
    if (!window) {
        HostLog().Write("ERROR", FieldList()
                                     .Add("index", index)
                                     .Add("text", "browser window not created")
                                     .Add("error", GetLastError()));
        return nullptr;
    }
    data.browsers.push_back(&record);
    HostLog().Write("BROWSER", FieldList()
                                   .Add("index", index)
                                   .Add("hwnd", WindowText(window))
                                   .Add("frame", WindowText(data.frame))
                                   .Add("thread", record.threadId)
                                   .Add("class", Utf8(options.className))
                                   .Add("visible", record.visible ? 1 : 0)
                                   .Add("slow", record.slowDocumentMs));
    return &record;
}

} // namespace

BrowserRecord* FrameData::Find(int index) const {
    for (BrowserRecord* record : browsers) {
        if (record->index == index) {
            return record;
        }
    }
    return nullptr;
}

bool RegisterFrameClasses(const std::wstring& browserClass) {
    WNDCLASSEXW frame = {};
    frame.cbSize = sizeof frame;
    frame.lpfnWndProc = FrameProc;
    frame.hInstance = GetModuleHandleW(nullptr);
    frame.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    frame.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    frame.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    frame.lpszClassName = kFrameClassName;
    WNDCLASSEXW pane = frame;
    pane.lpfnWndProc = PaneProc;
    pane.hIcon = nullptr;
    pane.lpszClassName = kPaneClassName;
    return RegisterClassExW(&frame) && RegisterClassExW(&pane) &&
           RegisterBrowserClass(browserClass);
}

HWND CreateHostFrame(const FrameSetup& setup) {
    const RECT& r = setup.placement;
    HWND frame =
        CreateWindowExW(0, kFrameClassName, setup.title.c_str(),
                        WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!frame) {
        return nullptr;
    }
    FrameData& data = *FrameOf(frame);
    for (int index : setup.browsers) {
        AddBrowserWindow(data, index, nullptr);
    }
    Layout(data);
    ShowWindow(frame, SW_SHOWNORMAL);
    UpdateWindow(frame);
    return frame;
}

std::intptr_t CreateBrowser(FrameData& data) {
    int index = -1;
    for (const BrowserRecord* record : Host().Browsers()) {
        index = std::max(index, record->index);
    }
    if (++index > kMaxBrowserIndex) {
        return kReplyBadCommand;
    }
    // The pane of a destroyed browser is taken over, so that making and destroying browsers
    // again and again leaves the host with as many windows as before.
    HWND pane = nullptr;
    for (BrowserRecord* record : data.browsers) {
        if (!record->window && record->pane) {
            pane = std::exchange(record->pane, nullptr);
            break;
        }
    }
    const BrowserRecord* record = AddBrowserWindow(data, index, pane);
    if (!record) {
        return kReplyNoBrowser;
    }
    Layout(data);
    return index;
}

} // namespace lumivex::browserhost
