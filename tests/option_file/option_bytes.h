// Hand-built option files for the tests: every byte spelled out, so the reader is checked against
// the format rather than against the writer.
#pragma once

#include "controller/lumivex_option.h"

#include <cstdint>
#include <string>

namespace lumivex::test {

class FileBytes {
public:
    FileBytes& u8(std::uint8_t v) { return le(v, 1); }
    FileBytes& u16(std::uint16_t v) { return le(v, 2); }
    FileBytes& u32(std::uint32_t v) { return le(v, 4); }
    FileBytes& u64(std::uint64_t v) { return le(v, 8); }
    FileBytes& i32(std::int32_t v) { return le(static_cast<std::uint32_t>(v), 4); }
    FileBytes& raw(const std::string& bytes) {
        m_bytes += bytes;
        return *this;
    }
    // Code units only, no length.
    FileBytes& units(const std::wstring& text) {
        for (wchar_t c : text) {
            u16(static_cast<std::uint16_t>(c));
        }
        return *this;
    }
    // The short forms: one length byte, UTF-16 marked or single-byte.
    FileBytes& wide(const std::wstring& text) {
        return u8(0xFF).u16(0xFFFE).u8(static_cast<std::uint8_t>(text.size())).units(text);
    }
    FileBytes& narrow(const std::string& text) {
        return u8(static_cast<std::uint8_t>(text.size())).raw(text);
    }
    // Version, update flag, reserved, tray flag.
    FileBytes& head(std::int32_t version, std::int32_t update, std::int32_t reserved,
                    std::int32_t tray) {
        return i32(version).i32(update).i32(reserved).i32(tray);
    }
    FileBytes& hotKey(std::int32_t first = 1) {
        return i32(first).i32(0).i32(1).i32(0).i32(77).i32(0).i32(0);
    }
    const std::string& str() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

private:
    FileBytes& le(std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i) {
            m_bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
        return *this;
    }
    std::string m_bytes;
};

// The record as the writer puts it into a file.
inline std::string StoreToBytes(CLumivexOption& option) {
    CMemoryOptionSink sink;
    COptionArchive archive(sink);
    option.Serialize(archive);
    archive.Flush();
    return sink.bytes();
}

} // namespace lumivex::test
