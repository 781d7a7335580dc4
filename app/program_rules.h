// Rules of the programs page that need no window: which programs it lists, how a row reads from
// browsers.ini, and how a typed starting level is taken. Driven directly by tests.
#pragma once

#include "hooklib/hook_rules.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumivex::app {

// One program as the page shows it.
struct ProgramRow {
    std::wstring name;                   // lower-case file name of its executable
    bool zoomed = true;                  // not excluded in "Processes"
    int startLevel = hook::kZoomDefault; // its "Zoom" value as the library reads it, in 10..1000
    bool operator==(const ProgramRow&) const = default;
};

// Key and value of one profile entry, as read.
using ProfileEntry = std::pair<std::wstring, std::wstring>;

// What the page lists: every program met and every key of the sections given (names compared
// and shown in lower case, each once, sorted), read with the library's own rules: zoomed unless
// "Processes" holds a non-empty value, starting where "Zoom" says.
std::vector<ProgramRow> ProgramRowsFrom(const std::vector<std::wstring>& met,
                                        const std::vector<ProfileEntry>& processes,
                                        const std::vector<ProfileEntry>& zoom,
                                        const std::vector<std::wstring>& otherKeys);

// The keys of a profile section as the platform lists them: names ended by a zero each, the list
// by one more. A list cut short by its buffer loses only its last, incomplete name.
std::vector<std::wstring> KeysFromList(std::wstring_view list);

// A starting level as typed: blanks and a "%" after the number allowed, brought within 10 to 1000;
// nothing typed is 100. Anything else is no level.
std::optional<int> StartLevelFromTyped(std::wstring_view typed);

// The "Zoom" value to write for a level: empty (the key goes) for 100, which is what no key
// means, else the number.
std::wstring ZoomValueFor(int level);

// The program name the library uses for an executable's path: its file name, letters A to Z
// lower-cased.
std::wstring ProgramNameOf(std::wstring_view executablePath);

} // namespace lumivex::app
