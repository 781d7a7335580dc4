// The first page of the main dialog: how zoom is used, and whether Lumivex starts at logon.
#pragma once

#include "framework/dialog.h"

namespace lumivex::app {

class CPgeFindWin : public fw::CDialog {
public:
    explicit CPgeFindWin(HWND parent = nullptr);

    // Non-zero writes the autostart value with this program's folder, zero deletes it.
    void SetAutostart(int flag);
    bool IsAutostartSet() const;

    int m_bAutostart = 0; // check box 1056

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};

} // namespace lumivex::app
