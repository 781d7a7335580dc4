#include "support/command_line.h"

#include "support/owners.h"

#include <shellapi.h>

namespace lumivex {

std::vector<std::wstring> CommandLineWords(const wchar_t* commandLine) {
    std::vector<std::wstring> words;
    // What the shell makes of a null line is not settled; it has no words.
    if (!commandLine) {
        return words;
    }
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW(commandLine, &count);
    const UniqueLocal owner(reinterpret_cast<HLOCAL>(split));
    for (int i = 0; split && i < count; ++i) {
        words.emplace_back(split[i]);
    }
    return words;
}

std::vector<std::wstring> ParseSwitches(const std::vector<std::wstring>& words) {
    std::vector<std::wstring> switches;
    for (size_t i = 1; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        if (!word.empty() && (word[0] == L'/' || word[0] == L'-')) {
            switches.push_back(word.substr(1));
        }
    }
    return switches;
}

} // namespace lumivex
