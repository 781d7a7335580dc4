#include "controller/option_file.h"

#include "support/owners.h"
#include "support/guarded.h"
#include "support/language.h"
#include "support/lumivex_names.h"

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <optional>

namespace lumivex {

namespace {

constexpr const wchar_t* kClassName = L"CCoreAssist";

class CFileSource final : public IOptionSource {
public:
    CFileSource(HANDLE file, std::uint64_t size) : m_file(file), m_remaining(size) {}

    std::size_t Read(void* buffer, std::size_t size) override {
        const auto wanted = static_cast<DWORD>(std::min<std::uint64_t>(
            {static_cast<std::uint64_t>(size), m_remaining, std::uint64_t{0x10000000}}));
        DWORD got = 0;
        if (wanted == 0 || !::ReadFile(m_file, buffer, wanted, &got, nullptr)) {
            m_remaining = 0;
            return 0;
        }
        // A file that shrank while being read ends early; the archive sees the end of data.
        m_remaining = got == 0 ? 0 : m_remaining - got;
        return got;
    }

    std::uint64_t Remaining() const override { return m_remaining; }

private:
    HANDLE m_file;
    std::uint64_t m_remaining;
};

class CFileSink final : public IOptionSink {
public:
    explicit CFileSink(HANDLE file) : m_file(file) {}

    bool Write(const void* data, std::size_t size) override {
        const auto* bytes = static_cast<const char*>(data);
        while (size != 0) {
            const auto step = static_cast<DWORD>(std::min<std::size_t>(size, 0x10000000));
            DWORD written = 0;
            if (!::WriteFile(m_file, bytes, step, &written, nullptr) || written != step) {
                return false;
            }
            bytes += step;
            size -= step;
        }
        return true;
    }

private:
    HANDLE m_file;
};

// One record for an option file that is there but was not loaded. It is no exception, so it
// goes to the writer directly, the way the exception convention hands its texts on.
void LogKeptFile(DWORD level, const std::wstring& what) {
    CFAppAssist* log = GetCurrentLogWriter();
    if (!log) {
        return;
    }
    const std::wstring text = L"Options not loaded: " + what + L"; defaults in use";
    ::OutputDebugStringW(text.c_str());
    log->WriteLog(level, text.c_str(), kClassName, L"LoadOptions", nullptr, -1, nullptr);
}

} // namespace

bool DecodeAnsiCodePage(std::string_view bytes, std::wstring& text) {
    text.clear();
    if (bytes.empty()) {
        return true;
    }
    if (bytes.size() > 0x7FFFFFFF) {
        return false;
    }
    const int size = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (needed <= 0) {
        return false;
    }
    text.resize(static_cast<std::size_t>(needed));
    const int done = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), needed);
    if (done <= 0) {
        text.clear();
        return false;
    }
    text.resize(static_cast<std::size_t>(done));
    return true;
}

COptionFile::COptionFile(std::wstring dataDir, std::wstring browsersIni)
    : m_dataDir(std::move(dataDir)), m_browsersIni(std::move(browsersIni)) {}

std::wstring COptionFile::Path() const {
    if (m_dataDir.empty()) {
        return {};
    }
    // The program folder, the fallback data folder, comes with its trailing backslash.
    const bool separated = m_dataDir.back() == L'\\' || m_dataDir.back() == L'/';
    return m_dataDir + (separated ? L"" : L"\\") + kOptionFileName;
}

void COptionFile::MoveToBrowsersIni(const std::wstring& name) const {
    if (moveOldList) {
        moveOldList(name);
        return;
    }
    if (!m_browsersIni.empty()) {
        ::WritePrivateProfileStringW(kProcessesSection, name.c_str(), L"0", m_browsersIni.c_str());
    }
}

void COptionFile::ReportSaveFailure() const {
    if (reportSaveFailure) {
        reportSaveFailure();
        return;
    }
    const std::wstring text = GetLangText(L"5", L"Error Occur!");
    ::MessageBoxW(nullptr, text.c_str(), L"Lumivex", MB_OK | MB_ICONEXCLAMATION);
}

