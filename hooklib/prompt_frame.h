// The red frame that flashes along a browser window's edge while the first-use prompt is open.
#pragma once

#include <windows.h>

namespace lumivex::hook {

// Ticks on the browser window while the prompt is open; each tick toggles the frame.
inline constexpr UINT_PTR IDT_PROMPT_FLASH = 19999;
inline constexpr UINT kPromptFlashMs = 1000;

// The process-wide pen of the frame (g_hFlashPen): made when a prompt is shown, if missing,
// deleted when the library leaves a live process.
void CreateFlashPen();
void DeleteFlashPen();

// Draws the frame along the window's outer edge with NOT-XOR, so a second draw wipes it.
void DrawFlashFrame(HWND hWnd);

// Repaints the window with its frame and children, which removes a frame still drawn.
void RepaintWindow(HWND hWnd);

} // namespace lumivex::hook
