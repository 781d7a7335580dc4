// Decisions of the hook library that need no window: how a configuration value reads, how a
// program is named, the per-run prompt marker, and how zoom levels and wheel distances step. Kept
// free of window calls so tests drive them directly.
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
// The signed distance a wheel message carries (its high word).
int WheelDistance(std::uintptr_t wParam);

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

// A program's starting level from its "Zoom" value, as read: a positive number is the level
// (the browser's range limits it later), anything else (missing, 0, negative, no digits) 100.
int DefaultZoomFromValue(std::wstring_view valueRead);
// `level` within the range.
int ClampZoom(int level, ZoomRange range);

// Whether a program's "Label" value, as read, leaves its zoom level shown: a value that reads as
// 0 ("0", "no", "off") hides it, as such values suppress the prompt.
bool LabelShownFor(std::wstring_view valueRead);

// One notch of a classic wheel.
inline constexpr int kWheelDelta = 120;
// A pause this long between wheel messages drops the distance gathered so far.
inline constexpr std::uint32_t kWheelPauseMs = 500;
// No message steps further than across the widest range.
inline constexpr int kMaxWheelSteps = (kZoomMaxDefault - kZoomMinDefault) / kZoomStep + 1;

// The Ctrl+wheel distance of one window, gathered so that high-resolution wheels and touchpad
// pinches (many messages of small distances) zoom one step per kWheelDelta in either direction,
// as a classic wheel's notch does. A turn of direction or a pause drops what was gathered.
class WheelSteps {
public:
    // The steps a message of `distance` at `nowMs` gives: positive in, negative out. A message
    // without distance steps out once, as it always did.
    int Add(int distance, std::uint32_t nowMs);

private:
    int m_gathered = 0;
    std::uint32_t m_lastMs = 0;
};

} // namespace lumivex::hook
