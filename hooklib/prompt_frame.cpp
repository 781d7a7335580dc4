#include "hooklib/prompt_frame.h"

#include "support/owners.h"

namespace lumivex::hook {

namespace {

UniquePen g_hFlashPen;

// GetWindowDC's context, frame included, given back to its window.
class FrameDc {
public:
    explicit FrameDc(HWND window) noexcept : m_window(window), m_dc(::GetWindowDC(window)) {}
    ~FrameDc() {
        if (m_dc) {
            ::ReleaseDC(m_window, m_dc);
        }
    }
    FrameDc(const FrameDc&) = delete;
    FrameDc& operator=(const FrameDc&) = delete;
    HDC get() const noexcept { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

} // namespace

void CreateFlashPen() {
    if (!g_hFlashPen) {
        g_hFlashPen.reset(::CreatePen(PS_SOLID, 5, RGB(255, 0, 0)));
    }
}

void DeleteFlashPen() {
    g_hFlashPen.reset();
}

void DrawFlashFrame(HWND hWnd) {
    RECT rect = {};
    ::GetWindowRect(hWnd, &rect);
    FrameDc dc(hWnd);
    if (!dc.get() || !g_hFlashPen) {
        return;
    }
    SelectScope pen(dc.get(), g_hFlashPen.get());
    SelectScope brush(dc.get(), ::GetStockObject(NULL_BRUSH));
    const int previousMix = ::SetROP2(dc.get(), R2_NOTXORPEN);
    ::Rectangle(dc.get(), 0, 0, rect.right - rect.left, rect.bottom - rect.top);
    if (previousMix) {
        ::SetROP2(dc.get(), previousMix);
    }
}

void RepaintWindow(HWND hWnd) {
    ::InvalidateRect(hWnd, nullptr, TRUE);
    ::UpdateWindow(hWnd);
    ::RedrawWindow(hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
}

} // namespace lumivex::hook
