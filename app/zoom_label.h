// The zoom level on screen: after a zoom step in a browser window, a small label ("140 %") over
// that window for about a second, like a browser's zoom bubble. The hook library posts each step
// to this window (support/lumivex_names.h); the label takes no focus and no clicks.
#pragma once

#include "support/owners.h"

#include <windows.h>

#include <string>

namespace lumivex::app {

class CZoomLabel {
public:
    CZoomLabel() = default;
    CZoomLabel(const CZoomLabel&) = delete;
    CZoomLabel& operator=(const CZoomLabel&) = delete;

    // Makes the hidden label window; false when it could not be made (the steps then show
    // nothing).
    bool Create(HINSTANCE instance);
    // Off: steps show nothing, and a label on screen goes.
    void SetEnabled(bool on);
    bool Enabled() const { return m_enabled; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Show(HWND browser, int level);
    void Paint();

    UniqueWindow m_window;
    UniqueFont m_font;
    UINT m_fontDpi = 0;
    std::wstring m_text;
    bool m_enabled = true;
};

// The "show the zoom level" setting, in Config.ini of the per-user folder; on when unset.
bool ReadZoomLabelSetting(const std::wstring& configFile);
void WriteZoomLabelSetting(const std::wstring& configFile, bool on);

} // namespace lumivex::app
