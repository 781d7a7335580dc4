#include "program_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace lumivex::controllertest {

using test::Lines;
using test::Narrow;

std::wstring ProgramFolder::Long(const std::wstring& path) {
    return path.rfind(L"\\\\", 0) == 0 ? path : L"\\\\?\\" + path;
}

ProgramFolder::ProgramFolder(size_t length) {
    m_path = m_root.path();
    if (length == 0) {
        return;
    }
    // Nested folders of at most 100 characters each; a rest of one character could hold no
    // further "\x", so the folder before it gives one up.
    while (m_path.size() < length) {
        const size_t remaining = length - m_path.size();
        if (remaining < 2) {
            ADD_FAILURE() << "cannot pad " << Narrow(m_path) << " to " << length;
            return;
        }
        size_t name = std::min<size_t>(remaining - 1, 100);
        if (remaining - 1 - name == 1) {
            --name;
        }
        m_path += L"\\" + std::wstring(name, L'p');
        if (!CreateDirectoryW(Long(m_path).c_str(), nullptr)) {
            ADD_FAILURE() << "cannot create " << Narrow(m_path) << ": " << GetLastError();
            return;
        }
    }
}

ProgramFolder::~ProgramFolder() {
    if (m_driver.handle()) {
        m_driver.Kill();
    }
    // The deep part first, by "\\?\" paths the plain removal may not reach.
    test::RemoveTree(Long(m_root.path()));
}

bool ProgramFolder::Add(const std::wstring& builtName, const std::wstring& nameHere) {
    const std::wstring from = test::ProgramDir() + L"\\" + builtName;
    if (!CopyFileW(from.c_str(), (*this / nameHere).c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy " << Narrow(from) << " as " << Narrow(nameHere) << ": "
                      << GetLastError();
        return false;
    }
    return true;
}

bool ProgramFolder::Start(const std::wstring& steps) {
    const std::wstring program = appDir() + kDriverName;
    bool started = false;
    if (program.size() < MAX_PATH) {
        started = m_driver.Start(program, steps, m_path);
    } else {
        // Too long a name to pass: start it by its name alone from its own folder.
        test::CurrentDirScope inside(m_path);
        started = m_driver.Start(kDriverName, steps, m_path);
    }
    if (!started) {
        ADD_FAILURE() << "cannot start " << Narrow(program) << ": " << GetLastError();
    }
    return started;
}

bool ProgramFolder::Wait(DWORD timeoutMs) {
    const DWORD code = m_driver.Wait(timeoutMs);
    if (code != 0) {
        ADD_FAILURE() << "the driver ended with " << code
                      << (code == STILL_ACTIVE ? " (still running)" : "");
        return false;
    }
    return true;
}

bool ProgramFolder::Run(const std::wstring& steps, DWORD timeoutMs) {
    return Start(steps) && Wait(timeoutMs);
}

bool ProgramFolder::WaitForReport(const std::string& step, const std::string& result,
                                  DWORD timeoutMs) {
    return test::WaitUntil(
        [&] {
            const std::vector<std::string> results = Results(step);
            return std::find(results.begin(), results.end(), result) != results.end();
        },
        timeoutMs, 20);
}

std::vector<ReportLine> ProgramFolder::Report() const {
    std::vector<ReportLine> report;
    for (const std::string& line : Lines(test::ReadFileBytes(*this / L"report.txt"))) {
        const size_t equals = line.find('=');
        report.emplace_back(line.substr(0, equals),
                            equals == std::string::npos ? "" : line.substr(equals + 1));
    }
    return report;
}

std::vector<std::string> ProgramFolder::Results(const std::string& step) const {
    std::vector<std::string> results;
    for (const ReportLine& line : Report()) {
        if (line.first == step) {
            results.push_back(line.second);
        }
    }
    return results;
}

std::string ProgramFolder::Result(const std::string& step) const {
    const std::vector<std::string> results = Results(step);
    if (results.empty()) {
        return "<missing>";
    }
    return results.size() == 1 ? results.front() : "<repeated>";
}

std::vector<std::string> ProgramFolder::ServerCalls() const {
    return Lines(test::ReadFileBytes(*this / L"server_calls.log"));
}

std::vector<std::string> ProgramFolder::HookCalls() const {
    return Lines(test::ReadFileBytes(*this / L"hook_calls.log"));
}

std::string ProgramFolder::Transcript() const {
    std::string text = "program folder " + Narrow(m_path) + "\nreport:\n" +
                       test::ReadFileBytes(*this / L"report.txt") + "server calls:\n" +
                       test::ReadFileBytes(*this / L"server_calls.log") + "hook calls:\n" +
                       test::ReadFileBytes(*this / L"hook_calls.log");
    return text;
}

bool SameFolder(std::string a, std::string b) {
    for (std::string* folder : {&a, &b}) {
        while (!folder->empty() && folder->back() == '\\') {
            folder->pop_back();
        }
        std::transform(folder->begin(), folder->end(), folder->begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    }
    return a == b;
}

} // namespace lumivex::controllertest
