// Path helpers. Kept free of everything but the C runtime and the Windows types, because the hook
// library, which lives inside other programs, carries this file too.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumivex {

// Parts of a path for SplitPath, combined with "or".
constexpr DWORD SPLIT_DRIVE = 1; // drive letter and colon
constexpr DWORD SPLIT_DIR = 2;   // folder, with its leading and trailing backslash
constexpr DWORD SPLIT_NAME = 4;  // file name without extension
constexpr DWORD SPLIT_EXT = 8;   // extension with its point

// Longest part SplitPath takes, terminating null included.
constexpr size_t kSplitPartChars = 800;

// `folder` directly followed by `name` when the whole fits into a buffer of `capacity` wide
// characters with its terminating zero; nothing otherwise. A path that does not fit is refused,
// never cut: a cut path would name some other file.
std::optional<std::wstring> JoinWithin(std::wstring_view folder, std::wstring_view name,
                                       std::size_t capacity);

// True when `folder` is a folder, made now (one level) if it was missing.
bool MakeFolderIfMissing(const std::wstring& folder);

class CFFileAssist {
public:
    virtual ~CFFileAssist();

    // The chosen parts of `path` as the runtime's splitter finds them, always in the order drive,
    // folder, name, extension. Empty for a null or empty path, and for a path with a part that
    // does not fit into kSplitPartChars.
    std::wstring SplitPath(const wchar_t* path, DWORD parts) const;
    std::wstring SplitPath(const std::wstring& path, DWORD parts) const {
        return SplitPath(path.c_str(), parts);
    }
};

} // namespace lumivex
