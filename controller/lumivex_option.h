// The main program's persistent settings and their byte format in "AppOption.data". Free of the
// Windows headers; the file itself is handled by COptionFile (option_file.h).
#pragma once

#include "controller/option_archive.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace lumivex {

// Seven values stored and read back; nothing registers them as a hot key.
class CHotKey {
public:
    static constexpr std::size_t kValueCount = 7;

    CHotKey() { SetDefaults(); }
    void SetDefaults();
    // False when the transfer failed; the values may then be partly read.
    bool Serialize(COptionArchive& ar);

    // In stored order; value 5 (index 4) is a virtual-key code.
    std::array<std::int32_t, kValueCount> m_values{};
};

bool operator==(const CHotKey& a, const CHotKey& b);

// Takes one name of the older never-zoomed list when a file of version 3 or lower is read.
using OldBrowserListSink = std::function<void(const std::wstring& name)>;

// Whether `name` can stand as a key of an initialisation-file section and be read back as
// itself: not empty, no control characters and no '=' (either would write a different line than
// meant), no ';' or '[' first (a comment or a section header) and no blank at either end (the
// profile functions trim it away, so the line would name another program).
bool IsProfileKeyName(const std::wstring& name);

class CLumivexOption {
public:
    static constexpr std::int32_t kCurrentVersion = 4;

    CLumivexOption() { SetDefaults(); }

    // Every default in place; the seven default names are set into the map, other entries stay.
    void SetDefaults();

    // Writes or reads the record, as the archive's direction says. A read that fails anywhere
    // stops there and applies SetDefaults on top of what was read. A write that fails leaves the
    // record as it was. Reading a file of version 3 or lower hands every map key that can be an
    // initialisation-file key to `moveOldList` (when given). True when the transfer completed.
    bool Serialize(COptionArchive& ar, const OldBrowserListSink& moveOldList = {});

    bool operator==(const CLumivexOption& other) const = default;

    std::int32_t m_nVersion = kCurrentVersion;
    CHotKey m_hotKey;
    std::int32_t m_bCheckUpdate = 0;
    std::map<std::wstring, std::wstring> m_mapBrowsers;
    std::int32_t m_nReserved = 1;
    std::int32_t m_bShowTrayIcon = 1;

private:
    void Store(COptionArchive& ar);
    bool Load(COptionArchive& ar, const OldBrowserListSink& moveOldList);
};

// The default names of the map, in the order SetDefaults sets them.
extern const std::array<const wchar_t*, 7> kDefaultBrowserNames;

} // namespace lumivex
