#include "pe_tables.h"

#include <windows.h>

#include <cstring>

namespace lumivex::test {

namespace {

// Bounds-checked reads of the file and its virtual addresses.
class PeFile {
public:
    explicit PeFile(const std::string& bytes) : m_bytes(bytes) {}

    template <class T> bool Read(std::size_t offset, T& value) const {
        if (offset > m_bytes.size() || m_bytes.size() - offset < sizeof(T)) {
            return false;
        }
        std::memcpy(&value, m_bytes.data() + offset, sizeof(T));
        return true;
    }

    void SetSections(std::vector<IMAGE_SECTION_HEADER> sections) {
        m_sections = std::move(sections);
    }

    // File offset of a virtual address, or false when no section holds it.
    bool Offset(std::uint32_t rva, std::size_t& offset) const {
        for (const IMAGE_SECTION_HEADER& s : m_sections) {
            const std::uint32_t size = s.Misc.VirtualSize ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size &&
                rva - s.VirtualAddress < s.SizeOfRawData) {
                offset = s.PointerToRawData + (rva - s.VirtualAddress);
                return offset < m_bytes.size();
            }
        }
        return false;
    }

    template <class T> bool ReadAt(std::uint32_t rva, T& value) const {
        std::size_t offset = 0;
        return Offset(rva, offset) && Read(offset, value);
    }

    bool String(std::uint32_t rva, std::string& text) const {
        std::size_t offset = 0;
        if (!Offset(rva, offset)) {
            return false;
        }
        const std::size_t end = m_bytes.find('\0', offset);
        if (end == std::string::npos || end - offset > 4096) {
            return false;
        }
        text = m_bytes.substr(offset, end - offset);
        return true;
    }

private:
    const std::string& m_bytes;
    std::vector<IMAGE_SECTION_HEADER> m_sections;
};

bool ReadExports(const PeFile& file, const IMAGE_DATA_DIRECTORY& directory, PeTables& tables,
                 std::string& error) {
    if (directory.VirtualAddress == 0) {
        return true;
    }
    IMAGE_EXPORT_DIRECTORY exports = {};
    if (!file.ReadAt(directory.VirtualAddress, exports) ||
        !file.String(exports.Name, tables.exportDllName)) {
        error = "export directory unreadable";
        return false;
    }
    tables.exportFunctionCount = exports.NumberOfFunctions;
    for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
        DWORD nameRva = 0;
        WORD ordinal = 0;
        DWORD functionRva = 0;
        PeExport entry;
        if (!file.ReadAt(exports.AddressOfNames + 4 * i, nameRva) ||
            !file.ReadAt(exports.AddressOfNameOrdinals + 2 * i, ordinal) ||
            ordinal >= exports.NumberOfFunctions ||
            !file.ReadAt(exports.AddressOfFunctions + 4 * ordinal, functionRva) ||
            !file.String(nameRva, entry.name)) {
            error = "export " + std::to_string(i) + " unreadable";
            return false;
        }
        entry.rva = functionRva;
        entry.forwarded = functionRva >= directory.VirtualAddress &&
                          functionRva - directory.VirtualAddress < directory.Size;
        tables.exports.push_back(entry);
    }
    return true;
}

template <class Thunk>
bool ReadImportedNames(const PeFile& file, std::uint32_t thunkRva,
                       std::vector<std::string>& names) {
    constexpr Thunk kOrdinalFlag = Thunk(1) << (sizeof(Thunk) * 8 - 1);
    for (std::uint32_t rva = thunkRva;; rva += sizeof(Thunk)) {
        Thunk thunk = 0;
        if (!file.ReadAt(rva, thunk)) {
            return false;
        }
        if (thunk == 0) {
            return true;
        }
        if (thunk & kOrdinalFlag) {
            std::string ordinal = "#";
            ordinal += std::to_string(static_cast<unsigned>(thunk & 0xFFFF));
            names.push_back(ordinal);
            continue;
        }
        std::string name;
        if (!file.String(static_cast<std::uint32_t>(thunk) + 2, name)) { // after the hint
            return false;
        }
        names.push_back(name);
    }
}

