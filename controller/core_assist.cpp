#include "controller/core_assist.h"

#include "controller/core_paths.h"
#include "controller/option_file.h"
#include "support/file_assist.h"
#include "support/guarded.h"

#include <io.h>
#include <shellapi.h>
#include <shlobj.h>

namespace lumivex {

HMODULE g_hHookLib = nullptr;

namespace {

using HookExport = BOOL(WINAPI*)();
using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE process, PBOOL wow64);

// GetProcAddress hands out a generic pointer; going through void(*)() keeps GCC's
// function-type check quiet for the real type.
template <typename Function> Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool ShellAppDataFolder(std::wstring& folder) {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, TRUE)) {
        return false;
    }
    folder = path;
    return true;
}

bool Exists(const std::wstring& path) {
    return _waccess(path.c_str(), 0) == 0;
}

void LoadOptionFile(CCoreAssist& controller) {
    COptionFile(controller.m_strDataDir, controller.m_strBrowsersIni)
        .LoadOptions(controller.m_option);
}

void SaveOptionFile(CCoreAssist& controller) {
    COptionFile(controller.m_strDataDir, controller.m_strBrowsersIni)
        .SaveOptions(controller.m_option);
}

} // namespace

const CCoreAssist::OptionFileCalls CCoreAssist::kOptionFile = {&LoadOptionFile, &SaveOptionFile};

CCoreAssist::CCoreAssist() : m_appDataLookup(&ShellAppDataFolder) {}

CCoreAssist::~CCoreAssist() = default;

const wchar_t* CCoreAssist::GetAppName() const {
    return L"Lumivex";
}

BOOL CCoreAssist::InitLogSettings() {
    m_dwLogMask = 0xFFFFFFFF;
    m_bLogEnabled = TRUE;
    return 1;
}

void CCoreAssist::SetAppDataLookup(AppDataLookup lookup) {
    m_appDataLookup = lookup ? lookup : &ShellAppDataFolder;
}

BOOL CCoreAssist::bInitialize() {
    if (!CFAppAssist::bInitialize()) {
        return FALSE;
    }
    Guarded(L"", L"bInitialize", [this] {
        FindProgramFolder();
        FindDataFolder();
        // Without any folder the file would land at the root of the current drive.
        if (!m_strDataDir.empty()) {
            m_strBrowsersIni = m_strDataDir + L"\\" + kBrowsersIniName;
            WriteDefaultBrowsersIni();
            if (m_optionCalls.load) {
                m_optionCalls.load(*this);
            }
        }
    });
    m_bInitialized = true;
    return TRUE;
}

void CCoreAssist::FindProgramFolder() {
    wchar_t path[kProgramPathChars] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, kProgramPathChars);
    // A full buffer means the name was cut: better no folder than a wrong one.
    if (length == 0 || length >= kProgramPathChars) {
        return;
    }
    m_strAppDir = CFFileAssist().SplitPath(path, SPLIT_DRIVE | SPLIT_DIR);
    if (!m_strAppDir.empty()) {
        m_strDllPath = m_strAppDir + kHookLibraryName;
    }
}

void CCoreAssist::FindDataFolder() {
    std::wstring appData;
    if (m_appDataLookup(appData) && !appData.empty()) {
        m_strDataDir = appData + L"\\" + kDataFolderName;
        if (!Exists(m_strDataDir)) {
            CreateDirectoryW(m_strDataDir.c_str(), nullptr);
        }
    } else {
        m_strDataDir = m_strAppDir;
    }
}

void CCoreAssist::WriteDefaultBrowsersIni() const {
    // An existing file is the user's, whatever it holds.
    if (Exists(m_strBrowsersIni)) {
        return;
    }
    for (const wchar_t* program : kDefaultExcludedPrograms) {
        WritePrivateProfileStringW(kProcessesSection, program, L"0", m_strBrowsersIni.c_str());
    }
}

BOOL CCoreAssist::bUninitialize() {
    CFAppAssist::bUninitialize();
    if (m_bInitialized && !m_strDataDir.empty() && m_optionCalls.save) {
        Guarded(L"", L"bUninitialize", [this] { m_optionCalls.save(*this); });
    }
    return TRUE;
}

BOOL CCoreAssist::IsWow64() {
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (!kernel) {
        return FALSE;
    }
    const auto isWow64Process = Export<IsWow64ProcessFunction>(kernel, "IsWow64Process");
    if (!isWow64Process) {
        return FALSE;
    }
    BOOL wow64 = FALSE;
    if (!isWow64Process(GetCurrentProcess(), &wow64)) {
        return FALSE;
    }
    return wow64;
}

void CCoreAssist::StartServer(const wchar_t* parameters) const {
    // Before the program folder is known the server could only be started by its bare name,
    // which would find whatever program of that name the search reaches first.
    if (!m_bInitialized || m_strAppDir.empty()) {
        return;
    }
    const std::optional<std::wstring> server =
        JoinWithin(m_strAppDir, kServerProgramName, kServerPathChars);
    if (!server) {
        return;
    }
    ShellExecuteW(nullptr, L"open", server->c_str(), parameters, m_strAppDir.c_str(),
                  SW_SHOWNORMAL);
}

void CCoreAssist::EnableZoom() {
    if (IsWow64()) {
        StartServer(L"/Enable");
    }
    InstallHook();
}

int CCoreAssist::DisableZoom(bool exitServer) {
    if (IsWow64()) {
        StartServer(exitServer ? L"/Exit" : L"/Disable");
    }
    RemoveHook();
    return 1;
}

int CCoreAssist::InstallHook() {
    if (!g_hHookLib) {
        // Loading by bare name would search the path; only the library beside the program will do.
        if (m_strAppDir.empty()) {
            return 0;
        }
        const std::optional<std::wstring> library =
            JoinWithin(m_strAppDir, kHookLibraryName, kLibraryPathChars);
        if (!library) {
            return 0;
        }
        g_hHookLib = LoadLibraryW(library->c_str());
        if (!g_hHookLib) {
            return 0;
        }
    }
    const auto setHook = Export<HookExport>(g_hHookLib, "SetIECBT");
    if (!setHook) {
        return 0;
    }
    return setHook();
}

int CCoreAssist::RemoveHook() {
    if (g_hHookLib) {
        if (const auto clearHook = Export<HookExport>(g_hHookLib, "ClearIECBT")) {
            clearHook();
        }
    }
    return 1;
}

CCoreAssist& GetCoreAssist() {
    static CCoreAssist controller;
    return controller;
}

} // namespace lumivex
