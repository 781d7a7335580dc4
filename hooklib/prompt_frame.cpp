#include "hooklib/prompt_frame.h"

#include "support/owners.h"

namespace lumivex::hook {

HPEN MakeFlashPen() {
    return ::CreatePen(PS_SOLID, 5, RGB(255, 0, 0));
}

void DrawFlashFrame(HWND hWnd, HPEN pen) {
    if (!pen) {
        return;
    }
    RECT rect = {};
    ::GetWindowRect(hWnd, &rect);
    WindowDc dc(hWnd, true);
    if (!dc.get()) {
        return;
    }
    SelectScope selectedPen(dc.get(), pen);
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
