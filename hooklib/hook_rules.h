// Decisions of the hook library that need no window: how a configuration value reads, how a
// program is named, the per-run prompt marker, and how zoom levels step. Kept free of window
// calls so tests drive them directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumivex::hook {

// Profile values are read into buffers of this many characters, terminator included.
inline constexpr std::size_t kConfigValueChars = 64;

// Base-10 reading of a value's leading part: optional blanks, optional sign, digits. A value
// without leading digits reads as 0, so "0", "00" and "no" all read as 0.
long ReadLeadingInteger(std::wstring_view value);

// Whether a "Browsers" value, as read, suppresses the first-use prompt.
bool PromptSuppressedBy(std::wstring_view valueRead);

// Lower-cases only the letters A to Z: the library never changes its host's locale.
std::wstring LowerAsciiLetters(std::wstring_view text);

// File name and extension of a path (what follows the last backslash, slash or colon).
std::wstring FileNameOf(std::wstring_view path);

// "Local\LumivexDllIsAlreadyPrompt_PID_%08X" for a process id.
std::wstring PromptMarkerName(std::uint32_t processId);

// Case-insensitive comparison over the letters A to Z only.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);

// What a key released with Ctrl held does to the zoom.
enum class ZoomAction { None, In, Out, Reset };
ZoomAction ZoomActionForKey(unsigned virtualKey);

// Wheel messages with Ctrl: away from the user zooms in, anything else (0 included) zooms out.
ZoomAction ZoomActionForWheel(std::uintptr_t wParam);

inline constexpr int kZoomStep = 20;
inline constexpr int kZoomDefault = 100;
inline constexpr int kZoomMinDefault = 10;
inline constexpr int kZoomMaxDefault = 1000;

struct ZoomRange {
    int minimum = kZoomMinDefault;
    int maximum = kZoomMaxDefault;
};

// The range packed by the browser: low word the smallest, high word the largest level.
ZoomRange UnpackZoomRange(std::uint32_t packed);

// One step in or out from `level`, clamped to the range.
int StepZoom(int level, ZoomAction action, ZoomRange range);

} // namespace lumivex::hook
