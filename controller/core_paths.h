// The hook controller's names and path rules, free of the Windows headers so tests drive them
// directly.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumivex {

// Buffer sizes the controller composes its paths in, terminating zero included.
constexpr std::size_t kProgramPathChars = 260; // the program's own file name
constexpr std::size_t kLibraryPathChars = 260; // the 32-bit hook library
constexpr std::size_t kServerPathChars = 256;  // the 64-bit hook server

constexpr wchar_t kHookLibraryName[] = L"LumivexDll.dll";
constexpr wchar_t kServerProgramName[] = L"LumivexServer.exe";
constexpr wchar_t kDataFolderName[] = L"Lumivex";
constexpr wchar_t kBrowsersIniName[] = L"browsers.ini";
constexpr wchar_t kProcessesSection[] = L"Processes";

// Programs a first run excludes from zoom, in the order they are written.
constexpr const wchar_t* kDefaultExcludedPrograms[] = {
    L"iexplore.exe", L"maxthon.exe",      L"avant.exe",   L"deepnet.exe",
    L"sbrowser.exe", L"greenbrowser.exe", L"outlook.exe",
};

// `folder` directly followed by `name` when the whole fits into a buffer of `capacity` wide
// characters with its terminating zero; nothing otherwise. A path that does not fit is refused,
// never cut: a cut path would name some other file.
std::optional<std::wstring> JoinWithin(std::wstring_view folder, std::wstring_view name,
                                       std::size_t capacity);

} // namespace lumivex
