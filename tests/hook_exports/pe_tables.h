// The export and import tables of a PE file, read from its bytes (not through the loader), so
// the test sees what the file itself promises.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lumivex::test {

struct PeExport {
    std::string name;
    std::uint32_t rva = 0;
    bool forwarded = false; // the address points back into the export directory
};

struct PeTables {
    std::uint16_t machine = 0;
    bool is64 = false;
    std::string exportDllName;             // the name the export directory gives itself
    std::uint32_t exportFunctionCount = 0; // entries of the address table, named or not
    std::vector<PeExport> exports;         // named exports, in table order
    std::vector<std::string> imports;      // library names of the import directory
    std::map<std::string, std::vector<std::string>> importedNames; // by library; "#n" by ordinal
    std::vector<std::string> delayImports; // library names of the delay-load directory
};

// Parses `bytes`; false with `error` saying what was wrong when it is no well-formed PE image.
bool ReadPeTables(const std::string& bytes, PeTables& tables, std::string& error);

} // namespace lumivex::test
