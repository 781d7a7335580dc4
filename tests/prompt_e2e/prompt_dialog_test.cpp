// The prompt dialog class on its own, in this process: what its arguments show and hide, and that
// the tick is taken however the dialog closes.
#include "hooklib/dlg_msg_prompt.h"
#include "hooklib/resource.h"

#include <gtest/gtest.h>

#include <functional>

using lumivex::hook::CDlgMsgPrompt;
using lumivex::hook::PROMPT_SHOW_CANCEL;
using lumivex::hook::PROMPT_SHOW_OK;

namespace {

// Runs `whileOpen` once the dialog's own initialisation is done, then lets the run go on.
class ProbedPrompt : public CDlgMsgPrompt {
public:
    using CDlgMsgPrompt::CDlgMsgPrompt;
    std::function<void(HWND)> whileOpen;

protected:
    BOOL OnInitDialog() override {
        const BOOL result = CDlgMsgPrompt::OnInitDialog();
        if (whileOpen) {
            whileOpen(*this);
        }
        return result;
    }
};

struct Seen {
    std::wstring caption;
    std::wstring message;
    std::wstring check;
    bool iconShown = false;
    bool checkShown = false;
    bool okShown = false;
    bool cancelShown = false;
    RECT icon = {};
    RECT text = {};
};

RECT ClientRectOf(HWND dialog, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

// The dialog itself is not shown yet while it initialises, so the style says what will show.
bool Shown(HWND dialog, int id) {
    return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

Seen Look(HWND dialog) {
    Seen seen;
    seen.caption = TextOf(dialog);
    seen.message = TextOf(GetDlgItem(dialog, IDC_PROMPT_TEXT));
    seen.check = TextOf(GetDlgItem(dialog, IDC_PROMPT_CHECK));
    seen.iconShown = Shown(dialog, IDC_PROMPT_ICON);
    seen.checkShown = Shown(dialog, IDC_PROMPT_CHECK);
    seen.okShown = Shown(dialog, IDOK);
    seen.cancelShown = Shown(dialog, IDCANCEL);
    seen.icon = ClientRectOf(dialog, IDC_PROMPT_ICON);
    seen.text = ClientRectOf(dialog, IDC_PROMPT_TEXT);
    return seen;
}

} // namespace

TEST(PromptDialog, IconCheckboxAndOkShowWhenGiven) {
    HICON icon = LoadIconW(nullptr, IDI_INFORMATION);
    ProbedPrompt dialog(L"Lumivex - hh.exe", L"line one\r\nline two", PROMPT_SHOW_OK, icon,
                        L"Don't prompt again", nullptr);
    Seen seen;
    HICON iconSet = nullptr;
    dialog.whileOpen = [&](HWND d) {
        seen = Look(d);
        iconSet =
            reinterpret_cast<HICON>(SendDlgItemMessageW(d, IDC_PROMPT_ICON, STM_GETICON, 0, 0));
        PostMessageW(d, WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(seen.caption, L"Lumivex - hh.exe");
    EXPECT_EQ(seen.message, L"line one\r\nline two");
    EXPECT_EQ(seen.check, L"Don't prompt again");
    EXPECT_TRUE(seen.iconShown);
    EXPECT_EQ(iconSet, icon);
    EXPECT_TRUE(seen.checkShown);
    EXPECT_TRUE(seen.okShown);
    EXPECT_FALSE(seen.cancelShown);
    EXPECT_GT(seen.text.left, seen.icon.right) << "the message stays right of the icon";
    EXPECT_FALSE(dialog.m_bChecked);
}

TEST(PromptDialog, WithoutIconOrCheckTextTheMessageTakesTheIconsPlace) {
    ProbedPrompt dialog(L"t", L"m", PROMPT_SHOW_CANCEL, nullptr, nullptr, nullptr);
    Seen seen;
    dialog.whileOpen = [&](HWND d) {
        seen = Look(d);
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(seen.iconShown);
    EXPECT_FALSE(seen.checkShown);
    EXPECT_FALSE(seen.okShown);
    EXPECT_TRUE(seen.cancelShown);
    EXPECT_EQ(seen.text.left, seen.icon.left);
    EXPECT_EQ(seen.text.top, seen.icon.top);
    EXPECT_GT(seen.text.right - seen.text.left, seen.icon.right - seen.icon.left)
        << "moved, not resized";

    ProbedPrompt empty(L"t", L"m", PROMPT_SHOW_OK | PROMPT_SHOW_CANCEL, nullptr, L"", nullptr);
    empty.whileOpen = [&](HWND d) {
        seen = Look(d);
        PostMessageW(d, WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(empty.DoModal(), IDOK);
    EXPECT_FALSE(seen.checkShown) << "an empty text hides the checkbox like a null one";
    EXPECT_TRUE(seen.okShown && seen.cancelShown);
}

TEST(PromptDialog, TickCountsWhicheverWayTheDialogCloses) {
    struct Way {
        const char* name;
        std::function<void(HWND)> close;
        INT_PTR result;
    };
    const Way ways[] = {
        {"OK", [](HWND d) { PostMessageW(d, WM_COMMAND, IDOK, 0); }, IDOK},
        {"Escape or Cancel", [](HWND d) { PostMessageW(d, WM_COMMAND, IDCANCEL, 0); }, IDCANCEL},
        {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
    };
    for (const Way& way : ways) {
        for (bool tick : {false, true}) {
            SCOPED_TRACE(std::string(way.name) + (tick ? " ticked" : " not ticked"));
            ProbedPrompt dialog(L"t", L"m", PROMPT_SHOW_OK, nullptr, L"c", nullptr);
            dialog.whileOpen = [&](HWND d) {
                if (tick) {
                    SendDlgItemMessageW(d, IDC_PROMPT_CHECK, BM_CLICK, 0, 0);
                }
                way.close(d);
            };
            EXPECT_EQ(dialog.DoModal(), way.result);
            EXPECT_EQ(dialog.m_bChecked != FALSE, tick);
        }
    }
}
