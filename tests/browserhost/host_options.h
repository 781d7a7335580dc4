// Command-line switches of the browser host. No Win32 here: the unit tests drive it directly.
#pragma once

#include <string>
#include <vector>

namespace lumivex::browserhost {

// Index of the browser window on the second interface thread; the main thread's browsers are
// numbered from 0.
constexpr int kSecondThreadBrowserIndex = 100;
constexpr int kMaxBrowsers = 16;

struct HostOptions {
    std::wstring logPath; // --log=PATH; empty: events go to the debugger output only
    int browsers = 1;     // --browsers=N, 0 to kMaxBrowsers
    int minZoom = 10;     // --range=MIN,MAX as the browser reports it (16-bit values)
    int maxZoom = 1000;
    int rangeAnswers = -1; // --range-answers=N: later range queries fail; -1: all answered
    std::wstring className = L"Internet Explorer_Server"; // --class=NAME
    int slowDocumentMs = 0;     // --slow-document=MS[,INDEX]: the document message waits that long
    int slowDocumentIndex = -1; // the one slow browser; -1: every browser
    std::vector<int> invisible; // --invisible=INDEX (repeatable): created without WS_VISIBLE
    bool secondThread = false;  // --second-thread
    std::wstring loadPath;      // --load=PATH: LoadLibraryW at start
    std::wstring title = L"Lumivex Test Host"; // --title=TEXT of the main top-level window
    int selfTestIndex = -1; // --selftest=INDEX: run the self-test once READY is written
    int exitAfterMs = 0;    // --exit-after=MS: quit by itself after that long

    bool IsInvisible(int index) const;
    bool IsSlow(int index) const;
};

struct OptionsResult {
    HostOptions options; // filled as far as parsed, so the log path is known even on an error
    std::wstring error;  // empty when every switch was understood
};

// `args` without the program name. Switches are "--name=value" or "--name".
OptionsResult ParseHostOptions(const std::vector<std::wstring>& args);

} // namespace lumivex::browserhost
