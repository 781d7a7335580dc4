// File and folder helpers for tests. Every helper fails the test loudly instead of returning junk.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lumivex::test {

// A fresh empty folder under the temporary folder, removed with everything in it at scope end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// Sets the current folder for the scope and restores the previous one.
class CurrentDirScope {
public:
    explicit CurrentDirScope(const std::wstring& dir);
    ~CurrentDirScope();
    CurrentDirScope(const CurrentDirScope&) = delete;
    CurrentDirScope& operator=(const CurrentDirScope&) = delete;

private:
    std::wstring m_previous;
};

std::wstring ProgramDir(); // folder of the running test program, no trailing backslash
std::wstring AppDataDir(); // the user's roaming application-data folder

bool FileExists(const std::wstring& path);
bool DirExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path); // empty when missing
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
void WriteFileText(const std::wstring& path, const std::wstring& utf16); // UTF-16LE with BOM
void RemoveTree(const std::wstring& path);
std::vector<std::wstring> ListFiles(const std::wstring& dir); // names only, sorted

// The complete lines of `bytes` without their line feeds; a last line without one (still being
// written) is left out.
std::vector<std::string> Lines(const std::string& bytes);

std::string Narrow(const std::wstring& text); // UTF-8, for test messages
std::wstring Widen(const std::string& utf8);

// Stand-ins for the shell's application-data folder where the product takes a lookup of it:
// none at all, or the folder last given to UseTestAppData.
bool NoAppData(std::wstring& folder);
bool TestAppData(std::wstring& folder);
void UseTestAppData(const std::wstring& folder);

// Removes the per-user Lumivex folder and autostart value, so a test starts as a first run.
void ResetPerUserState();

} // namespace lumivex::test
