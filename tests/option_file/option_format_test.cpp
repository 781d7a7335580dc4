// The option record's byte format, in memory: what a default file holds, every string and count
// form in both directions, and what bad input does.
#include "alloc_probe.h"
#include "option_bytes.h"

#include "controller/lumivex_option.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace lumivex {
namespace {

using test::FileBytes;
using test::StoreToBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

bool Load(const std::string& bytes, CLumivexOption& option,
          std::vector<std::wstring>* moved = nullptr, AnsiDecoder decoder = {}) {
    CMemoryOptionSource source(bytes);
    COptionArchive archive(source, std::move(decoder));
    return option.Serialize(archive, [moved](const std::wstring& name) {
        if (moved != nullptr) {
            moved->push_back(name);
        }
    });
}

// A record whose every scalar differs from the defaults, to see defaults come back.
CLumivexOption Changed() {
    CLumivexOption option;
    option.m_bCheckUpdate = 1;
    option.m_nReserved = 9;
    option.m_bShowTrayIcon = 0;
    option.m_hotKey.m_values = {2, 3, 4, 5, 6, 7, 8};
    option.m_mapBrowsers.clear();
    return option;
}

void ExpectDefaultScalars(const CLumivexOption& option) {
    EXPECT_EQ(option.m_nVersion, 4);
    EXPECT_EQ(option.m_bCheckUpdate, 0);
    EXPECT_EQ(option.m_nReserved, 1);
    EXPECT_EQ(option.m_bShowTrayIcon, 1);
    EXPECT_EQ(option.m_hotKey, CHotKey());
}

std::vector<std::wstring> Keys(const CLumivexOption& option) {
    std::vector<std::wstring> keys;
    for (const auto& entry : option.m_mapBrowsers) {
        keys.push_back(entry.first);
    }
    return keys;
}

const std::vector<std::wstring> kSortedDefaults = {
    L"avant.exe",   L"deepnet.exe", L"greenbrowser.exe", L"iexplore.exe",
    L"maxthon.exe", L"outlook.exe", L"sbrowser.exe"};

// --- the default record and its file ---

// The default values themselves are checked byte by byte by the 430-byte file below.
TEST(OptionDefaults, SetDefaultsReplacesDefaultNamesAndKeepsOthers) {
    CLumivexOption option;
    option.m_mapBrowsers[L"avant.exe"] = L"changed";
    option.m_mapBrowsers[L"reader.exe"] = L"reader.exe";
    option.m_bShowTrayIcon = 0;
    option.SetDefaults();
    EXPECT_EQ(option.m_mapBrowsers.size(), 8u);
    EXPECT_EQ(option.m_mapBrowsers[L"avant.exe"], L"avant.exe");
    EXPECT_EQ(option.m_mapBrowsers[L"reader.exe"], L"reader.exe");
    EXPECT_EQ(option.m_bShowTrayIcon, 1);
}

TEST(OptionDefaults, FileIs430BytesLaidOutFieldByField) {
    CLumivexOption option;
    const std::string bytes = StoreToBytes(option);
    ASSERT_EQ(bytes.size(), 430u);

    FileBytes expected;
    expected.head(4, 0, 1, 1).u16(7);
    for (const std::wstring& name : kSortedDefaults) {
        expected.wide(name).wide(name);
    }
    expected.hotKey();
    EXPECT_EQ(bytes, expected.str());
}

TEST(OptionDefaults, DefaultFileRoundTripsByteForByte) {
    CLumivexOption written;
    const std::string first = StoreToBytes(written);

    CLumivexOption read = Changed();
    ASSERT_TRUE(Load(first, read));
    ExpectDefaultScalars(read);
    EXPECT_EQ(read.m_mapBrowsers, written.m_mapBrowsers);
    EXPECT_EQ(StoreToBytes(read), first);
}

// --- reading ---

TEST(OptionRead, FieldsGoToTheirMembersAndLaterPairsReplaceEarlier) {
    const std::string bytes = FileBytes()
                                  .head(4, 1, -5, 0)
                                  .u16(3)
                                  .wide(L"a.exe")
                                  .wide(L"first")
                                  .wide(L"b.exe")
                                  .wide(L"b.exe")
                                  .wide(L"a.exe")
                                  .wide(L"second")
                                  .i32(10)
                                  .i32(11)
                                  .i32(12)
                                  .i32(13)
                                  .i32(14)
                                  .i32(15)
                                  .i32(-16)
                                  .str();
    CLumivexOption option;
    std::vector<std::wstring> moved;
    ASSERT_TRUE(Load(bytes, option, &moved));
    EXPECT_EQ(option.m_nVersion, 4);
    EXPECT_EQ(option.m_bCheckUpdate, 1);
    EXPECT_EQ(option.m_nReserved, -5);
    EXPECT_EQ(option.m_bShowTrayIcon, 0);
    EXPECT_THAT(option.m_mapBrowsers,
                ElementsAre(Pair(L"a.exe", L"second"), Pair(L"b.exe", L"b.exe")));
    EXPECT_EQ(option.m_hotKey.m_values, (std::array<std::int32_t, 7>{10, 11, 12, 13, 14, 15, -16}));
    EXPECT_THAT(moved, IsEmpty()) << "version 4 moves nothing";
}

TEST(OptionRead, CountZeroEmptiesTheMapWithoutDefaults) {
    const std::string bytes = FileBytes().head(4, 1, 2, 0).u16(0).hotKey(5).str();
    CLumivexOption option;
    ASSERT_TRUE(Load(bytes, option));
    EXPECT_THAT(option.m_mapBrowsers, IsEmpty());
    EXPECT_EQ(option.m_bCheckUpdate, 1);
    EXPECT_EQ(option.m_hotKey.m_values[0], 5);
}

TEST(OptionRead, VersionThreeOrLowerHandsOnEveryKeyAndKeepsTheMap) {
    for (std::int32_t version : {3, 0, -1}) {
        const std::string bytes = FileBytes()
                                      .head(version, 0, 1, 1)
                                      .u16(2)
                                      .wide(L"reader.exe")
                                      .wide(L"reader.exe")
                                      .wide(L"iexplore.exe")
                                      .wide(L"x")
                                      .hotKey()
                                      .str();
        CLumivexOption option;
        std::vector<std::wstring> moved;
        ASSERT_TRUE(Load(bytes, option, &moved)) << version;
        EXPECT_THAT(moved, ElementsAre(L"iexplore.exe", L"reader.exe")) << version;
        EXPECT_EQ(option.m_mapBrowsers.size(), 2u);
        EXPECT_EQ(option.m_nVersion, 4);
        EXPECT_EQ(StoreToBytes(option).substr(0, 4), std::string("\x04\0\0\0", 4));
    }
}

TEST(OptionRead, NamesThatWouldBreakTheIniFileAreNotHandedOn) {
    const std::string bytes = FileBytes()
                                  .head(3, 0, 1, 1)
                                  .u16(4)
                                  .wide(L"")
                                  .wide(L"")
                                  .wide(L"a=b.exe")
                                  .wide(L"")
                                  .wide(L"x.exe\r\n[Browsers]")
                                  .wide(L"")
                                  .wide(L"ok.exe")
                                  .wide(L"")
                                  .hotKey()
                                  .str();
    CLumivexOption option;
    std::vector<std::wstring> moved;
    ASSERT_TRUE(Load(bytes, option, &moved));
    EXPECT_THAT(moved, ElementsAre(L"ok.exe"));
    EXPECT_EQ(option.m_mapBrowsers.size(), 4u) << "the map keeps them all";
}

TEST(OptionRead, NamesTheProfileFunctionsWouldReadAsACommentSectionOrOtherKeyAreRefused) {
    for (const wchar_t* name : {L";hh.exe", L"[hh.exe", L" hh.exe", L"hh.exe ", L"\thh.exe"}) {
        EXPECT_FALSE(IsProfileKeyName(name)) << testing::PrintToString(std::wstring(name));
    }
    for (const wchar_t* name : {L"my reader.exe", L"a;b[1].exe"}) {
        EXPECT_TRUE(IsProfileKeyName(name)) << testing::PrintToString(std::wstring(name));
    }
}

// One entry whose key uses the given string bytes; its value is "v".
std::string FileWithKey(const FileBytes& key) {
    return FileBytes().head(4, 0, 1, 1).u16(1).raw(key.str()).wide(L"v").hotKey().str();
}

TEST(OptionRead, EveryLengthFormGivesTheSameText) {
    const std::wstring text = L"ab\u00e9\u4e2d";
    struct Form {
        const char* name;
        FileBytes key;
    };
    const Form forms[] = {
        {"utf16, byte", FileBytes().u8(0xFF).u16(0xFFFE).u8(4).units(text)},
        {"utf16, 16 bits", FileBytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(4).units(text)},
        {"utf16, 32 bits",
         FileBytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).u32(4).units(text)},
        {"utf16, 64 bits",
         FileBytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).u32(0xFFFFFFFF).u64(4).units(text)},
    };
    for (const Form& form : forms) {
        CLumivexOption option;
        ASSERT_TRUE(Load(FileWithKey(form.key), option)) << form.name;
        EXPECT_THAT(option.m_mapBrowsers, ElementsAre(Pair(text, L"v"))) << form.name;
    }
}

