// An edit box laid over one cell of a list for editing it in place, as a list's own label editing
// does for its first column: Enter or a click elsewhere keeps what was typed, Escape gives it up.
// Made at the first edit and hidden between edits.
#pragma once

#include "framework/wnd.h"

#include <functional>
#include <string>

namespace lumivex::fw {

class CInPlaceEdit : public CWnd {
public:
    // Gets what was typed, or null when the edit was given up.
    using DoneHandler = std::function<void(const std::wstring* typed)>;

    CInPlaceEdit();

    // Shows the box with `text` over `cell` (client coordinates of `parent`), all of it
    // selected, and gives it the focus. `styles` adds edit styles (ES_NUMBER, say). An edit
    // under way ends first, kept. False when the box could not be made.
    bool Begin(HWND parent, const RECT& cell, const std::wstring& text, DWORD styles,
               DoneHandler done);
    // Ends an edit under way: `keep` hands the text on, else it is given up. Nothing when none.
    void End(bool keep);
    bool Editing() const { return static_cast<bool>(m_done); }

    // Enter and Escape belong to the box while it edits, not to the dialog around it.
    bool PreTranslateMessage(MSG* msg) override;

private:
    DoneHandler m_done; // set while an edit is under way
};

} // namespace lumivex::fw
