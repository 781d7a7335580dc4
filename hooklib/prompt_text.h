// The first-use prompt's built-in texts and how the program's name goes into them. Free of
// window calls so tests drive it directly.
#pragma once

#include <string>
#include <string_view>

namespace lumivex::hook {

// Built-in texts; "%s" stands for the program's executable name.
inline constexpr wchar_t kPromptTitleText[] = L"Lumivex - %s";
inline constexpr wchar_t kPromptMessageText[] =
    L"Page zoom functionality is added to this browser [%s]by Lumivex. \n Press [CTRL +] or "
    L"[CTRL Mousewheel up] to zoom in. Press [CTRL -] or [CTRL Mousewheel down] to zoom out. "
    L"Reset zoom to 100%% with Ctrl-0.";
inline constexpr wchar_t kPromptCheckText[] = L"Don't prompt again";

// Every "%s" becomes `name` and "%%" one per-cent sign; any other per-cent sequence stays as
// written. The format may come from a language file, so it must never be able to make the
// formatting read arguments that were not passed.
std::wstring FormatPromptText(std::wstring_view format, std::wstring_view name);

// `text` with every line break as "\r\n": a multi-line edit control breaks a line only there.
std::wstring EditControlLineBreaks(std::wstring_view text);

} // namespace lumivex::hook