TEST(OptionRead, SingleByteStringsInEveryLengthFormGoThroughTheDecoder) {
    const std::string text = "Reader\xE9.exe";
    const FileBytes forms[] = {
        FileBytes().narrow(text),
        FileBytes().u8(0xFF).u16(static_cast<std::uint16_t>(text.size())).raw(text),
        FileBytes().u8(0xFF).u16(0xFFFF).u32(static_cast<std::uint32_t>(text.size())).raw(text),
        FileBytes().u8(0xFF).u16(0xFFFF).u32(0xFFFFFFFF).u64(text.size()).raw(text),
    };
    for (std::size_t i = 0; i < std::size(forms); ++i) {
        std::vector<std::string> seen;
        const AnsiDecoder decoder = [&seen](std::string_view bytes, std::wstring& out) {
            seen.emplace_back(bytes);
            out = L"decoded";
            return true;
        };
        CLumivexOption option;
        ASSERT_TRUE(Load(FileWithKey(forms[i]), option, nullptr, decoder)) << "form " << i;
        EXPECT_THAT(seen, ElementsAre(text)) << "form " << i;
        EXPECT_THAT(option.m_mapBrowsers, ElementsAre(Pair(L"decoded", L"v"))) << "form " << i;
    }

    // Without a decoder of its own the archive widens byte by byte.
    CLumivexOption option;
    ASSERT_TRUE(Load(FileWithKey(FileBytes().narrow(text)), option));
    EXPECT_THAT(option.m_mapBrowsers, ElementsAre(Pair(L"Reader\u00e9.exe", L"v")));
}

