#include "app/program_settings.h"

#include "support/lumivex_names.h"

#include <windows.h>

namespace lumivex::app {

namespace {

constexpr wchar_t kMetSection[] = L"Programs";
constexpr wchar_t kMetValue[] = L"1";
// Values are read as the hook library reads them; key lists into a buffer that grows until they
// fit.
constexpr DWORD kValueChars = static_cast<DWORD>(hook::kConfigValueChars);
constexpr DWORD kFirstListChars = 4096;
constexpr DWORD kLargestListChars = 1u << 20;

std::wstring ReadValue(const std::wstring& file, const wchar_t* section, const std::wstring& key) {
    wchar_t value[kValueChars] = {};
    const DWORD length =
        ::GetPrivateProfileStringW(section, key.c_str(), L"", value, kValueChars, file.c_str());
    return std::wstring(value, length);
}

std::vector<std::wstring> ReadKeys(const std::wstring& file, const wchar_t* section) {
    if (file.empty()) {
        return {};
    }
    for (DWORD chars = kFirstListChars; chars <= kLargestListChars; chars *= 4) {
        std::wstring list(chars, L'\0');
        const DWORD length =
            ::GetPrivateProfileStringW(section, nullptr, L"", list.data(), chars, file.c_str());
        // A list that did not fit comes back two short of the buffer.
        if (length + 2 < chars || chars == kLargestListChars) {
            list.resize(length + 1 < chars ? length + 1 : chars);
            return KeysFromList(list);
        }
    }
    return {};
}

std::vector<ProfileEntry> ReadEntries(const std::wstring& file, const wchar_t* section) {
    std::vector<ProfileEntry> entries;
    for (std::wstring& key : ReadKeys(file, section)) {
        std::wstring value = ReadValue(file, section, key);
        entries.emplace_back(std::move(key), std::move(value));
    }
    return entries;
}

} // namespace

std::vector<ProgramRow> ReadProgramRows(const std::wstring& browsersIni,
                                        const std::wstring& configIni,
                                        const std::vector<std::wstring>& alsoMet) {
    std::vector<std::wstring> met = ReadKeys(configIni, kMetSection);
    met.insert(met.end(), alsoMet.begin(), alsoMet.end());
    std::vector<std::wstring> others = ReadKeys(browsersIni, kBrowsersSection);
    for (std::wstring& key : ReadKeys(browsersIni, kLabelSection)) {
        others.push_back(std::move(key));
    }
    return ProgramRowsFrom(met, ReadEntries(browsersIni, kProcessesSection),
                           ReadEntries(browsersIni, kZoomSection), others);
}

bool WriteZoomed(const std::wstring& browsersIni, const std::wstring& name, bool zoomed) {
    return !browsersIni.empty() && !name.empty() &&
           ::WritePrivateProfileStringW(kProcessesSection, name.c_str(), zoomed ? nullptr : L"0",
                                        browsersIni.c_str());
}

bool WriteStartLevel(const std::wstring& browsersIni, const std::wstring& name, int level) {
    if (browsersIni.empty() || name.empty()) {
        return false;
    }
    const std::wstring value = ZoomValueFor(level);
    return ::WritePrivateProfileStringW(
        kZoomSection, name.c_str(), value.empty() ? nullptr : value.c_str(), browsersIni.c_str());
}

bool RememberMetProgram(const std::wstring& configIni, const std::wstring& name) {
    if (configIni.empty() || name.empty() || !ReadValue(configIni, kMetSection, name).empty()) {
        return false;
    }
    return ::WritePrivateProfileStringW(kMetSection, name.c_str(), kMetValue, configIni.c_str());
}

} // namespace lumivex::app
