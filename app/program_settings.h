// The programs page's files: browsers.ini, which the hook library reads in every program, and the
// list of programs met, which only the main program keeps (in Config.ini).
#pragma once

#include "app/program_rules.h"

#include <string>
#include <vector>

namespace lumivex::app {

// The rows of the page from both files and `alsoMet`; an empty path reads as a file without
// entries.
std::vector<ProgramRow> ReadProgramRows(const std::wstring& browsersIni,
                                        const std::wstring& configIni,
                                        const std::vector<std::wstring>& alsoMet = {});

// Zoomed: the program's "Processes" key goes; not: it gets "0", as the system writes it.
bool WriteZoomed(const std::wstring& browsersIni, const std::wstring& name, bool zoomed);
// The program's "Zoom" line for `level` (none for 100).
bool WriteStartLevel(const std::wstring& browsersIni, const std::wstring& name, int level);

// Adds a program to the list of those met; false when it was there already or cannot be kept.
bool RememberMetProgram(const std::wstring& configIni, const std::wstring& name);

} // namespace lumivex::app