OptionLoad COptionFile::LoadOptions(CLumivexOption& option) const {
    const std::optional<OptionLoad> found =
        Guarded(kClassName, L"LoadOptions", std::optional<OptionLoad>(),
                [&] { return std::optional<OptionLoad>(ReadRecord(option)); });
    if (!found) {
        // Given up part-way: what was read cannot be trusted, and the file is not the record.
        option.SetDefaults();
        return OptionLoad::kFailed;
    }
    return *found;
}

OptionLoad COptionFile::ReadRecord(CLumivexOption& option) const {
    const std::wstring path = Path();
    if (path.empty() || ::_waccess(path.c_str(), 0) != 0) {
        return OptionLoad::kNoFile;
    }
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        // Gone since it was looked for: as good as never there.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return OptionLoad::kNoFile;
        }
        // Held by a scanner or a backup, or not ours to read: next run may read it.
        LogKeptFile(LOG_CALL_FAIL,
                    path + L" could not be opened (error " + std::to_wstring(error) + L")");
        return OptionLoad::kFailed;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) {
        const DWORD error = ::GetLastError();
        option.SetDefaults();
        LogKeptFile(LOG_CALL_FAIL,
                    path + L" could not be read (error " + std::to_wstring(error) + L")");
        return OptionLoad::kFailed;
    }
    CFileSource source(file.get(), static_cast<std::uint64_t>(size.QuadPart));
    COptionArchive archive(source, DecodeAnsiCodePage);
    if (option.Serialize(archive, [this](const std::wstring& name) { MoveToBrowsersIni(name); })) {
        return OptionLoad::kLoaded;
    }
    if (size.QuadPart == 0) {
        return OptionLoad::kNoFile; // defaults, and nothing of the user's to keep
    }
    file.reset(); // closed, so the copy sees what was read
    KeepDamagedFile(path);
    return OptionLoad::kFailed;
}

void COptionFile::KeepDamagedFile(const std::wstring& path) const {
    const std::wstring copy = path + kCorruptCopySuffix;
    // The latest damaged file replaces an older copy: it is the one the user last had.
    std::wstring kept = L"a copy is kept as " + copy;
    if (!::CopyFileW(path.c_str(), copy.c_str(), FALSE)) {
        kept = L"no copy could be made (error " + std::to_wstring(::GetLastError()) + L")";
    }
    LogKeptFile(LOG_OTHER_ERROR, path + L" is damaged; " + kept);
}

bool COptionFile::WriteRecord(CLumivexOption& option, void* file) const {
    return Guarded(kClassName, L"SaveOptions", false, [&] {
        CFileSink fileSink(file);
        std::unique_ptr<IOptionSink> wrapped;
        if (wrapFileSink) {
            wrapped = wrapFileSink(fileSink);
        }
        COptionArchive archive(wrapped ? *wrapped : static_cast<IOptionSink&>(fileSink));
        const bool serialized = option.Serialize(archive);
        const bool flushed = archive.Flush();
        return serialized && flushed && ::FlushFileBuffers(file) != FALSE;
    });
}

void COptionFile::SaveOptions(CLumivexOption& option) const {
    Guarded(kClassName, L"SaveOptions", [&] {
        const std::wstring path = Path();
        if (path.empty()) {
            return;
        }
        // An old file that may not be written stays as it is, without a word.
        if (::_waccess(path.c_str(), 0) == 0 && ::_waccess(path.c_str(), 6) != 0) {
            return;
        }
        const std::wstring newPath = path + L".new";
        UniqueHandle file(::CreateFileW(newPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return; // cannot be created: no message, nothing written
        }
        bool saved = WriteRecord(option, file.get());
        // Closed before the move: an open file cannot take the old one's place.
        saved = ::CloseHandle(file.release()) != FALSE && saved;
        saved = saved && ::MoveFileExW(newPath.c_str(), path.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        if (!saved) {
            ::DeleteFileW(newPath.c_str());
            ReportSaveFailure();
        }
    });
}

} // namespace lumivex
