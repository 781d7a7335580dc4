// The archive stream of the option file: little-endian integers and length-prefixed strings over
// a 4096-byte buffer, in one direction per archive. Free of the Windows headers: the bytes come
// from an IOptionSource or go to an IOptionSink, and single-byte text is widened by a decoder the
// caller passes in, so the same code runs natively (fuzzing) and in the program.
//
// Failures are sticky: after the first one every read returns false and every write is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumivex {

class IOptionSource {
public:
    virtual ~IOptionSource() = default;
    // Copies up to `size` bytes into `buffer`; the count copied, 0 at the end or on failure.
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    // Bytes not yet read, as far as the source knows (a file's size less what was read).
    virtual std::uint64_t Remaining() const = 0;
};

class IOptionSink {
public:
    virtual ~IOptionSink() = default;
    // Takes all `size` bytes or fails.
    virtual bool Write(const void* data, std::size_t size) = 0;
};

// Bytes held in memory; the view must outlive the source.
class CMemoryOptionSource final : public IOptionSource {
public:
    explicit CMemoryOptionSource(std::string_view bytes) : m_bytes(bytes) {}
    std::size_t Read(void* buffer, std::size_t size) override;
    std::uint64_t Remaining() const override { return m_bytes.size() - m_offset; }

private:
    std::string_view m_bytes;
    std::size_t m_offset = 0;
};

class CMemoryOptionSink final : public IOptionSink {
public:
    bool Write(const void* data, std::size_t size) override;
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// Widens text of the system's single-byte (ANSI) code page; false when it cannot be converted.
using AnsiDecoder = std::function<bool(std::string_view bytes, std::wstring& text)>;

// Each byte becomes the character of the same number (ISO 8859-1); the native builds use it.
bool DecodeLatin1(std::string_view bytes, std::wstring& text);

// Strings longer than this are refused when read, whatever form their length takes.
constexpr std::uint64_t kMaxStringLength = 0x7FFFFFFF;

// What is written before the code units of a UTF-16 string of `length` code units: the mark
// 0xFF 0xFFFE, then the length in the shortest form that holds it.
std::string EncodeStringHeader(std::uint64_t length);

// What is written for an entry count: 16 bits below 0xFFFF, else 0xFFFF and 32 bits.
// Counts above 0xFFFFFFFF cannot be written; the result is then empty.
std::string EncodeCount(std::uint64_t count);

class COptionArchive {
public:
    static constexpr std::size_t kBufferSize = 4096;

    // A loading archive. `decoder` widens single-byte strings; empty means DecodeLatin1.
    COptionArchive(IOptionSource& source, AnsiDecoder decoder);
    // A storing archive; nothing reaches the sink before the buffer is full or Flush is called.
    explicit COptionArchive(IOptionSink& sink);

    COptionArchive(const COptionArchive&) = delete;
    COptionArchive& operator=(const COptionArchive&) = delete;

    bool IsStoring() const { return m_sink != nullptr; }
    bool Failed() const { return m_failed; }

    // Loading. False at the end of the data, on a format error, or after an earlier failure.
    bool ReadInt32(std::int32_t& value);
    bool ReadCount(std::uint32_t& count);
    bool ReadString(std::wstring& text);
    // Bytes left to read: the buffered ones and what the source still holds.
    std::uint64_t Remaining() const;

    // Storing. Each wchar_t is one UTF-16 code unit.
    void WriteInt32(std::int32_t value);
    void WriteCount(std::uint64_t count);
    void WriteString(const std::wstring& text);
    // Hands the buffered bytes to the sink; true when every write so far succeeded.
    bool Flush();

private:
    bool Fail();
    bool ReadBytes(void* data, std::size_t size);
    bool ReadU8(std::uint8_t& value);
    bool ReadU16(std::uint16_t& value);
    bool ReadU32(std::uint32_t& value);
    bool ReadU64(std::uint64_t& value);
    bool ReadLength(bool& wide, std::uint64_t& length);
    void WriteBytes(const void* data, std::size_t size);

    IOptionSource* m_source = nullptr;
    IOptionSink* m_sink = nullptr;
    AnsiDecoder m_decoder;
    std::vector<unsigned char> m_buffer;
    std::size_t m_position = 0; // loading: next byte to hand out; storing: bytes buffered
    std::size_t m_filled = 0;   // loading: bytes in the buffer
    bool m_failed = false;
};

} // namespace lumivex
