// The red frame that flashes along a browser window's edge while the first-use prompt is open.
#pragma once

#include <windows.h>

namespace lumivex::hook {

// Ticks on the browser window while the prompt is open; each tick toggles the frame.
inline constexpr UINT_PTR IDT_PROMPT_FLASH = 19999;
inline constexpr UINT kPromptFlashMs = 1000;

// The frame's pen: solid, 5 pixels, pure red; the caller owns it.
HPEN MakeFlashPen();

// Draws the frame along the window's outer edge with NOT-XOR, so a second draw wipes it; nothing
// without a pen.
void DrawFlashFrame(HWND hWnd, HPEN pen);

// Repaints the window with its frame and children, which removes a frame still drawn.
void RepaintWindow(HWND hWnd);

} // namespace lumivex::hook
