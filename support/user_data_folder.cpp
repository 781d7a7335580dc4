#include "support/user_data_folder.h"

#include "support/file_assist.h"
#include "support/lumivex_names.h"

#include <windows.h>

#include <shlobj.h>

namespace lumivex {

bool ShellAppDataFolder(std::wstring& folder) {
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, TRUE)) {
        return false;
    }
    folder = path;
    return true;
}

std::wstring UserDataFolder(const std::wstring& fallback, AppDataLookup lookup) {
    std::wstring appData;
    if (!(lookup ? lookup : &ShellAppDataFolder)(appData) || appData.empty()) {
        // An empty answer would put the folder at the root of the current drive.
        return fallback;
    }
    std::wstring folder = appData + L"\\" + kDataFolderName;
    MakeFolderIfMissing(folder); // a failure is left to the files' own reads and writes
    return folder;
}

} // namespace lumivex
