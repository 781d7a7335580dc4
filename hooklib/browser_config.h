// Per-program configuration of the hook library: where browsers.ini lies, whether this program
// may be zoomed, and whether the first-use prompt is still due in this run.
#pragma once

#include "support/user_data_folder.h"

#include <windows.h>

#include <string>

namespace lumivex::hook {

class CBrowserConfig {
public:
    // Works out m_strConfigFile and creates the per-user folder; always 1. `libraryModule` is
    // the library's own module, whose folder is the fallback when there is no per-user folder.
    BOOL bGetAllConfigs(HMODULE libraryModule);

    // The lower-case file name of this process's executable, or empty.
    std::wstring GetProcessExeName() const;

    // 1 when this program's browser windows may be subclassed. Reads the file every time.
    BOOL bIsProcessEnabled() const;

    // 1 when the first-use prompt shall be shown now; `name` receives the program's name.
    BOOL bNeedPrompt(std::wstring& name) const;

    // Records that this program shall never prompt again.
    void vDisablePrompt() const;

    const std::wstring& ConfigFile() const { return m_strConfigFile; }

    // For tests: where the per-user folder is looked up (null: the shell's application-data
    // folder, the default). Returns false when there is none.
    using AppDataLookup = lumivex::AppDataLookup;
    void SetAppDataLookup(AppDataLookup lookup) { m_appDataLookup = lookup; }

protected:
    std::wstring m_strConfigFile;

private:
    AppDataLookup m_appDataLookup = nullptr;
};

} // namespace lumivex::hook
