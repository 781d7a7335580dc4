// Stands in for the hook server beside a controller under test: appends one line per start to
// "server_calls.log" beside itself, "<arguments>|<working folder>", and ends. A slow server is
// asked for with lines "<milliseconds> <arguments>" in "server_linger.txt" beside it: a start
// with those arguments sleeps that long before it records its line. It never waits for input.
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

std::string ReadAll(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) {
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    return bytes;
}

// How long a start with `arguments` is to linger, from the lines of `lingerFile`.
DWORD LingerMs(const std::wstring& lingerFile, const std::string& arguments) {
    const std::string lines = ReadAll(lingerFile);
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        if (end == std::string::npos) {
            end = lines.size();
        }
        const std::string line = lines.substr(start, end - start);
        const size_t blank = line.find(' ');
        if (blank != std::string::npos && line.substr(blank + 1) == arguments) {
            return static_cast<DWORD>(std::strtoul(line.c_str(), nullptr, 10));
        }
        start = end + 1;
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring arguments;
    for (int i = 1; argv && i < count; ++i) {
        arguments += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    }
    LocalFree(argv);

    std::wstring folder(32768, L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::wstring folderOfSelf = L"\\\\?\\" + self;
    folderOfSelf.erase(folderOfSelf.find_last_of(L'\\') + 1);
    const std::wstring log = folderOfSelf + L"server_calls.log";
    Sleep(LingerMs(folderOfSelf + L"server_linger.txt", Utf8(arguments)));

    // Starts follow each other closely: one writer at a time keeps the lines whole.
    HANDLE lock = CreateMutexW(nullptr, FALSE, L"LumivexControllerTestServerLog");
    if (lock) {
        WaitForSingleObject(lock, 10000);
    }
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const std::string line = Utf8(arguments) + "|" + Utf8(folder) + "\n";
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    if (lock) {
        ReleaseMutex(lock);
        CloseHandle(lock);
    }
    return 0;
}
