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

    // 1 when this program's browser windows may be subclassed. The file is read again only when
    // its last-write time or size changed since the last reading.
    BOOL bIsProcessEnabled() const;

    // 1 when the first-use prompt shall be shown now; `name` receives the program's name.
    BOOL bNeedPrompt(std::wstring& name) const;

    // Records that this program shall never prompt again.
    void vDisablePrompt() const;

    // The level this program's browsers start at: its "Zoom" value, 100 without one.
    int DefaultZoom() const;
    // Whether this program's zoom steps are shown by the main program's label ("Label").
    bool ShowsZoomLabel() const;

    const std::wstring& ConfigFile() const { return m_strConfigFile; }

    // For tests: where the per-user folder is looked up (null: the shell's application-data
    // folder, the default). Returns false when there is none.
    using AppDataLookup = lumivex::AppDataLookup;
    void SetAppDataLookup(AppDataLookup lookup) { m_appDataLookup = lookup; }

protected:
    std::wstring m_strConfigFile;

private:
    // The file's stamp at the last reading and what that reading decided.
    struct EnabledReading {
        bool valid = false;
        bool exists = false;
        FILETIME written = {};
        ULONGLONG size = 0;
        BOOL enabled = TRUE;
    };

    AppDataLookup m_appDataLookup = nullptr;
    mutable SRWLOCK m_readingLock = SRWLOCK_INIT;
    mutable EnabledReading m_reading;
};

} // namespace lumivex::hook
