#include "app/zoom_label.h"

#include "app/app_rules.h"
#include "support/lumivex_names.h"
#include "support/proc_address.h"

namespace lumivex::app {

namespace {

constexpr UINT_PTR kHideTimer = 1;
constexpr UINT kShownMs = 1000;
constexpr BYTE kOpacity = 230;
constexpr int kFontPoints = 14;
constexpr int kPaddingAt96 = 8; // around the text, at 96 dots per inch
constexpr int kMarginAt96 = 12; // below the browser window's top edge
constexpr int kHighestLevel = 100000;
constexpr COLORREF kBackground = RGB(45, 45, 48);
constexpr COLORREF kForeground = RGB(255, 255, 255);
constexpr wchar_t kConfigSection[] = L"Main";
constexpr wchar_t kConfigKey[] = L"ZoomLabel";

// The dots per inch of the monitor the browser window is on (Windows 10 and later), else of the
// screen.
UINT DpiFor(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto forWindow =
        ProcAddress<GetDpiForWindowFn>(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    if (forWindow) {
        if (const UINT dpi = forWindow(window)) {
            return dpi;
        }
    }
    WindowDc screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

} // namespace

bool CZoomLabel::Create(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &CZoomLabel::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kZoomLabelClass;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    // Layered and transparent: clicks go through to the window below; no activation, no
    // taskbar button, above other windows.
    m_window.reset(::CreateWindowExW(
        WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
        kZoomLabelClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this));
    if (!m_window) {
        return false;
    }
    ::SetLayeredWindowAttributes(m_window.get(), 0, kOpacity, LWA_ALPHA);
    return true;
}

void CZoomLabel::SetEnabled(bool on) {
    m_enabled = on;
    if (!on && m_window) {
        ::KillTimer(m_window.get(), kHideTimer);
        ::ShowWindow(m_window.get(), SW_HIDE);
    }
}

LRESULT CALLBACK CZoomLabel::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CZoomLabel*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case kZoomLabelMessage:
        // Any program on the desktop can post this: only a live window and a plausible level
        // are shown.
        if (self && self->m_enabled && ::IsWindow(reinterpret_cast<HWND>(wParam)) && lParam > 0 &&
            lParam <= kHighestLevel) {
            self->Show(reinterpret_cast<HWND>(wParam), static_cast<int>(lParam));
        }
        return 0;
    case WM_TIMER:
        if (wParam == kHideTimer) {
            ::KillTimer(window, kHideTimer);
            ::ShowWindow(window, SW_HIDE);
        }
        return 0;
    case WM_PAINT:
        if (self) {
            self->Paint();
            return 0;
        }
        break;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void CZoomLabel::Show(HWND browser, int level) {
    RECT area = {};
    if (!::GetWindowRect(browser, &area)) {
        return;
    }
    const UINT dpi = DpiFor(browser);
    if (!m_font || m_fontDpi != dpi) {
        m_font.reset(::CreateFontW(-::MulDiv(kFontPoints, static_cast<int>(dpi), 72), 0, 0, 0,
                                   FW_SEMIBOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                   DEFAULT_PITCH | FF_SWISS, L"Segoe UI"));
        m_fontDpi = dpi;
    }
    m_text = ZoomLabelText(level);
    SIZE extent = {};
    {
        WindowDc screen(nullptr);
        SelectScope font(screen.get(), m_font.get());
        ::GetTextExtentPoint32W(screen.get(), m_text.c_str(), static_cast<int>(m_text.size()),
                                &extent);
    }
    const int padding = ::MulDiv(kPaddingAt96, static_cast<int>(dpi), 96);
    const PageBox box = ZoomLabelBoxFor(PageBox{area.left, area.top, area.right, area.bottom},
                                        extent.cx + 3 * padding, extent.cy + padding,
                                        ::MulDiv(kMarginAt96, static_cast<int>(dpi), 96));
    const HWND self = m_window.get();
    ::SetWindowTextW(self, m_text.c_str()); // for accessibility tools and tests
    ::SetWindowPos(self, HWND_TOPMOST, box.left, box.top, box.right - box.left,
                   box.bottom - box.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::InvalidateRect(self, nullptr, TRUE);
    // Each step starts the second again, so a run of steps keeps the label up.
    ::SetTimer(self, kHideTimer, kShownMs, nullptr);
}

void CZoomLabel::Paint() {
    const HWND self = m_window.get();
    PAINTSTRUCT paint = {};
    const HDC dc = ::BeginPaint(self, &paint);
    if (!dc) {
        return;
    }
    RECT client = {};
    ::GetClientRect(self, &client);
    UniqueBrush background(::CreateSolidBrush(kBackground));
    ::FillRect(dc, &client, background.get());
    {
        SelectScope font(dc, m_font.get());
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, kForeground);
        ::DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &client,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    ::EndPaint(self, &paint);
}

bool ReadZoomLabelSetting(const std::wstring& configFile) {
    return ::GetPrivateProfileIntW(kConfigSection, kConfigKey, 1, configFile.c_str()) != 0;
}

void WriteZoomLabelSetting(const std::wstring& configFile, bool on) {
    ::WritePrivateProfileStringW(kConfigSection, kConfigKey, on ? L"1" : L"0", configFile.c_str());
}

} // namespace lumivex::app