TEST(OptionRead, DecoderFailureIsAFormatError) {
    CLumivexOption option = Changed();
    const AnsiDecoder refuse = [](std::string_view, std::wstring&) { return false; };
    EXPECT_FALSE(Load(FileWithKey(FileBytes().narrow("x.exe")), option, nullptr, refuse));
    ExpectDefaultScalars(option);
}

TEST(OptionRead, SixteenBitLengthAfterTheMarkIsALengthEvenAtFFFE) {
    const std::wstring text(0xFFFE, L'q');
    CLumivexOption option;
    ASSERT_TRUE(Load(FileWithKey(FileBytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFE).units(text)),
                     option));
    ASSERT_EQ(option.m_mapBrowsers.size(), 1u);
    EXPECT_EQ(option.m_mapBrowsers.begin()->first.size(), 0xFFFEu);
}

// --- bad input ---

TEST(OptionRead, EveryCutOfAFileGivesDefaultsOnTopOfWhatWasRead) {
    const std::string whole = FileBytes()
                                  .head(4, 1, 7, 0)
                                  .u16(2)
                                  .wide(L"a.exe")
                                  .wide(L"a.exe")
                                  .wide(L"b.exe")
                                  .wide(L"b.exe")
                                  .hotKey(9)
                                  .str();
    const std::size_t firstEntryEnd = 18 + 2 * (4 + 10);
    const std::size_t secondEntryEnd = firstEntryEnd + 2 * (4 + 10);
    for (std::size_t length = 0; length < whole.size(); ++length) {
        CLumivexOption option = Changed();
        EXPECT_FALSE(Load(whole.substr(0, length), option)) << "cut at " << length;
        ExpectDefaultScalars(option);
        std::vector<std::wstring> expected = kSortedDefaults;
        if (length >= firstEntryEnd) {
            expected.push_back(L"a.exe");
        }
        if (length >= secondEntryEnd) {
            expected.push_back(L"b.exe");
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Keys(option), expected) << "cut at " << length;
    }
    CLumivexOption option = Changed();
    EXPECT_TRUE(Load(whole, option));
    EXPECT_EQ(option.m_hotKey.m_values[0], 9);
}

