#include "app/set_aside_files.h"

#include "app/app_rules.h"
#include "support/lumivex_names.h"
#include "support/owners.h"

#include <windows.h>

#include <vector>

namespace lumivex::app {

int RemoveSetAsideFiles(const std::wstring& programFolder) {
    if (programFolder.empty()) {
        return 0;
    }
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const std::wstring pattern = programFolder + L"*" + kSetAsideSuffix;
    {
        UniqueFind search(::FindFirstFileW(pattern.c_str(), &found));
        if (!search) {
            return 0;
        }
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                IsSetAsideFileName(found.cFileName)) {
                names.emplace_back(found.cFileName);
            }
        } while (::FindNextFileW(search.get(), &found));
    }
    int removed = 0;
    for (const std::wstring& name : names) {
        removed += ::DeleteFileW((programFolder + name).c_str()) ? 1 : 0;
    }
    return removed;
}

} // namespace lumivex::app
