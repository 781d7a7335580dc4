#include "app/met_programs.h"

#include "app/program_rules.h"
#include "app/program_settings.h"
#include "support/lumivex_names.h"

namespace lumivex::app {

bool CMetPrograms::Create(HINSTANCE instance, const std::wstring& configIni, MetHandler onMet) {
    m_configIni = configIni;
    m_onMet = std::move(onMet);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &CMetPrograms::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kMetProgramsClass;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    // A top-level window, never shown: the library finds it by its class (FindWindowW sees no
    // message-only window).
    m_window.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kMetProgramsClass, L"", WS_POPUP, 0, 0, 0, 0,
                                     nullptr, nullptr, instance, this));
    return static_cast<bool>(m_window);
}

LRESULT CALLBACK CMetPrograms::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (message == kProgramMetMessage) {
        if (auto* self =
                reinterpret_cast<CMetPrograms*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
            self->OnProgramMet(static_cast<DWORD>(wParam));
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void CMetPrograms::OnProgramMet(DWORD processId) {
    // Any program can post this; the name is the process's own, never taken from the message.
    const std::wstring name = ProgramNameOfProcess(processId);
    if (name.empty()) {
        return;
    }
    const bool kept = RememberMetProgram(m_configIni, name);
    if (m_onMet && (kept || m_configIni.empty())) {
        m_onMet(name);
    }
}

std::wstring ProgramNameOfProcess(DWORD processId) {
    if (processId == 0) {
        return std::wstring();
    }
    // Limited rights reach programs of the other bitness and of higher integrity alike.
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) {
        return std::wstring();
    }
    wchar_t path[MAX_PATH * 2] = {};
    DWORD length = ARRAYSIZE(path);
    if (!::QueryFullProcessImageNameW(process.get(), 0, path, &length)) {
        return std::wstring();
    }
    return ProgramNameOf(std::wstring_view(path, length));
}

} // namespace lumivex::app
