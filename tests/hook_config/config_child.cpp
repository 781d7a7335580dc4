// A program of its own for the configuration tests: the prompt marker belongs to a process, and
// a program's name is whatever file it was started from.
//   hook_config_child <application-data folder> <command> <result file>
// Commands and what they write to the result file (UTF-8):
//   name     the program's name as the library sees it
//   prompt   the prompt decision twice and the name: "1 0 name"
//   enabled  the exclusion test: "1" or "0"
//   disable  switches the prompt off for this program: "done"
#include "hooklib/browser_config.h"

#include <windows.h>

#include <string>

namespace {

std::wstring g_appData;

bool TestAppData(std::wstring& folder) {
    folder = g_appData;
    return true;
}

bool WriteResult(const std::wstring& path, const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                        length, nullptr, nullptr);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        return 2;
    }
    g_appData = argv[1];
    const std::wstring command = argv[2];
    lumivex::hook::CBrowserConfig config;
    config.SetAppDataLookup(&TestAppData);
    config.bGetAllConfigs(GetModuleHandleW(nullptr));

    std::wstring result;
    if (command == L"name") {
        result = config.GetProcessExeName();
    } else if (command == L"prompt") {
        std::wstring first, second;
        const BOOL once = config.bNeedPrompt(first);
        const BOOL twice = config.bNeedPrompt(second);
        result = std::to_wstring(once) + L" " + std::to_wstring(twice) + L" " + first;
        if (second != first) {
            result += L" (second name " + second + L")";
        }
    } else if (command == L"enabled") {
        result = std::to_wstring(config.bIsProcessEnabled());
    } else if (command == L"disable") {
        config.vDisablePrompt();
        result = L"done";
    } else {
        return 3;
    }
    return WriteResult(argv[3], result) ? 0 : 4;
}
