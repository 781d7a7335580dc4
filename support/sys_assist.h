// System helpers of the main program: its version strings, the text of a platform error, and the
// splitting of strings.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lumivex {

class CFSysAssist {
public:
    virtual ~CFSysAssist();

    // Reads the product name, internal name and product version from the version resource of
    // `path`, or, when `path` is null, of the file `module` was loaded from, in the first
    // language and code page the resource lists. The outputs are cleared first; on false those
    // found before the first missing one stay set. A path that does not fit into MAX_PATH
    // characters is refused rather than cut.
    bool GetVersionStrings(const wchar_t* path, HMODULE module, std::wstring& productName,
                           std::wstring& internalName, std::wstring& productVersion) const;

    // Stores the calling thread's last error in `errorCode` and returns its system text, or the
    // empty string when the system has none.
    std::wstring GetLastErrorText(DWORD& errorCode) const;

    // Appends the pieces of `text` between occurrences of `delimiter` to `pieces`: two delimiters
    // in a row give an empty piece, a delimiter at the end gives no empty last piece, an empty
    // text gives none. An empty delimiter is never found, so a non-empty text is one piece.
    void SplitString(const std::wstring& text, const std::wstring& delimiter,
                     std::vector<std::wstring>& pieces) const;
};

} // namespace lumivex
