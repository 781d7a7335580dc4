// The demo driver's command line: a sequence of steps run in order, so one start of the driver
// under Wine does all the steps between two pictures. Window-free, so it is tested directly.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumivex::demo {

enum class Step {
    WaitMain,  // wait-main MS: until Lumivex's main dialog answers; prints its place
    WaitShown, // wait-shown MS: the same, until the dialog is also visible
    About,     // about: shows the About page
    Programs,  // programs: shows the dialog and clicks the programs page's tab
    TrayMenu,  // tray-menu: opens the tray menu by the icon's right click; prints its place
    CloseMenu, // close-menu: Escape, until the menu is gone
    Language,  // language ID: the per-user Config.ini asks for that language
    NoPrompt,  // no-prompt PROGRAM: the "Browsers" entry that lets PROGRAM through unprompted
    WaitHost,  // wait-host MS: until the browser host's frame answers
    FocusPage, // focus-page: page 0 gets the focus and Lumivex's hook takes it over
    ZoomIn,    // zoom-in N: Ctrl and "+" N times, each until the page grew
    Zoom,      // zoom: prints the page's zoom level
    QuitHost,  // quit-host: ends the browser host
    Exit,      // exit: Lumivex's "E&xit" button
};

struct Command {
    Step step = Step::WaitMain;
    long long number = 0; // MS, ID or N
    std::wstring text;    // PROGRAM
};

// The steps of `words` (the driver's arguments, its own name not included); nothing, with
// `error` saying why, for an unknown verb, a missing argument or a bad number.
std::optional<std::vector<Command>> ParseCommands(const std::vector<std::wstring>& words,
                                                  std::wstring& error);

} // namespace lumivex::demo
