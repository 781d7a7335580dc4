// Rules of the main program that need no window: what the command line asks for, the autostart
// command, the version label, the files an installer set aside and where a tab page goes. Driven
// directly by tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumivex::app {

// What the first switch of the command line asks for; later switches never count.
enum class StartRequest {
    Normal,    // no switch, or one that means nothing here
    Clean,     // "clean...": remove the autostart value, end a running instance, end
    Uninstall, // "u...": end a running instance, end
    Minimized, // "m...": start hidden in the tray
};

// Compares the first switch (without its '/' or '-') case-insensitively: its first five
// characters with "clean", else its first with "u", else with "m".
StartRequest RequestFromSwitches(const std::vector<std::wstring>& switches);

// The autostart command for a program folder that ends in a backslash: "<folder>Lumivex.exe /m",
// with the program's path in quotes when the folder holds a blank (the shell would otherwise
// split it there). The file name is always Lumivex.exe, whatever the running file is called.
std::wstring AutostartCommand(std::wstring_view programFolder);

// A file an installer set aside in the program folder: "<name>.<digits>.old", any case.
bool IsSetAsideFileName(std::wstring_view fileName);

// "Lumivex V<a>.<b>.<c>" from the fields of a product version ("1", "2", "0", "0" gives
// "Lumivex V1.2.0"). With fewer fields, those there are; with none, the product name alone.
std::wstring VersionLabel(const std::vector<std::wstring>& versionFields);

// A rectangle in a tab control's client coordinates.
struct PageBox {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
};

// Where a page goes inside a tab control with its tabs on top: inside the control's client
// area, below the row of tabs whose first item is `tabHeight` high.
PageBox PageBoxFor(const PageBox& client, long tabHeight);

// The zoom label's text for a level: "140 %".
std::wstring ZoomLabelText(int level);
// Where a label of `width` by `height` goes over a browser window's rectangle (screen
// coordinates): centred across it, `margin` below its top edge, and never further left or up
// than the window itself.
PageBox ZoomLabelBoxFor(const PageBox& browser, long width, long height, long margin);

} // namespace lumivex::app
