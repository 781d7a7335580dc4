#include "hooklib/hook_rules.h"

#include <algorithm>

namespace lumivex::hook {

namespace {

constexpr wchar_t ToLowerAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c;
}

constexpr bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

} // namespace

long ReadLeadingInteger(std::wstring_view value) {
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == L'+' || value[i] == L'-')) {
        negative = value[i] == L'-';
        ++i;
    }
    // Saturate instead of overflowing; only zero against non-zero matters to callers.
    constexpr long limit = 0x7FFFFFFF;
    long result = 0;
    for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i) {
        long digit = value[i] - L'0';
        result = (result > (limit - digit) / 10) ? limit : result * 10 + digit;
    }
    return negative ? -result : result;
}

bool PromptSuppressedBy(std::wstring_view valueRead) {
    return !valueRead.empty() && ReadLeadingInteger(valueRead) == 0;
}

std::wstring LowerAsciiLetters(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        c = ToLowerAscii(c);
    }
    return lower;
}

std::wstring FileNameOf(std::wstring_view path) {
    std::size_t slash = path.find_last_of(L"\\/:");
    return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

std::wstring PromptMarkerName(std::uint32_t processId) {
    // "%08X" by hand: the runtime's formatter would add tens of kilobytes to the library.
    std::wstring name(L"Local\\LumivexDllIsAlreadyPrompt_PID_");
    for (int shift = 28; shift >= 0; shift -= 4) {
        name += L"0123456789ABCDEF"[(processId >> shift) & 0xF];
    }
    return name;
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

ZoomAction ZoomActionForKey(unsigned virtualKey) {
    switch (virtualKey) {
    case 0x30: // 0 on the main keyboard
    case 0x60: // VK_NUMPAD0
        return ZoomAction::Reset;
    case 0x6B: // VK_ADD
    case 0xBB: // VK_OEM_PLUS
        return ZoomAction::In;
    case 0x6D: // VK_SUBTRACT
    case 0xBD: // VK_OEM_MINUS
        return ZoomAction::Out;
    default:
        return ZoomAction::None;
    }
}

ZoomAction ZoomActionForWheel(std::uintptr_t wParam) {
    constexpr unsigned kMkControl = 0x0008;
    if (!(wParam & kMkControl)) {
        return ZoomAction::None;
    }
    return WheelDistance(wParam) > 0 ? ZoomAction::In : ZoomAction::Out;
}

int DefaultZoomFromValue(std::wstring_view valueRead) {
    // Far above any browser's range, and far from overflowing an int.
    constexpr long kHighest = 100000;
    const long level = ReadLeadingInteger(valueRead);
    if (level <= 0) {
        return kZoomDefault;
    }
    return static_cast<int>(level > kHighest ? kHighest : level);
}

bool LabelShownFor(std::wstring_view valueRead) {
    return !PromptSuppressedBy(valueRead); // the same reading of "off"
}

int ClampZoom(int level, ZoomRange range) {
    return level > range.maximum ? range.maximum : (level < range.minimum ? range.minimum : level);
}

int WheelDistance(std::uintptr_t wParam) {
    return static_cast<std::int16_t>((wParam >> 16) & 0xFFFF);
}

int WheelSteps::Add(int distance, std::uint32_t nowMs) {
    // Unsigned difference: right across the tick count's wrap.
    const bool paused = nowMs - m_lastMs >= kWheelPauseMs;
    const bool turned = (m_gathered > 0 && distance < 0) || (m_gathered < 0 && distance > 0);
    m_lastMs = nowMs;
    if (paused || turned || distance == 0) {
        m_gathered = 0;
    }
    if (distance == 0) {
        return -1;
    }
    m_gathered += distance;
    const int steps = m_gathered / kWheelDelta;
    m_gathered -= steps * kWheelDelta;
    return std::clamp(steps, -kMaxWheelSteps, kMaxWheelSteps);
}

ZoomRange UnpackZoomRange(std::uint32_t packed) {
    return ZoomRange{static_cast<int>(packed & 0xFFFF), static_cast<int>(packed >> 16)};
}

int StepZoom(int level, ZoomAction action, ZoomRange range) {
    switch (action) {
    case ZoomAction::In:
        level += kZoomStep;
        return level > range.maximum ? range.maximum : level;
    case ZoomAction::Out:
        level -= kZoomStep;
        return level < range.minimum ? range.minimum : level;
    case ZoomAction::Reset:
        return kZoomDefault;
    case ZoomAction::None:
        break;
    }
    return level;
}

} // namespace lumivex::hook
