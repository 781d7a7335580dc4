// The system's names as the tests write them out, apart from the product's own headers, so that
// a wrong name in the product cannot pass for right.
#pragma once

namespace lumivex::test {

// The per-user data folder below the roaming application data, and the files in it.
inline constexpr wchar_t kDataFolderName[] = L"Lumivex";
inline constexpr wchar_t kOptionFileName[] = L"AppOption.data";
inline constexpr wchar_t kLanguageConfigName[] = L"Config.ini";

// The autostart value under the per-user Run key.
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kAutostartValue[] = L"Lumivex";

// The main program's single-instance mutex and instance query message share this name, as do
// the resident server's.
inline constexpr wchar_t kMainInstanceName[] = L"LUMIVEX-46E5F037-5C31-4fbf-8265-2F0AA7A4A547";
inline constexpr wchar_t kServerInstanceName[] =
    L"LUMIVEXSERVER-46E5F037-5C31-4fbf-8265-2F0AA7A4A547";

} // namespace lumivex::test
