#include "support/file_assist.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace lumivex {

std::optional<std::wstring> JoinWithin(std::wstring_view folder, std::wstring_view name,
                                       std::size_t capacity) {
    if (capacity == 0 || folder.size() >= capacity || name.size() >= capacity - folder.size()) {
        return std::nullopt;
    }
    std::wstring path;
    path.reserve(folder.size() + name.size());
    path.append(folder);
    path.append(name);
    return path;
}

bool MakeFolderIfMissing(const std::wstring& folder) {
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return true;
    }
    return ::CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
}

CFFileAssist::~CFFileAssist() = default;

std::wstring CFFileAssist::SplitPath(const wchar_t* path, DWORD parts) const {
    if (path == nullptr || *path == L'\0') {
        return std::wstring();
    }
    // Every buffer holds the whole path, so the splitter never runs out of room (which would end
    // in the runtime's invalid-parameter handler); the part limit is checked afterwards.
    const size_t chars = std::max(kSplitPartChars, std::wcslen(path) + 1);
    std::vector<wchar_t> drive(chars), dir(chars), name(chars), ext(chars);
    if (_wsplitpath_s(path, drive.data(), chars, dir.data(), chars, name.data(), chars, ext.data(),
                      chars) != 0) {
        return std::wstring();
    }
    const wchar_t* found[] = {drive.data(), dir.data(), name.data(), ext.data()};
    const DWORD flags[] = {SPLIT_DRIVE, SPLIT_DIR, SPLIT_NAME, SPLIT_EXT};
    std::wstring result;
    for (int i = 0; i < 4; ++i) {
        const size_t length = std::wcslen(found[i]);
        if (length >= kSplitPartChars) {
            return std::wstring();
        }
        if (parts & flags[i]) {
            result.append(found[i], length);
        }
    }
    return result;
}

} // namespace lumivex
