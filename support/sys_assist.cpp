#include "support/sys_assist.h"

#include "support/owners.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace lumivex {

namespace {

constexpr size_t kQueryChars = 256;

// One string of the given translation block; false when the resource does not have it.
bool QueryVersionString(const std::vector<BYTE>& info, WORD language, WORD codePage,
                        const wchar_t* key, std::wstring& value) {
    wchar_t query[kQueryChars] = {};
    std::swprintf(query, kQueryChars, L"\\StringFileInfo\\%04x%04x\\%ls", language, codePage, key);
    void* data = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(info.data(), query, &data, &chars) || data == nullptr) {
        return false;
    }
    // The count may or may not include the terminating null; stop at the first one.
    const wchar_t* text = static_cast<const wchar_t*>(data);
    value.assign(text, std::find(text, text + chars, L'\0'));
    return true;
}

} // namespace

CFSysAssist::~CFSysAssist() = default;

bool CFSysAssist::GetVersionStrings(const wchar_t* path, HMODULE module, std::wstring& productName,
                                    std::wstring& internalName,
                                    std::wstring& productVersion) const {
    productName.clear();
    internalName.clear();
    productVersion.clear();

    wchar_t file[MAX_PATH] = {};
    if (path != nullptr) {
        const size_t length = std::wcslen(path);
        if (length >= MAX_PATH) {
            return false;
        }
        std::wmemcpy(file, path, length + 1);
    } else {
        // A full buffer means the name was cut (or not terminated, on older systems).
        const DWORD length = GetModuleFileNameW(module, file, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return false;
        }
    }

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (size == 0) {
        return false;
    }
    std::vector<BYTE> info(size);
    if (!GetFileVersionInfoW(file, 0, size, info.data())) {
        return false;
    }

    void* data = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &data, &bytes) ||
        data == nullptr || bytes < 2 * sizeof(WORD)) {
        return false;
    }
    const WORD* translation = static_cast<const WORD*>(data);
    const WORD language = translation[0];
    const WORD codePage = translation[1];

    return QueryVersionString(info, language, codePage, L"ProductName", productName) &&
           QueryVersionString(info, language, codePage, L"InternalName", internalName) &&
           QueryVersionString(info, language, codePage, L"ProductVersion", productVersion);
}

std::wstring CFSysAssist::GetLastErrorText(DWORD& errorCode) const {
    errorCode = GetLastError();
    UniqueLocal buffer;
    const DWORD chars = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, errorCode, 0x400, reinterpret_cast<LPWSTR>(buffer.put()), 0, nullptr);
    if (chars == 0 || !buffer) {
        return std::wstring();
    }
    return std::wstring(static_cast<const wchar_t*>(buffer.get()), chars);
}

void CFSysAssist::SplitString(const std::wstring& text, const std::wstring& delimiter,
                              std::vector<std::wstring>& pieces) const {
    size_t start = 0;
    while (start < text.size()) {
        const size_t found = delimiter.empty() ? std::wstring::npos : text.find(delimiter, start);
        if (found == std::wstring::npos) {
            pieces.push_back(text.substr(start));
            return;
        }
        pieces.push_back(text.substr(start, found - start));
        start = found + delimiter.size();
    }
}

} // namespace lumivex
