// Files an installer renamed aside because they were in use when it replaced them.
#pragma once

#include <string>

namespace lumivex::app {

// Deletes the set-aside files in `programFolder` (ending in a backslash); one still in use stays
// for a later start. Returns how many went.
int RemoveSetAsideFiles(const std::wstring& programFolder);

} // namespace lumivex::app
