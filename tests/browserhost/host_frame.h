// The host's top-level window: a frame with an edit field and browser windows, which takes
// the tests' commands as WM_COPYDATA.
#pragma once

#include "host_command.h"
#include "host_state.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lumivex::browserhost {

struct FrameSetup {
    std::wstring title;
    std::vector<int> browsers; // indices of the browser windows to create
    RECT placement = {};       // screen rectangle
};

// Per frame; lives from WM_NCCREATE to WM_NCDESTROY.
struct FrameData {
    HWND frame = nullptr;
    HWND edit = nullptr; // a focus target that is not a browser
    std::vector<BrowserRecord*> browsers;

    BrowserRecord* Find(int index) const; // only this frame's browsers
};

bool RegisterFrameClasses(const std::wstring& browserClass);
// Creates the frame with its browser windows (adding their records to Host()), shown.
HWND CreateHostFrame(const FrameSetup& setup);

// Posted by "modal N" to the browser window, and by "fault" to the frame.
constexpr UINT kEnterModalMessage = WM_APP + 77;
constexpr UINT kFaultMessage = WM_APP + 78;
// Sent by "throw N" to the browser window.
constexpr UINT kThrowMessage = WM_APP + 79;

// "create": a new browser window on the frame, with an index one past every index of the host.
// The index, or a kReply... value.
std::intptr_t CreateBrowser(FrameData& data);

// Runs one command on the frame's thread; the reply is the WM_COPYDATA result.
std::intptr_t RunCommand(FrameData& frame, const HostCommand& command);

} // namespace lumivex::browserhost
