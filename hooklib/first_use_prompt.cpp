#include "hooklib/first_use_prompt.h"

#include "hooklib/dll_app.h"
#include "hooklib/dlg_msg_prompt.h"
#include "hooklib/prompt_frame.h"
#include "hooklib/prompt_text.h"
#include "support/guarded.h"

#include <memory>

namespace lumivex::hook {

HMODULE CFirstUsePrompt::Run() {
    LumivexDllApp& app = TheApp();
    std::unique_ptr<CDlgMsgPrompt> dialog;
    const bool show = Guarded(L"", L"", false, [&] {
        std::wstring exeName;
        if (!app.Config().bNeedPrompt(exeName)) {
            return false;
        }
        if (!::IsWindowVisible(m_hWnd)) {
            return false; // the run's one prompt is used up
        }
        // The library never starts the language service, so the built-in texts are the ones
        // shown; its code is not linked in, which keeps the library small in every process.
        dialog = std::make_unique<CDlgMsgPrompt>(
            FormatPromptText(kPromptTitleText, exeName),
            EditControlLineBreaks(FormatPromptText(kPromptMessageText, exeName)), PROMPT_SHOW_OK,
            ::LoadIconW(nullptr, IDI_INFORMATION), kPromptCheckText, m_hWnd);
        m_pen.reset(MakeFlashPen());
        ::SetTimer(m_hWnd, IDT_PROMPT_FLASH, kPromptFlashMs, nullptr);
        return true;
    });
    if (!show) {
        return nullptr;
    }
    HMODULE held = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(&FormatPromptText), &held);
    // Outside any guard: the dialog's loop runs the host's own procedures, whose faults are the
    // host's to handle.
    dialog->DoModal();
    Guarded(L"", L"", [&] {
        if (dialog->m_bChecked) {
            app.Config().vDisablePrompt();
        }
        dialog.reset();
        // The loop may have seen the window destroyed, which took its timer along; its handle may
        // already name another window then.
        if (::IsWindow(m_hWnd) && ::KillTimer(m_hWnd, IDT_PROMPT_FLASH)) {
            RepaintWindow(m_hWnd);
        }
    });
    m_pen.reset();
    return held;
}

void CFirstUsePrompt::OnTick() {
    DrawFlashFrame(m_hWnd, m_pen.get());
}

} // namespace lumivex::hook
