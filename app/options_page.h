// The first page of the main dialog: how zoom is used, whether Lumivex starts at logon, whether
// it looks for updates and whether it shows the zoom level.
#pragma once

#include "framework/dialog.h"

#include <functional>

namespace lumivex::app {

class CPgeFindWin : public fw::CDialog {
public:
    explicit CPgeFindWin(HWND parent = nullptr);

    // Non-zero writes the autostart value with this program's folder, zero deletes it.
    void SetAutostart(int flag);
    bool IsAutostartSet() const;

    int m_bAutostart = 0;   // check box 1056
    int m_bCheckUpdate = 0; // check box 1057: the option of the same name, saved at each click
    // Told when the user turns the update check on or off.
    std::function<void(bool on)> m_onCheckUpdateChanged;
    int m_bZoomLabel = 1; // check box 1058: the zoom level on screen after each step
    std::function<void(bool on)> m_onZoomLabelChanged;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};

} // namespace lumivex::app
