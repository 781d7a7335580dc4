#include "app/program_rules.h"

#include <algorithm>
#include <map>

namespace lumivex::app {

using hook::ClampZoom;
using hook::DefaultZoomFromValue;
using hook::LowerAsciiLetters;
using hook::ZoomRange;

namespace {

// The profile functions find keys without regard to case, so "HH.EXE" is hh.exe's line.
ProgramRow* RowFor(std::map<std::wstring, ProgramRow>& rows, std::wstring_view name) {
    if (name.empty()) {
        return nullptr;
    }
    const auto [entry, added] = rows.try_emplace(LowerAsciiLetters(name));
    entry->second.name = entry->first;
    return &entry->second;
}

} // namespace

std::vector<ProgramRow> ProgramRowsFrom(const std::vector<std::wstring>& met,
                                        const std::vector<ProfileEntry>& processes,
                                        const std::vector<ProfileEntry>& zoom,
                                        const std::vector<std::wstring>& otherKeys) {
    std::map<std::wstring, ProgramRow> rows;
    const auto row = [&rows](const std::wstring& name) { return RowFor(rows, name); };
    for (const std::wstring& name : met) {
        row(name);
    }
    for (const std::wstring& name : otherKeys) {
        row(name);
    }
    // The first line of a key is the one the library reads.
    std::map<std::wstring, bool> seen;
    for (const auto& [name, value] : processes) {
        if (ProgramRow* program = row(name); program && !seen[program->name]) {
            seen[program->name] = true;
            program->zoomed = value.empty();
        }
    }
    seen.clear();
    for (const auto& [name, value] : zoom) {
        if (ProgramRow* program = row(name); program && !seen[program->name]) {
            seen[program->name] = true;
            program->startLevel = ClampZoom(DefaultZoomFromValue(value), ZoomRange{});
        }
    }
    std::vector<ProgramRow> sorted;
    sorted.reserve(rows.size());
    for (auto& [name, program] : rows) {
        sorted.push_back(std::move(program));
    }
    return sorted;
}

std::vector<std::wstring> KeysFromList(std::wstring_view list) {
    std::vector<std::wstring> keys;
    size_t start = 0;
    while (start < list.size() && list[start] != L'\0') {
        const size_t end = list.find(L'\0', start);
        if (end == std::wstring_view::npos) {
            break; // cut short: the name is not whole
        }
        keys.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return keys;
}

std::optional<int> StartLevelFromTyped(std::wstring_view typed) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!typed.empty() && blank(typed.front())) {
        typed.remove_prefix(1);
    }
    while (!typed.empty() && blank(typed.back())) {
        typed.remove_suffix(1);
    }
    if (typed.empty()) {
        return hook::kZoomDefault;
    }
    if (typed.back() == L'%') {
        typed.remove_suffix(1);
        while (!typed.empty() && blank(typed.back())) {
            typed.remove_suffix(1);
        }
        if (typed.empty()) {
            return std::nullopt; // a sign without a number
        }
    }
    if (!std::all_of(typed.begin(), typed.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        return std::nullopt;
    }
    // Read as the library reads values, which saturates instead of overflowing.
    return ClampZoom(static_cast<int>(hook::ReadLeadingInteger(typed)), ZoomRange{});
}

std::wstring ZoomValueFor(int level) {
    return level == hook::kZoomDefault ? std::wstring() : std::to_wstring(level);
}

std::wstring ProgramNameOf(std::wstring_view executablePath) {
    return LowerAsciiLetters(hook::FileNameOf(executablePath));
}

} // namespace lumivex::app