TEST(OptionRead, DeclaredSizesBeyondTheFileFailBeforeAllocating) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::string pad(64, 'z');
    const Case cases[] = {
        {"count 0xFFFE", FileBytes().head(4, 0, 1, 1).u16(0xFFFE).raw(pad).str()},
        {"count 0xFFFFFFFF",
         FileBytes().head(4, 0, 1, 1).u16(0xFFFF).u32(0xFFFFFFFF).raw(pad).str()},
        {"narrow 16 bits", FileWithKey(FileBytes().u8(0xFF).u16(0xFFFD).raw(pad))},
        {"narrow 32 bits", FileWithKey(FileBytes().u8(0xFF).u16(0xFFFF).u32(0x7FFFFFFF).raw(pad))},
        {"wide 32 bits",
         FileWithKey(
             FileBytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).u32(0x40000000).raw(pad))},
        {"wide 64 bits, 0x7FFFFFFF", FileWithKey(FileBytes()
                                                     .u8(0xFF)
                                                     .u16(0xFFFE)
                                                     .u8(0xFF)
                                                     .u16(0xFFFF)
                                                     .u32(0xFFFFFFFF)
                                                     .u64(0x7FFFFFFF)
                                                     .raw(pad))},
        {"wide 64 bits, 0x80000000", FileWithKey(FileBytes()
                                                     .u8(0xFF)
                                                     .u16(0xFFFE)
                                                     .u8(0xFF)
                                                     .u16(0xFFFF)
                                                     .u32(0xFFFFFFFF)
                                                     .u64(0x80000000)
                                                     .raw(pad))},
        {"wide 64 bits, all ones", FileWithKey(FileBytes()
                                                   .u8(0xFF)
                                                   .u16(0xFFFE)
                                                   .u8(0xFF)
                                                   .u16(0xFFFF)
                                                   .u32(0xFFFFFFFF)
                                                   .u64(~std::uint64_t{0})
                                                   .raw(pad))},
        {"wide, one unit short", FileBytes()
                                     .head(4, 0, 1, 1)
                                     .u16(1)
                                     .u8(0xFF)
                                     .u16(0xFFFE)
                                     .u8(40)
                                     .raw(std::string(78, 'z'))
                                     .str()},
    };
    for (const Case& c : cases) {
        CLumivexOption option = Changed();
        const auto start = std::chrono::steady_clock::now();
        std::size_t largest = 0;
        {
            test::AllocationProbe probe;
            EXPECT_FALSE(Load(c.bytes, option)) << c.name;
            largest = probe.largest();
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LE(largest, 4096u + 64u) << c.name << ": more than the buffer and the file";
        EXPECT_LT(elapsed, std::chrono::milliseconds(500)) << c.name;
        ExpectDefaultScalars(option);
    }
}

TEST(OptionRead, A64BitLengthAbove7FFFFFFFIsRefusedEvenWhenTheFileWouldHoldIt) {
    // The length check alone decides: a source that claims a huge remainder still gets nothing
    // allocated for it.
    class Claims final : public IOptionSource {
    public:
        explicit Claims(std::string bytes) : m_bytes(std::move(bytes)), m_inner(m_bytes) {}
        std::size_t Read(void* buffer, std::size_t size) override {
            return m_inner.Read(buffer, size);
        }
        std::uint64_t Remaining() const override { return std::uint64_t{1} << 40; }

    private:
        std::string m_bytes;
        CMemoryOptionSource m_inner;
    };
    Claims source(FileWithKey(
        FileBytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).u32(0xFFFFFFFF).u64(0x80000000)));
    COptionArchive archive(source, {});
    CLumivexOption option = Changed();
    test::AllocationProbe probe;
    EXPECT_FALSE(option.Serialize(archive));
    EXPECT_LE(probe.largest(), 4096u);
    ExpectDefaultScalars(option);
}

// --- writing ---

