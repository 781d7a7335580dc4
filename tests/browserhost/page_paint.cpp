#include "page_paint.h"

#include "support/owners.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumivex::browserhost {

namespace {

int Scale(int value, int zoom) {
    return MulDiv(value, zoom, 100);
}

void DrawLine(HDC dc, const std::wstring& text, int x, int y, int height, int weight,
              COLORREF colour) {
    UniqueFont font(CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
    SelectScope select(dc, font.get());
    SetTextColor(dc, colour);
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

// A 32 x 32 picture made here: colour gradients crossed by a checker pattern.
void DrawPicture(HDC dc, int x, int y, int size) {
    constexpr int kSide = 32;
    std::vector<std::uint32_t> pixels(kSide * kSide);
    for (int row = 0; row < kSide; ++row) {
        for (int column = 0; column < kSide; ++column) {
            const bool dark = ((row / 8) + (column / 8)) % 2 == 0;
            const std::uint32_t red = static_cast<std::uint32_t>(column * 255 / (kSide - 1));
            const std::uint32_t blue = static_cast<std::uint32_t>(row * 255 / (kSide - 1));
            const std::uint32_t green = dark ? 64 : 192;
            pixels[static_cast<size_t>(row * kSide + column)] = (red << 16) | (green << 8) | blue;
        }
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kSide;
    info.bmiHeader.biHeight = -kSide; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x, y, size, size, 0, 0, kSide, kSide, pixels.data(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
}

void DrawShapes(HDC dc, int zoom) {
    UniquePen outline(CreatePen(PS_SOLID, Scale(2, zoom) > 0 ? Scale(2, zoom) : 1, RGB(0, 0, 0)));
    SelectScope pen(dc, outline.get());
    {
        UniqueBrush red(CreateSolidBrush(RGB(220, 40, 40)));
        SelectScope brush(dc, red.get());
        Rectangle(dc, Scale(16, zoom), Scale(90, zoom), Scale(96, zoom), Scale(150, zoom));
    }
    {
        UniqueBrush green(CreateSolidBrush(RGB(40, 170, 60)));
        SelectScope brush(dc, green.get());
        Ellipse(dc, Scale(110, zoom), Scale(90, zoom), Scale(190, zoom), Scale(150, zoom));
    }
    {
        UniqueBrush blue(CreateSolidBrush(RGB(40, 80, 220)));
        SelectScope brush(dc, blue.get());
        const POINT triangle[] = {{Scale(245, zoom), Scale(90, zoom)},
                                  {Scale(285, zoom), Scale(150, zoom)},
                                  {Scale(205, zoom), Scale(150, zoom)}};
        Polygon(dc, triangle, 3);
    }
    DrawPicture(dc, Scale(300, zoom), Scale(90, zoom), Scale(60, zoom));
}

} // namespace

void PaintPage(HDC target, const RECT& client, int index, int zoom) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    // Drawn off-screen first so a repaint at a new zoom never flickers.
    UniqueCreatedDc dc(CreateCompatibleDC(target));
    UniqueBitmap bitmap(CreateCompatibleBitmap(target, width, height));
    if (!dc || !bitmap) {
        return;
    }
    SelectScope selectBitmap(dc.get(), bitmap.get());
    const RECT all = {0, 0, width, height};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc.get(), TRANSPARENT);
    DrawLine(dc.get(), L"Lumivex test page " + std::to_wstring(index), Scale(16, zoom),
             Scale(12, zoom), Scale(22, zoom), FW_BOLD, RGB(20, 20, 120));
    DrawLine(dc.get(), L"Zoom " + std::to_wstring(zoom) + L"%: text and pictures grow together.",
             Scale(16, zoom), Scale(46, zoom), Scale(14, zoom), FW_NORMAL, RGB(0, 0, 0));
    DrawShapes(dc.get(), zoom);
    BitBlt(target, client.left, client.top, width, height, dc.get(), 0, 0, SRCCOPY);
}

} // namespace lumivex::browserhost
