// "AppOption.data" in the per-user data folder: loading and saving the option record.
//
//   COptionFile file(m_strDataDir, m_strBrowsersIni);
//   file.LoadOptions(m_option);   // start-up
//   file.SaveOptions(m_option);   // exit, tray-icon check box
//
// Saving writes "AppOption.data.new" beside the file and moves it over the old one only when it
// is complete and flushed, so a crash or a full disk during a save keeps the previous options.
// A file that is there but cannot be read is the user's: the load says so, and a damaged one is
// also copied to "AppOption.data.corrupt" before anything can write over it.
#pragma once

#include "controller/lumivex_option.h"

#include <functional>
#include <memory>
#include <string>

namespace lumivex {

constexpr const wchar_t* kOptionFileName = L"AppOption.data";
// Added to the file's path for the copy of a damaged file.
constexpr const wchar_t* kCorruptCopySuffix = L".corrupt";

// What a load found.
enum class OptionLoad {
    kLoaded, // the file's whole content is in the record
    kNoFile, // none yet (or an empty one, which holds nothing to keep): the first save writes it
    kFailed, // there, but not read as a whole (held by another program, unreadable, damaged)
};

// Widens single-byte text through the system's ANSI code page.
bool DecodeAnsiCodePage(std::string_view bytes, std::wstring& text);

class COptionFile {
public:
    // `dataDir` with or without a trailing backslash; empty means no folder is known yet, and then
    // nothing is read or written (rather than a file at the drive's root).
    COptionFile(std::wstring dataDir, std::wstring browsersIni);

    // "<dataDir>\\AppOption.data", or empty without a data folder.
    std::wstring Path() const;

    // Missing file or one that cannot be opened: the record is left alone. Otherwise the file's
    // content, or the defaults on top of what was read up to the first error (a damaged file is
    // then copied beside itself). Any kFailed writes one log record; the user is never told.
    OptionLoad LoadOptions(CLumivexOption& option) const;

    // Nothing happens, silently, when the new file cannot be created or the old one cannot be
    // written. A failure after that keeps the old file and calls ReportSaveFailure.
    void SaveOptions(CLumivexOption& option) const;

    // Where the names of a version 3 file go; by default "Processes" in browsers.ini, value "0".
    OldBrowserListSink moveOldList;
    // Told of a failed save; by default a message box with the text of key 5.
    std::function<void()> reportSaveFailure;
    // Tests: wraps the sink that writes the new file (to make it fail part-way).
    std::function<std::unique_ptr<IOptionSink>(IOptionSink& file)> wrapFileSink;

private:
    OptionLoad ReadRecord(CLumivexOption& option) const;
    void KeepDamagedFile(const std::wstring& path) const;
    void MoveToBrowsersIni(const std::wstring& name) const;
    void ReportSaveFailure() const;
    bool WriteRecord(CLumivexOption& option, void* file) const;

    std::wstring m_dataDir;
    std::wstring m_browsersIni;
};

} // namespace lumivex