TEST(OptionWrite, StringHeadersTakeTheShortestForm) {
    const auto header = [](std::uint64_t length) { return EncodeStringHeader(length); };
    const std::string mark("\xFF\xFE\xFF", 3);
    EXPECT_EQ(header(0), mark + std::string("\x00", 1));
    EXPECT_EQ(header(254), mark + "\xFE");
    EXPECT_EQ(header(255), mark + std::string("\xFF\xFF\x00", 3));
    EXPECT_EQ(header(0xFFFD), mark + "\xFF\xFD\xFF");
    EXPECT_EQ(header(0xFFFE), mark + "\xFF\xFF\xFF" + std::string("\xFE\xFF\x00\x00", 4));
    EXPECT_EQ(header(0xFFFFFFFE), mark + "\xFF\xFF\xFF\xFE\xFF\xFF\xFF");
    EXPECT_EQ(header(0xFFFFFFFF),
              mark + "\xFF\xFF\xFF\xFF\xFF\xFF\xFF" + std::string("\xFF\xFF\xFF\xFF\0\0\0\0", 8));
    EXPECT_EQ(header(std::uint64_t{0x0102030405}),
              mark + "\xFF\xFF\xFF\xFF\xFF\xFF\xFF" + std::string("\x05\x04\x03\x02\x01\0\0\0", 8));
}

TEST(OptionWrite, CountsTakeTheShortestForm) {
    EXPECT_EQ(EncodeCount(0), std::string("\0\0", 2));
    EXPECT_EQ(EncodeCount(0xFFFE), "\xFE\xFF");
    EXPECT_EQ(EncodeCount(0xFFFF), std::string("\xFF\xFF\xFF\xFF\0\0", 6));
    EXPECT_EQ(EncodeCount(0xFFFFFFFF), "\xFF\xFF\xFF\xFF\xFF\xFF");
    EXPECT_EQ(EncodeCount(std::uint64_t{1} << 32), "") << "not writable";
}

TEST(OptionWrite, LongStringsAndManyEntriesRoundTrip) {
    for (std::size_t length : {254u, 255u, 0xFFFDu, 0xFFFEu, 0x10005u}) {
        CLumivexOption option;
        option.m_mapBrowsers.clear();
        std::wstring key(length, L'k');
        key[length - 1] = L'\u4e2d';
        option.m_mapBrowsers[key] = L"v";
        const std::string bytes = StoreToBytes(option);
        EXPECT_EQ(bytes.size(), 16 + 2 + EncodeStringHeader(length).size() + 2 * length + 6 + 28)
            << length;
        CLumivexOption read = Changed();
        ASSERT_TRUE(Load(bytes, read)) << length;
        EXPECT_EQ(read.m_mapBrowsers, option.m_mapBrowsers) << length;
    }

    for (std::size_t count : {0xFFFEu, 0xFFFFu}) {
        CLumivexOption option;
        option.m_mapBrowsers.clear();
        for (std::size_t i = 0; i < count; ++i) {
            option.m_mapBrowsers[std::to_wstring(i)] = L"";
        }
        const std::string bytes = StoreToBytes(option);
        EXPECT_EQ(bytes.substr(16, count == 0xFFFF ? 6 : 2), EncodeCount(count)) << count;
        CLumivexOption read = Changed();
        ASSERT_TRUE(Load(bytes, read)) << count;
        EXPECT_EQ(read.m_mapBrowsers, option.m_mapBrowsers) << count;
    }
}

class FailingSink final : public IOptionSink {
public:
    explicit FailingSink(std::size_t allowed) : m_allowed(allowed) {}
    bool Write(const void*, std::size_t size) override {
        ++calls;
        if (size > m_allowed) {
            return false;
        }
        m_allowed -= size;
        return true;
    }
    int calls = 0;

private:
    std::size_t m_allowed;
};

TEST(OptionWrite, AFailedWriteReportsItAndKeepsTheRecord) {
    CLumivexOption option;
    option.m_bShowTrayIcon = 0;
    for (int i = 0; i < 500; ++i) {
        option.m_mapBrowsers[L"program" + std::to_wstring(i) + L".exe"] = L"x";
    }
    const auto before = option.m_mapBrowsers;

    FailingSink midway(4096); // the first buffer goes through, the second does not
    COptionArchive archive(midway);
    EXPECT_FALSE(option.Serialize(archive));
    EXPECT_FALSE(archive.Flush());
    EXPECT_EQ(midway.calls, 2) << "nothing is written after the first failure";
    EXPECT_EQ(option.m_bShowTrayIcon, 0);
    EXPECT_EQ(option.m_mapBrowsers, before);

    CLumivexOption small;
    FailingSink atFlush(0);
    COptionArchive flushed(atFlush);
    EXPECT_TRUE(small.Serialize(flushed)) << "430 bytes stay in the buffer";
    EXPECT_FALSE(flushed.Flush());
}

} // namespace
} // namespace lumivex
