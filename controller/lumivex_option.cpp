#include "controller/lumivex_option.h"

namespace lumivex {

const std::array<const wchar_t*, 7> kDefaultBrowserNames = {
    L"iexplore.exe", L"maxthon.exe",      L"avant.exe",  L"deepnet.exe",
    L"sbrowser.exe", L"greenbrowser.exe", L"outlook.exe"};

void CHotKey::SetDefaults() {
    m_values = {1, 0, 1, 0, 77, 0, 0};
}

bool CHotKey::Serialize(COptionArchive& ar) {
    if (ar.IsStoring()) {
        for (std::int32_t value : m_values) {
            ar.WriteInt32(value);
        }
        return !ar.Failed();
    }
    for (std::int32_t& value : m_values) {
        if (!ar.ReadInt32(value)) {
            return false;
        }
    }
    return true;
}

bool operator==(const CHotKey& a, const CHotKey& b) {
    return a.m_values == b.m_values;
}

bool IsProfileKeyName(const std::wstring& name) {
    if (name.empty() || name.front() == L';' || name.front() == L'[' || name.front() == L' ' ||
        name.back() == L' ') {
        return false;
    }
    for (wchar_t c : name) {
        if (static_cast<std::uint32_t>(c) < 0x20 || c == L'\x7F' || c == L'=') {
            return false;
        }
    }
    return true;
}

void CLumivexOption::SetDefaults() {
    m_nVersion = kCurrentVersion;
    m_hotKey.SetDefaults();
    m_bCheckUpdate = 0;
    for (const wchar_t* name : kDefaultBrowserNames) {
        m_mapBrowsers.insert_or_assign(name, name);
    }
    m_nReserved = 1;
    m_bShowTrayIcon = 1;
}

bool CLumivexOption::Serialize(COptionArchive& ar, const OldBrowserListSink& moveOldList) {
    if (ar.IsStoring()) {
        try {
            Store(ar);
        } catch (...) {
            return false;
        }
        m_nVersion = kCurrentVersion;
        return !ar.Failed();
    }
    bool complete = false;
    try {
        complete = Load(ar, moveOldList);
    } catch (...) {
        complete = false;
    }
    if (!complete) {
        SetDefaults();
    }
    return complete;
}

void CLumivexOption::Store(COptionArchive& ar) {
    ar.WriteInt32(m_nVersion);
    ar.WriteInt32(m_bCheckUpdate);
    ar.WriteInt32(m_nReserved);
    ar.WriteInt32(m_bShowTrayIcon);
    ar.WriteCount(m_mapBrowsers.size());
    for (const auto& [key, value] : m_mapBrowsers) {
        ar.WriteString(key);
        ar.WriteString(value);
    }
    m_hotKey.Serialize(ar);
}

bool CLumivexOption::Load(COptionArchive& ar, const OldBrowserListSink& moveOldList) {
    m_mapBrowsers.clear();
    if (!ar.ReadInt32(m_nVersion) || !ar.ReadInt32(m_bCheckUpdate) || !ar.ReadInt32(m_nReserved) ||
        !ar.ReadInt32(m_bShowTrayIcon)) {
        return false;
    }
    std::uint32_t count = 0;
    if (!ar.ReadCount(count)) {
        return false;
    }
    // An entry takes at least two bytes (two empty single-byte strings).
    if (count > ar.Remaining() / 2) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        std::wstring key;
        std::wstring value;
        if (!ar.ReadString(key) || !ar.ReadString(value)) {
            return false;
        }
        m_mapBrowsers.insert_or_assign(std::move(key), std::move(value));
    }
    if (!m_hotKey.Serialize(ar)) {
        return false;
    }
    if (m_nVersion <= 3 && moveOldList) {
        for (const auto& entry : m_mapBrowsers) {
            if (IsProfileKeyName(entry.first)) {
                moveOldList(entry.first);
            }
        }
    }
    m_nVersion = kCurrentVersion;
    return true;
}

} // namespace lumivex
