// The first-use prompt: shown once per run of a program, over the first browser window whose
// browser was reached, while that window's edge flashes.
#include "hooklib/dll_app.h"
#include "hooklib/dlg_msg_prompt.h"
#include "hooklib/prompt_frame.h"
#include "hooklib/prompt_text.h"
#include "hooklib/sub_win_table.h"

namespace lumivex::hook {

void CSubIEWin::ShowFirstUsePrompt() {
    LumivexDllApp& app = TheApp();
    std::wstring exeName;
    if (!app.bNeedPrompt(exeName)) {
        return;
    }
    // The dialog's loop may see the window destroyed and this object dropped from the table:
    // from here on only local values are used.
    const HWND window = m_hWnd;
    if (!::IsWindowVisible(window)) {
        return; // the run's one prompt is used up
    }
    CreateFlashPen(); // made only where a prompt is shown, not in every process
    ::SetTimer(window, IDT_PROMPT_FLASH, kPromptFlashMs, nullptr);
    const HICON icon = ::LoadIconW(nullptr, IDI_INFORMATION);
    // The library never starts the language service, so the built-in texts are the ones shown;
    // its code is not linked in, which keeps the library small in every process it enters.
    const std::wstring title = FormatPromptText(kPromptTitleText, exeName);
    const std::wstring message =
        EditControlLineBreaks(FormatPromptText(kPromptMessageText, exeName));

    bool ticked = false;
    {
        CDlgMsgPrompt dialog(title, message, PROMPT_SHOW_OK, icon, kPromptCheckText, window);
        dialog.DoModal();
        ticked = dialog.m_bChecked != FALSE;
    }
    if (ticked) {
        app.vDisablePrompt();
    }
    // A destroyed window took its timer along, and its handle may already name another window.
    if (SubWinTable().FindSubWin(window).get() == this && ::IsWindow(window)) {
        ::KillTimer(window, IDT_PROMPT_FLASH);
        RepaintWindow(window);
    }
}

void CSubIEWin::OnTimer(WPARAM timerId) {
    if (timerId == IDT_PROMPT_FLASH) {
        DrawFlashFrame(m_hWnd);
    }
}

} // namespace lumivex::hook
