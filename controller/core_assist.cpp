#include "controller/core_assist.h"

#include "controller/option_file.h"
#include "controller/server_launch.h"
#include "support/file_assist.h"
#include "support/guarded.h"
#include "support/hook_library_loader.h"
#include "support/lumivex_names.h"
#include "support/proc_address.h"

#include <io.h>

namespace lumivex {

namespace {

// Buffers the controller reads and composes its paths in, terminating zero included.
constexpr std::size_t kProgramPathChars = 260; // the program's own file name
constexpr std::size_t kServerPathChars = 256;  // the 64-bit hook server

constinit CHookLibraryLoader g_hookLibrary(kHookLibraryName);

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE process, PBOOL wow64);

bool Exists(const std::wstring& path) {
    return _waccess(path.c_str(), 0) == 0;
}

OptionLoad LoadOptionFile(CCoreAssist& controller) {
    return COptionFile(controller.m_strDataDir, controller.m_strBrowsersIni)
        .LoadOptions(controller.m_option);
}

void SaveOptionFile(CCoreAssist& controller) {
    COptionFile(controller.m_strDataDir, controller.m_strBrowsersIni)
        .SaveOptions(controller.m_option);
}

} // namespace

constinit const HMODULE& g_hHookLib = g_hookLibrary.Module();

const CCoreAssist::OptionFileCalls CCoreAssist::kOptionFile = {&LoadOptionFile, &SaveOptionFile};

CCoreAssist::CCoreAssist() = default;

CCoreAssist::~CCoreAssist() = default;

const wchar_t* CCoreAssist::GetAppName() const {
    return L"Lumivex";
}

BOOL CCoreAssist::InitLogSettings() {
    m_dwLogMask = 0xFFFFFFFF;
    m_bLogEnabled = TRUE;
    return 1;
}

BOOL CCoreAssist::bInitialize() {
    if (!CFAppAssist::bInitialize()) {
        return FALSE;
    }
    Guarded(L"", L"bInitialize", [this] {
        FindProgramFolder();
        m_strDataDir = UserDataFolder(m_strAppDir, m_appDataLookup);
        // Without any folder the file would land at the root of the current drive.
        if (!m_strDataDir.empty()) {
            m_strBrowsersIni = m_strDataDir + L"\\" + kBrowsersIniName;
            WriteDefaultBrowsersIni();
            if (m_optionCalls.load && m_optionCalls.load(*this) == OptionLoad::kFailed) {
                m_unloadedOptions = m_option;
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
    SaveOptions();
    return TRUE;
}

void CCoreAssist::SaveOptions() {
    if (!m_bInitialized || m_strDataDir.empty() || !m_optionCalls.save) {
        return;
    }
    // A file held by a scanner or damaged is not to be replaced by defaults at exit; an option
    // the user changed since is newer than anything in it (a damaged one has its copy).
    if (m_unloadedOptions && m_option == *m_unloadedOptions) {
        return;
    }
    m_unloadedOptions.reset();
    Guarded(L"", L"SaveOptions", [this] { m_optionCalls.save(*this); });
}

BOOL CCoreAssist::IsWow64() {
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (!kernel) {
        return FALSE;
    }
    const auto isWow64Process = ProcAddress<IsWow64ProcessFunction>(kernel, "IsWow64Process");
    if (!isWow64Process) {
        return FALSE;
    }
    BOOL wow64 = FALSE;
    if (!isWow64Process(GetCurrentProcess(), &wow64)) {
        return FALSE;
    }
    return wow64;
}

void CCoreAssist::StartServer(const wchar_t* parameters) {
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
    // A process that has ended or waits for input has settled whether it is a messenger or the
    // resident server, so the next command can no longer overtake it.
    AwaitServerProcess(m_hServerProcess.get(), ServerSettled::kEndedOrInputIdle, kServerWaitMs);
    m_hServerProcess = StartServerProcess(*server, parameters, m_strAppDir);
}

void CCoreAssist::EnableZoom() {
    if (IsWow64()) {
        // Not waited for: start-up must not stall on the server.
        StartServer(kServerEnableSwitch);
    }
    InstallHook();
}

int CCoreAssist::DisableZoom(bool exitServer) {
    if (IsWow64()) {
        StartServer(exitServer ? kServerExitSwitch : kServerDisableSwitch);
        if (exitServer) {
            // No server process is to outlive the main program.
            AwaitServerProcess(m_hServerProcess.get(), ServerSettled::kEnded, kServerWaitMs);
        }
    }
    RemoveHook();
    return 1;
}

int CCoreAssist::InstallHook() {
    // Before bInitialize the folder is empty, and the loader loads nothing by bare name.
    return g_hookLibrary.InstallHook(m_strAppDir);
}

int CCoreAssist::RemoveHook() {
    return g_hookLibrary.RemoveHook();
}

CCoreAssist& GetCoreAssist() {
    static CCoreAssist controller;
    return controller;
}

} // namespace lumivex
