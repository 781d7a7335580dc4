// Commands a test sends to a host's top-level window, and what comes back. No Win32 here: the
// client library and the unit tests share these definitions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumivex::browserhost {

// Class of every top-level window of the host.
inline constexpr wchar_t kFrameClassName[] = L"LumivexTestHost";

// Browser indices run from 0 to this.
constexpr int kMaxBrowserIndex = 1000;

// WM_COPYDATA's dwData for a command; the data is the command as UTF-16 (no terminator needed).
constexpr std::uintptr_t kCommandCopyDataId = 0x4C4D5648;

// Replies (the LRESULT of WM_COPYDATA). Ordinary replies are small numbers; these never are.
constexpr std::intptr_t kReplyBadCommand = -1000; // unknown verb or malformed arguments
// No browser with that index on this frame; for the verbs that need the window, none alive.
constexpr std::intptr_t kReplyNoBrowser = -1001;
constexpr std::intptr_t kReplyNoLibrary = -1002; // nothing loaded (see --load and "load")
constexpr std::intptr_t kReplyNoExport = -1003;  // the loaded library has no "Initialize"

// Exit code when a client called a COM slot the host does not implement and returning was not
// safe (i686: the callee pops the arguments, whose size the stub cannot know).
constexpr unsigned long kUnexpectedSlotExitCode = 0xBAD51070;

enum class Verb {
    Ping,       // ping: 1
    Focus,      // focus N: host foreground, focus moved onto browser N (always a real change)
    FocusFrame, // focus-frame: host foreground, focus on the frame's edit field
    Destroy,    // destroy N
    Create,     // create: a new browser window on this frame; its index (one past every index
                // of the host), announced by a BROWSER line as at start-up
    Initialize, // initialize N [A P B]: Initialize(browser N, A, P, B) of the loaded library
    Load,       // load PATH: LoadLibraryW (replaces the library loaded before)
    FreeLib,    // freelib: FreeLibrary
    Mapped,     // mapped: 1 while the library loaded last is still in the process
    Refs,       // refs N: references held by others on browser N's document, window and browser
    Leak,       // leak N: adds a reference on browser N's browser object that nobody releases
    Zoom,       // zoom N: the zoom level browser N shows
    Wheel,      // wheel N COUNT: sends |COUNT| Ctrl-wheel messages to browser N's window (away
                // from the user for COUNT > 0, towards for COUNT < 0); then "zoom N"
    WndProc,    // wndproc N: 1 while browser N's window procedure is the host's own
    Subclass,   // subclass N: the host subclasses browser N over whatever is there (as programs
                // do after a hook's subclass); 1
    Unsubclass, // unsubclass N: puts back the procedure "subclass" saved; 1
    Seen,       // seen N: messages the host's subclass of browser N has passed on
    Modal,      // modal N: browser N's own procedure runs a message loop (as for a context menu)
                // until "endmodal"; 1 once the loop is entered (a MODAL line marks it)
    EndModal,   // endmodal: ends every such loop; 1
    Fault,      // fault: the frame's own procedure writes through a null pointer (posted); 1
    Throw,      // throw N: browser N's own procedure throws a C++ exception under whatever
                // subclass is in front, caught around the sending call; 1 when caught
    SelfTest,   // selftest N: document-to-browser sequence and zoom 150 in-process; 1 on success
    Unexpected, // unexpected N: calls an unimplemented IWebBrowser2 slot (GoHome)
    Quit,       // quit: the whole host ends
};

struct HostCommand {
    Verb verb = Verb::Ping;
    int index = -1;                // browser index for the verbs that take one
    std::vector<long long> values; // the optional values of "initialize", the count of "wheel"
    std::wstring path;             // "load"
};

struct CommandResult {
    HostCommand command;
    std::wstring error; // empty when the text was understood
};

CommandResult ParseHostCommand(std::wstring_view text);

} // namespace lumivex::browserhost
