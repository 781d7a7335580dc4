#include "controller/option_archive.h"

#include <algorithm>
#include <cstring>

namespace lumivex {

namespace {

void AppendLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::uint64_t FromLittleEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

} // namespace

std::size_t CMemoryOptionSource::Read(void* buffer, std::size_t size) {
    const std::size_t count = std::min(size, m_bytes.size() - m_offset);
    if (count != 0) {
        std::memcpy(buffer, m_bytes.data() + m_offset, count);
        m_offset += count;
    }
    return count;
}

bool CMemoryOptionSink::Write(const void* data, std::size_t size) {
    m_bytes.append(static_cast<const char*>(data), size);
    return true;
}

bool DecodeLatin1(std::string_view bytes, std::wstring& text) {
    text.assign(bytes.size(), L'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    }
    return true;
}

std::string EncodeStringHeader(std::uint64_t length) {
    std::string out;
    AppendLittleEndian(out, 0xFF, 1);
    AppendLittleEndian(out, 0xFFFE, 2);
    if (length < 0xFF) {
        AppendLittleEndian(out, length, 1);
        return out;
    }
    AppendLittleEndian(out, 0xFF, 1);
    if (length < 0xFFFE) {
        AppendLittleEndian(out, length, 2);
        return out;
    }
    AppendLittleEndian(out, 0xFFFF, 2);
    if (length < 0xFFFFFFFF) {
        AppendLittleEndian(out, length, 4);
        return out;
    }
    AppendLittleEndian(out, 0xFFFFFFFF, 4);
    AppendLittleEndian(out, length, 8);
    return out;
}

std::string EncodeCount(std::uint64_t count) {
    std::string out;
    if (count < 0xFFFF) {
        AppendLittleEndian(out, count, 2);
    } else if (count <= 0xFFFFFFFF) {
        AppendLittleEndian(out, 0xFFFF, 2);
        AppendLittleEndian(out, count, 4);
    }
    return out;
}

COptionArchive::COptionArchive(IOptionSource& source, AnsiDecoder decoder)
    : m_source(&source), m_decoder(std::move(decoder)), m_buffer(kBufferSize) {
    if (!m_decoder) {
        m_decoder = DecodeLatin1;
    }
}

COptionArchive::COptionArchive(IOptionSink& sink) : m_sink(&sink), m_buffer(kBufferSize) {}

bool COptionArchive::Fail() {
    m_failed = true;
    return false;
}

std::uint64_t COptionArchive::Remaining() const {
    if (m_source == nullptr || m_failed) {
        return 0;
    }
    return (m_filled - m_position) + m_source->Remaining();
}

bool COptionArchive::ReadBytes(void* data, std::size_t size) {
    if (m_source == nullptr || m_failed) {
        return Fail();
    }
    auto* out = static_cast<unsigned char*>(data);
    while (size != 0) {
        if (m_position == m_filled) {
            m_position = 0;
            m_filled = m_source->Read(m_buffer.data(), m_buffer.size());
            if (m_filled == 0) {
                return Fail();
            }
        }
        const std::size_t count = std::min(size, m_filled - m_position);
        std::memcpy(out, m_buffer.data() + m_position, count);
        m_position += count;
        out += count;
        size -= count;
    }
    return true;
}

bool COptionArchive::ReadU8(std::uint8_t& value) {
    return ReadBytes(&value, 1);
}

bool COptionArchive::ReadU16(std::uint16_t& value) {
    unsigned char bytes[2];
    if (!ReadBytes(bytes, sizeof bytes)) {
        return false;
    }
    value = static_cast<std::uint16_t>(FromLittleEndian(bytes, 2));
    return true;
}

bool COptionArchive::ReadU32(std::uint32_t& value) {
    unsigned char bytes[4];
    if (!ReadBytes(bytes, sizeof bytes)) {
        return false;
    }
    value = static_cast<std::uint32_t>(FromLittleEndian(bytes, 4));
    return true;
}

bool COptionArchive::ReadU64(std::uint64_t& value) {
    unsigned char bytes[8];
    if (!ReadBytes(bytes, sizeof bytes)) {
        return false;
    }
    value = FromLittleEndian(bytes, 8);
    return true;
}

bool COptionArchive::ReadInt32(std::int32_t& value) {
    std::uint32_t raw = 0;
    if (!ReadU32(raw)) {
        return false;
    }
    value = static_cast<std::int32_t>(raw);
    return true;
}

bool COptionArchive::ReadCount(std::uint32_t& count) {
    std::uint16_t shortCount = 0;
    if (!ReadU16(shortCount)) {
        return false;
    }
    if (shortCount != 0xFFFF) {
        count = shortCount;
        return true;
    }
    return ReadU32(count);
}

// First byte below 0xFF: that many single-byte characters. Otherwise a 16-bit value; 0xFFFE marks
// UTF-16 text whose length starts again with one byte. A 16-bit value of 0xFFFF is followed by
// 32 bits, and 32 bits of 0xFFFFFFFF by 64.
bool COptionArchive::ReadLength(bool& wide, std::uint64_t& length) {
    wide = false;
    std::uint8_t first = 0;
    if (!ReadU8(first)) {
        return false;
    }
    if (first < 0xFF) {
        length = first;
        return true;
    }
    std::uint16_t word = 0;
    if (!ReadU16(word)) {
        return false;
    }
    if (word == 0xFFFE) {
        wide = true;
        if (!ReadU8(first)) {
            return false;
        }
        if (first < 0xFF) {
            length = first;
            return true;
        }
        if (!ReadU16(word)) {
            return false;
        }
    }
    if (word < 0xFFFF) {
        length = word;
        return true;
    }
    std::uint32_t dword = 0;
    if (!ReadU32(dword)) {
        return false;
    }
    if (dword < 0xFFFFFFFF) {
        length = dword;
        return true;
    }
    return ReadU64(length);
}

bool COptionArchive::ReadString(std::wstring& text) {
    bool wide = false;
    std::uint64_t length = 0;
    if (!ReadLength(wide, length)) {
        return false;
    }
    // Checked before anything is allocated: the characters must be in what is left.
    if (length > kMaxStringLength) {
        return Fail();
    }
    const std::uint64_t bytes = wide ? length * 2 : length;
    if (bytes > Remaining()) {
        return Fail();
    }
    const auto count = static_cast<std::size_t>(length);
    if (!wide) {
        std::string narrow(count, '\0');
        if (!ReadBytes(narrow.data(), count)) {
            return false;
        }
        std::wstring decoded;
        if (!m_decoder(narrow, decoded)) {
            return Fail();
        }
        text = std::move(decoded);
        return true;
    }
    std::wstring units(count, L'\0');
    unsigned char chunk[512];
    for (std::size_t done = 0; done < count;) {
        const std::size_t step = std::min(count - done, sizeof chunk / 2);
        if (!ReadBytes(chunk, step * 2)) {
            return false;
        }
        for (std::size_t i = 0; i < step; ++i) {
            units[done + i] = static_cast<wchar_t>(chunk[2 * i] | (chunk[2 * i + 1] << 8));
        }
        done += step;
    }
    text = std::move(units);
    return true;
}

void COptionArchive::WriteBytes(const void* data, std::size_t size) {
    if (m_sink == nullptr || m_failed) {
        m_failed = true;
        return;
    }
    const auto* in = static_cast<const unsigned char*>(data);
    while (size != 0) {
        if (m_position == m_buffer.size()) {
            if (!m_sink->Write(m_buffer.data(), m_position)) {
                m_failed = true;
                return;
            }
            m_position = 0;
        }
        const std::size_t count = std::min(size, m_buffer.size() - m_position);
        std::memcpy(m_buffer.data() + m_position, in, count);
        m_position += count;
        in += count;
        size -= count;
    }
}

void COptionArchive::WriteInt32(std::int32_t value) {
    std::string bytes;
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(value), 4);
    WriteBytes(bytes.data(), bytes.size());
}

void COptionArchive::WriteCount(std::uint64_t count) {
    const std::string bytes = EncodeCount(count);
    if (bytes.empty()) {
        m_failed = true;
        return;
    }
    WriteBytes(bytes.data(), bytes.size());
}

void COptionArchive::WriteString(const std::wstring& text) {
    const std::string header = EncodeStringHeader(text.size());
    WriteBytes(header.data(), header.size());
    unsigned char pair[2];
    for (wchar_t unit : text) {
        const auto value = static_cast<std::uint32_t>(unit);
        pair[0] = static_cast<unsigned char>(value & 0xFF);
        pair[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
        WriteBytes(pair, sizeof pair);
    }
}

bool COptionArchive::Flush() {
    if (m_sink == nullptr || m_failed) {
        return false;
    }
    if (m_position != 0) {
        if (!m_sink->Write(m_buffer.data(), m_position)) {
            m_failed = true;
            return false;
        }
        m_position = 0;
    }
    return true;
}

} // namespace lumivex
