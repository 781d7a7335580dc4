// The words of a command line and the switches among them, as the main program and the server
// read theirs.
#pragma once

#include <string>
#include <vector>

namespace lumivex {

// The words of `commandLine`, split by the shell's rules; none for a null line or when the shell
// cannot split it.
std::vector<std::wstring> CommandLineWords(const wchar_t* commandLine);

// The switches among `words` (word 0, the program, skipped): every word that starts with a slash
// or a hyphen-minus gives the rest of the word; other words are ignored.
std::vector<std::wstring> ParseSwitches(const std::vector<std::wstring>& words);

} // namespace lumivex
