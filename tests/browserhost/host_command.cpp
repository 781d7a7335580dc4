#include "host_command.h"

#include <optional>

namespace lumivex::browserhost {

namespace {

struct VerbSpec {
    const wchar_t* name;
    Verb verb;
    bool needsIndex;
};

constexpr VerbSpec kVerbs[] = {
    {L"ping", Verb::Ping, false},
    {L"focus", Verb::Focus, true},
    {L"focus-frame", Verb::FocusFrame, false},
    {L"destroy", Verb::Destroy, true},
    {L"create", Verb::Create, false},
    {L"initialize", Verb::Initialize, true},
    {L"load", Verb::Load, false},
    {L"freelib", Verb::FreeLib, false},
    {L"mapped", Verb::Mapped, false},
    {L"refs", Verb::Refs, true},
    {L"leak", Verb::Leak, true},
    {L"zoom", Verb::Zoom, true},
    {L"wheel", Verb::Wheel, true},
    {L"wndproc", Verb::WndProc, true},
    {L"subclass", Verb::Subclass, true},
    {L"unsubclass", Verb::Unsubclass, true},
    {L"seen", Verb::Seen, true},
    {L"modal", Verb::Modal, true},
    {L"endmodal", Verb::EndModal, false},
    {L"fault", Verb::Fault, false},
    {L"throw", Verb::Throw, true},
    {L"selftest", Verb::SelfTest, true},
    {L"unexpected", Verb::Unexpected, true},
    {L"quit", Verb::Quit, false},
};

std::vector<std::wstring_view> SplitWords(std::wstring_view text) {
    std::vector<std::wstring_view> words;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == L' ') {
            ++pos;
        }
        size_t end = pos;
        while (end < text.size() && text[end] != L' ') {
            ++end;
        }
        if (end > pos) {
            words.push_back(text.substr(pos, end - pos));
        }
        pos = end;
    }
    return words;
}

std::optional<long long> ParseSigned(std::wstring_view word) {
    bool negative = !word.empty() && word[0] == L'-';
    if (negative) {
        word.remove_prefix(1);
    }
    if (word.empty() || word.size() > 18) {
        return std::nullopt;
    }
    long long value = 0;
    for (wchar_t c : word) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - L'0');
    }
    return negative ? -value : value;
}

// The sender waits for the whole run within its time-out.
constexpr long long kMaxWheelCount = 100000;

} // namespace

CommandResult ParseHostCommand(std::wstring_view text) {
    CommandResult result;
    while (!text.empty() && (text.back() == L'\0' || text.back() == L' ')) {
        text.remove_suffix(1);
    }
    size_t verbEnd = text.find(L' ');
    std::wstring_view verbText = text.substr(0, verbEnd);
    const VerbSpec* spec = nullptr;
    for (const VerbSpec& candidate : kVerbs) {
        if (verbText == candidate.name) {
            spec = &candidate;
        }
    }
    if (!spec) {
        result.error = L"unknown command: " + std::wstring(verbText);
        return result;
    }
    result.command.verb = spec->verb;
    std::wstring_view rest =
        verbEnd == std::wstring_view::npos ? std::wstring_view() : text.substr(verbEnd + 1);
    if (spec->verb == Verb::Load) {
        // The path is the rest of the line, blanks included.
        while (!rest.empty() && rest.front() == L' ') {
            rest.remove_prefix(1);
        }
        if (rest.empty()) {
            result.error = L"load needs a path";
        }
        result.command.path = std::wstring(rest);
        return result;
    }
    std::vector<std::wstring_view> words = SplitWords(rest);
    size_t allowed = spec->needsIndex ? 1 : 0;
    if (spec->verb == Verb::Initialize) {
        allowed = 4;
    } else if (spec->verb == Verb::Wheel) {
        allowed = 2;
    }
    if (words.size() < (spec->needsIndex ? 1u : 0u) || words.size() > allowed) {
        result.error = L"wrong number of arguments for " + std::wstring(verbText);
        return result;
    }
    if (spec->needsIndex) {
        std::optional<long long> index = ParseSigned(words[0]);
        if (!index || *index < 0 || *index > kMaxBrowserIndex) {
            result.error = L"bad browser index: " + std::wstring(words[0]);
            return result;
        }
        result.command.index = static_cast<int>(*index);
    }
    if (spec->verb == Verb::Initialize) {
        if (words.size() != 1 && words.size() != 4) {
            result.error = L"initialize takes an index and optionally three values";
            return result;
        }
        for (size_t i = 1; i < words.size(); ++i) {
            std::optional<long long> value = ParseSigned(words[i]);
            if (!value) {
                result.error = L"bad value: " + std::wstring(words[i]);
                return result;
            }
            result.command.values.push_back(*value);
        }
    }
    if (spec->verb == Verb::Wheel) {
        std::optional<long long> count = words.size() == 2 ? ParseSigned(words[1]) : std::nullopt;
        if (!count || *count < -kMaxWheelCount || *count > kMaxWheelCount) {
            result.error = L"wheel takes an index and a count";
            return result;
        }
        result.command.values.push_back(*count);
    }
    return result;
}

} // namespace lumivex::browserhost
