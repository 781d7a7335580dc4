// The running program's product name and version fields, as its version resource gives them.
#pragma once

#include <string>
#include <vector>

namespace lumivex::app {

struct ProgramVersion {
    std::wstring productName;
    std::vector<std::wstring> fields; // of the product version, split at ", "
};

// Empty parts for what the resource lacks.
ProgramVersion ReadProgramVersion();

} // namespace lumivex::app
