// The programs page: the programs Lumivex has met and those browsers.ini names, each with whether
// it is zoomed and the level its pages start at, edited in place. Every change goes into
// browsers.ini at once; the hook library obeys it from the program's next window on.
#pragma once

#include "app/program_rules.h"
#include "framework/dialog.h"
#include "framework/in_place_edit.h"
#include "framework/list_ctrl.h"

#include <windows.h>
#include <commctrl.h>

#include <set>
#include <string>
#include <vector>

namespace lumivex::app {

class CPgePrograms : public fw::CDialog {
public:
    // The files it reads and writes; either may be empty (no per-user folder).
    CPgePrograms(std::wstring browsersIni, std::wstring configIni);

    // A program met now: listed at once.
    void OnProgramMet(const std::wstring& name);
    // Reads both files again, keeping the selection (another program or the user may have
    // changed them).
    void Reload();

    // F2 and Enter in the list edit the current program's level.
    bool PreTranslateMessage(MSG* msg) override;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

private:
    enum Column { kNameColumn = 0, kLevelColumn = 1 };

    void Fill();
    void OnItemChanged(const NMLISTVIEW& change);
    // `at`: where the double click was, in the list's client coordinates.
    void OnDoubleClick(POINT at);
    void BeginLevelEdit(int item);
    void OnLevelTyped(const std::wstring& name, const std::wstring& typed);
    int ItemOf(const std::wstring& name) const;

    std::wstring m_browsersIni;
    std::wstring m_configIni;
    std::set<std::wstring> m_metThisRun; // kept here too when there is no Config.ini
    std::vector<ProgramRow> m_rows;      // in the list's order
    fw::CListCtrl m_list;
    fw::CInPlaceEdit m_levelEdit;
    bool m_filling = false;         // the list's own notifications while it is filled are no edits
    bool m_reloadAfterEdit = false; // a program was met while the user typed
};

} // namespace lumivex::app
