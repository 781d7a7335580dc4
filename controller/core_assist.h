// The hook controller: the main program's one owner of the zoom hook and of the per-user
// configuration, and its log writer. It works out the program's paths and per-user folder,
// writes the default "browsers.ini" on a user's first run, installs and removes the 32-bit hook
// and, on 64-bit Windows, starts the 64-bit hook server with its commands.
#pragma once

#include "controller/lumivex_option.h"
#include "controller/option_file.h"
#include "support/owners.h"
#include "support/log_writer.h"
#include "support/user_data_folder.h"

#include <windows.h>

#include <optional>
#include <string>

namespace lumivex {

// The loaded 32-bit hook library: null until the first successful load, then kept (never
// released) so every later EnableZoom reuses it. The controller's loader holds it.
extern const HMODULE& g_hHookLib;

class CCoreAssist : public CFAppAssist {
public:
    // Loading and saving of m_option; by default through "AppOption.data" in m_strDataDir
    // (COptionFile), replaceable for tests. A null entry does nothing. Neither is called before
    // bInitialize has completed, nor without a data folder.
    struct OptionFileCalls {
        OptionLoad (*load)(CCoreAssist& controller) = nullptr;
        void (*save)(CCoreAssist& controller) = nullptr;
    };
    static const OptionFileCalls kOptionFile;

    // Where the user's roaming application-data folder comes from; false when there is none.
    using AppDataLookup = lumivex::AppDataLookup;

    CCoreAssist();
    // Leaves the hook, the library and the server as they are.
    ~CCoreAssist() override;

    // Switches logging on, works out the paths, creates the per-user folder and the default
    // "browsers.ini", loads the options. FALSE only when the log writer's own start fails; a
    // failure caught inside still gives TRUE.
    BOOL bInitialize() override;
    // Saves the options when bInitialize has completed; always TRUE.
    BOOL bUninitialize() override;
    // Saves m_option now (the main dialog's check box and "E&xit"); nothing before
    // bInitialize has completed or without a data folder. After a load that failed, the file
    // is left as it is until m_option differs from what that load left in it.
    void SaveOptions();
    const wchar_t* GetAppName() const override;
    // Every level, logging on; 1.
    BOOL InitLogSettings() override;

    // Asks the server to hook (64-bit Windows only), then installs the 32-bit hook. Does not
    // wait for the server.
    void EnableZoom();
    // Asks the server to unhook ("/Disable") or to end ("/Exit"), then removes the 32-bit hook.
    // After "/Exit" it waits (bounded) for that server process to end. Always 1.
    int DisableZoom(bool exitServer);
    // Whether this 32-bit process runs on 64-bit Windows; FALSE where the platform cannot say.
    BOOL IsWow64();
    // Loads the hook library once, by its full path, and returns SetIECBT's result; 0 when the
    // library or its export is missing, or before the program folder is known.
    int InstallHook();
    // ClearIECBT on a loaded library; the library stays loaded. Always 1.
    int RemoveHook();

    void SetOptionFileCalls(const OptionFileCalls& calls) { m_optionCalls = calls; }
    // Null restores the shell's folder.
    void SetAppDataLookup(AppDataLookup lookup) { m_appDataLookup = lookup; }
    bool IsInitialized() const noexcept { return m_bInitialized; }

    CLumivexOption m_option; // the program's options, defaults until loaded

    // Empty until bInitialize has run.
    std::wstring m_strAppDir;      // drive and folder of the program file, with a trailing "\"
    std::wstring m_strDataDir;     // "<app data>\Lumivex", or m_strAppDir without app data
    std::wstring m_strDllPath;     // "<m_strAppDir>LumivexDll.dll"
    std::wstring m_strBrowsersIni; // "<m_strDataDir>\browsers.ini"

private:
    void FindProgramFolder();
    void WriteDefaultBrowsersIni() const;
    // Starts the server with one command once the one before has settled.
    void StartServer(const wchar_t* parameters);

    OptionFileCalls m_optionCalls = kOptionFile;
    AppDataLookup m_appDataLookup = nullptr;
    bool m_bInitialized = false;
    // The options as a failed load left them: the file there is the user's, not these defaults.
    std::optional<CLumivexOption> m_unloadedOptions;
    UniqueHandle m_hServerProcess; // the server process of the last command started
};

// The controller of this process, constructed at the first call and destroyed at exit.
CCoreAssist& GetCoreAssist();

} // namespace lumivex
