// Test program with a program application object. The first command-line word picks the case:
//   command         a modeless main dialog gets a command it does not handle; the application
//                   object ends the loop with code 42
//   refuse          start-up refuses; the exit operation still runs and gives 7
//   loaddll <file>  uses the test library and ends; its unload writes to <file>
#include "framework/app.h"
#include "framework/dialog.h"
#include "framework_test_ids.h"

#include <shellapi.h>

#include <memory>
#include <string>

namespace {

// Through the generic function type, which converts to any other without a warning.
template <typename F> F Export(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

class CTestProgram : public lumivex::fw::CWinApp {
public:
    bool InitInstance() override {
        int count = 0;
        LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
        const std::wstring mode = count > 1 ? words[1] : L"";
        const std::wstring file = count > 2 ? words[2] : L"";
        ::LocalFree(words);
        if (mode == L"command") {
            m_dialog = std::make_unique<lumivex::fw::CDialog>(IDD_FW_TEST);
            if (!m_dialog->Create()) {
                return false;
            }
            SetMainWnd(m_dialog.get());
            ::PostMessageW(*m_dialog, WM_COMMAND, MAKEWPARAM(4242, 0), 0);
            return true;
        }
        if (mode == L"loaddll") {
            m_exitOverride = 1;
            HMODULE library = ::LoadLibraryW(L"fw_test_dll.dll");
            auto use = Export<int (*)()>(library, "FwTestUse");
            auto setFile = Export<void (*)(const wchar_t*)>(library, "FwTestSetUnloadFile");
            if (use && setFile && use() == 1) {
                setFile(file.c_str());
                m_exitOverride = 0; // the library stays loaded until the process ends
            }
            return false;
        }
        m_exitOverride = 7;
        return false;
    }
    bool OnCommand(UINT id, UINT) override {
        if (id != 4242) {
            return false;
        }
        ::PostQuitMessage(42);
        return true;
    }
    int ExitInstance() override {
        m_dialog.reset();
        return m_exitOverride >= 0 ? m_exitOverride : CWinApp::ExitInstance();
    }

private:
    std::unique_ptr<lumivex::fw::CDialog> m_dialog;
    int m_exitOverride = -1;
};

CTestProgram theApp;

} // namespace

LUMIVEX_FW_WINMAIN()
