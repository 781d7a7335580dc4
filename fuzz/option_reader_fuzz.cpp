// libFuzzer target: any bytes read as an option file. Beyond the sanitizers it checks that a read
// never leaves a version other than 4, that a failed read leaves the defaults, that only names
// fit for an initialisation file are handed on, and that whatever was read writes and reads back
// unchanged.
#include "controller/lumivex_option.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using lumivex::CLumivexOption;
using lumivex::CMemoryOptionSink;
using lumivex::CMemoryOptionSource;
using lumivex::COptionArchive;
using lumivex::kDefaultBrowserNames;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool SameRecord(const CLumivexOption& a, const CLumivexOption& b) {
    return a.m_nVersion == b.m_nVersion && a.m_bCheckUpdate == b.m_bCheckUpdate &&
           a.m_nReserved == b.m_nReserved && a.m_bShowTrayIcon == b.m_bShowTrayIcon &&
           a.m_hotKey == b.m_hotKey && a.m_mapBrowsers == b.m_mapBrowsers;
}

std::string Store(CLumivexOption& option) {
    CMemoryOptionSink sink;
    COptionArchive archive(sink);
    Check(option.Serialize(archive));
    Check(archive.Flush());
    return sink.bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CMemoryOptionSource source(std::string_view(reinterpret_cast<const char*>(data), size));
    COptionArchive archive(source, {});
    CLumivexOption option;
    const bool complete = option.Serialize(
        archive, [](const std::wstring& name) { Check(lumivex::IsProfileKeyName(name)); });
    Check(option.m_nVersion == 4);
    if (!complete) {
        const CLumivexOption defaults;
        Check(option.m_bCheckUpdate == 0 && option.m_nReserved == 1 &&
              option.m_bShowTrayIcon == 1 && option.m_hotKey == defaults.m_hotKey);
        for (const wchar_t* name : kDefaultBrowserNames) {
            const auto found = option.m_mapBrowsers.find(name);
            Check(found != option.m_mapBrowsers.end() && found->second == name);
        }
    }

    const std::string written = Store(option);
    CMemoryOptionSource again(written);
    COptionArchive reread(again, {});
    CLumivexOption copy;
    Check(copy.Serialize(reread));
    Check(SameRecord(copy, option));
    Check(Store(copy) == written);
    return 0;
}
