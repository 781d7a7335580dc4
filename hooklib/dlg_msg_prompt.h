// A short message with an optional icon, checkbox and OK/Cancel buttons, from the hook
// library's dialog resource; the first-use prompt is its one use.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

#include <string>

namespace lumivex::hook {

inline constexpr int PROMPT_SHOW_OK = 1;
inline constexpr int PROMPT_SHOW_CANCEL = 2;

class CDlgMsgPrompt : public fw::CDialog {
public:
    // `checkText` null or empty hides the checkbox; `icon` null hides the icon. The icon is not
    // owned.
    CDlgMsgPrompt(const std::wstring& title, const std::wstring& message, int buttons, HICON icon,
                  const wchar_t* checkText, HWND parent);

    std::wstring m_strTitle;
    std::wstring m_strMessage;
    std::wstring m_strCheckText;
    int m_nButtons;
    HICON m_hIcon;
    // Whether the checkbox was ticked when the dialog closed, however it was closed.
    BOOL m_bChecked = FALSE;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void CenterOnOwner();
    void TakeCheck();

    fw::CStatic m_icon;
};

} // namespace lumivex::hook