bool ReadImports(const PeFile& file, const IMAGE_DATA_DIRECTORY& directory, PeTables& tables,
                 std::string& error) {
    for (std::uint32_t rva = directory.VirtualAddress; rva != 0;
         rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor = {};
        if (!file.ReadAt(rva, descriptor)) {
            error = "import directory unreadable";
            return false;
        }
        if (descriptor.Name == 0) {
            return true;
        }
        std::string library;
        if (!file.String(descriptor.Name, library)) {
            error = "import library name unreadable";
            return false;
        }
        tables.imports.push_back(library);
        const std::uint32_t thunks =
            descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        std::vector<std::string>& names = tables.importedNames[library];
        const bool read = tables.is64 ? ReadImportedNames<std::uint64_t>(file, thunks, names)
                                      : ReadImportedNames<std::uint32_t>(file, thunks, names);
        if (!read) {
            error = "imported names of " + library + " unreadable";
            return false;
        }
    }
    return true;
}

bool ReadDelayImports(const PeFile& file, const IMAGE_DATA_DIRECTORY& directory, PeTables& tables,
                      std::string& error) {
    for (std::uint32_t rva = directory.VirtualAddress; rva != 0;
         rva += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
        IMAGE_DELAYLOAD_DESCRIPTOR descriptor = {};
        if (!file.ReadAt(rva, descriptor)) {
            error = "delay-load directory unreadable";
            return false;
        }
        if (descriptor.DllNameRVA == 0) {
            return true;
        }
        std::string library;
        if (!file.String(descriptor.DllNameRVA, library)) {
            error = "delay-load library name unreadable";
            return false;
        }
        tables.delayImports.push_back(library);
    }
    return true;
}

} // namespace

bool ReadPeTables(const std::string& bytes, PeTables& tables, std::string& error) {
    tables = PeTables();
    PeFile file(bytes);
    IMAGE_DOS_HEADER dos = {};
    DWORD signature = 0;
    IMAGE_FILE_HEADER header = {};
    if (!file.Read(0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !file.Read(dos.e_lfanew, signature) || signature != IMAGE_NT_SIGNATURE ||
        !file.Read(dos.e_lfanew + 4, header)) {
        error = "no PE header";
        return false;
    }
    tables.machine = header.Machine;
    const std::size_t optional = dos.e_lfanew + 4 + sizeof header;
    WORD magic = 0;
    if (!file.Read(optional, magic)) {
        error = "no optional header";
        return false;
    }
    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    DWORD directoryCount = 0;
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        IMAGE_OPTIONAL_HEADER64 image = {};
        if (!file.Read(optional, image)) {
            error = "64-bit optional header cut short";
            return false;
        }
        tables.is64 = true;
        directoryCount = image.NumberOfRvaAndSizes;
        std::memcpy(directories, image.DataDirectory, sizeof directories);
    } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        IMAGE_OPTIONAL_HEADER32 image = {};
        if (!file.Read(optional, image)) {
            error = "32-bit optional header cut short";
            return false;
        }
        directoryCount = image.NumberOfRvaAndSizes;
        std::memcpy(directories, image.DataDirectory, sizeof directories);
    } else {
        error = "unknown optional header magic " + std::to_string(magic);
        return false;
    }
    for (DWORD i = directoryCount; i < IMAGE_NUMBEROF_DIRECTORY_ENTRIES; ++i) {
        directories[i] = IMAGE_DATA_DIRECTORY{};
    }
    std::vector<IMAGE_SECTION_HEADER> sections(header.NumberOfSections);
    const std::size_t sectionTable = optional + header.SizeOfOptionalHeader;
    for (WORD i = 0; i < header.NumberOfSections; ++i) {
        if (!file.Read(sectionTable + i * sizeof(IMAGE_SECTION_HEADER), sections[i])) {
            error = "section table cut short";
            return false;
        }
    }
    file.SetSections(std::move(sections));
    return ReadExports(file, directories[IMAGE_DIRECTORY_ENTRY_EXPORT], tables, error) &&
           ReadImports(file, directories[IMAGE_DIRECTORY_ENTRY_IMPORT], tables, error) &&
           ReadDelayImports(file, directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT], tables, error);
}

} // namespace lumivex::test
