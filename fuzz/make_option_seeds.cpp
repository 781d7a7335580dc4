// Writes the seed files of the option reader's fuzzing into the folder given as the argument:
// the default file, old and new versions, and one file per string and count form.
#include "tests/option_file/option_bytes.h"

#include <cstdio>
#include <string>

namespace {

using lumivex::test::FileBytes;

bool Save(const std::string& dir, const char* name, const std::string& bytes) {
    const std::string path = dir + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// One entry whose key has the given bytes.
std::string WithKey(const FileBytes& key) {
    return FileBytes().head(4, 1, 1, 1).u16(1).raw(key.str()).wide(L"v.exe").hotKey().str();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    lumivex::CLumivexOption defaults;
    lumivex::CLumivexOption extra;
    extra.m_mapBrowsers[L"reader.exe"] = L"reader.exe";
    extra.m_mapBrowsers[std::wstring(300, L'w')] = L"long";
    const std::string defaultFile = lumivex::test::StoreToBytes(defaults);

    const struct {
        const char* name;
        std::string bytes;
    } seeds[] = {
        {"default.bin", defaultFile},
        {"version4_extra.bin", lumivex::test::StoreToBytes(extra)},
        {"version3.bin", FileBytes()
                             .head(3, 0, 1, 1)
                             .u16(2)
                             .wide(L"myreader.exe")
                             .wide(L"myreader.exe")
                             .narrow("iexplore.exe")
                             .narrow("iexplore.exe")
                             .hotKey()
                             .str()},
        {"count0.bin", FileBytes().head(4, 0, 1, 1).u16(0).hotKey().str()},
        {"count32.bin", FileBytes()
                            .head(4, 0, 1, 1)
                            .u16(0xFFFF)
                            .u32(1)
                            .wide(L"a.exe")
                            .wide(L"a.exe")
                            .hotKey()
                            .str()},
        {"cut_in_map.bin", defaultFile.substr(0, 100)},
        {"narrow8.bin", WithKey(FileBytes().narrow("caf\xE9.exe"))},
        {"narrow16.bin", WithKey(FileBytes().u8(0xFF).u16(5).raw("a.exe"))},
        {"narrow32.bin", WithKey(FileBytes().u8(0xFF).u16(0xFFFF).u32(5).raw("a.exe"))},
        {"narrow64.bin",
         WithKey(FileBytes().u8(0xFF).u16(0xFFFF).u32(0xFFFFFFFF).u64(5).raw("a.exe"))},
        {"wide16.bin", WithKey(FileBytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(5).units(L"a.exe"))},
        {"wide32.bin",
         WithKey(FileBytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).u32(5).units(L"a.exe"))},
        {"wide64.bin", WithKey(FileBytes()
                                   .u8(0xFF)
                                   .u16(0xFFFE)
                                   .u8(0xFF)
                                   .u16(0xFFFF)
                                   .u32(0xFFFFFFFF)
                                   .u64(5)
                                   .units(L"a.exe"))},
    };
    for (const auto& seed : seeds) {
        if (!Save(dir, seed.name, seed.bytes)) {
            std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), seed.name);
            return 1;
        }
    }
    return 0;
}
