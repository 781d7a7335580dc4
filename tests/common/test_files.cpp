#include "test_files.h"

#include "test_names.h"
#include "test_registry.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>

namespace lumivex::test {

namespace {

std::wstring TempRoot() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    std::wstring root(buffer, length);
    while (!root.empty() && root.back() == L'\\') {
        root.pop_back();
    }
    return root;
}

} // namespace

TempDir::TempDir() {
    static unsigned counter = 0;
    const std::wstring root = TempRoot();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::wstring candidate = root + L"\\lvxtest_" + std::to_wstring(GetCurrentProcessId()) +
                                 L"_" + std::to_wstring(GetTickCount()) + L"_" +
                                 std::to_wstring(++counter);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            m_path = candidate;
            return;
        }
    }
    ADD_FAILURE() << "could not create a temporary folder under " << Narrow(root);
}

TempDir::~TempDir() {
    if (!m_path.empty()) {
        RemoveTree(m_path);
    }
}

CurrentDirScope::CurrentDirScope(const std::wstring& dir) {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, buffer);
    m_previous = buffer;
    EXPECT_TRUE(SetCurrentDirectoryW(dir.c_str())) << "cannot enter " << Narrow(dir);
}

CurrentDirScope::~CurrentDirScope() {
    SetCurrentDirectoryW(m_previous.c_str());
}

std::wstring ProgramDir() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring path = buffer;
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring AppDataDir() {
    wchar_t buffer[MAX_PATH + 1] = {};
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_APPDATA, TRUE));
    return buffer;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << Narrow(path);
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << "cannot write " << Narrow(path);
}

void WriteFileText(const std::wstring& path, const std::wstring& utf16) {
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(utf16.data()), utf16.size() * sizeof(wchar_t));
    WriteFileBytes(path, bytes);
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
}

std::vector<std::wstring> ListFiles(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(name);
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring result(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(),
                        size);
    return result;
}

namespace {

std::wstring g_testAppData;

} // namespace

bool NoAppData(std::wstring&) {
    return false;
}

bool TestAppData(std::wstring& folder) {
    folder = g_testAppData;
    return true;
}

void UseTestAppData(const std::wstring& folder) {
    g_testAppData = folder;
}

void ResetPerUserState() {
    RemoveTree(AppDataDir() + L"\\" + kDataFolderName);
    DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, kAutostartValue);
}

} // namespace lumivex::test
