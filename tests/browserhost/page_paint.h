// The page a browser window shows: text and pictures drawn with GDI at the zoom level, so a
// screenshot shows what a zoom did.
#pragma once

#include <windows.h>

namespace lumivex::browserhost {

void PaintPage(HDC dc, const RECT& client, int index, int zoom);

} // namespace lumivex::browserhost
