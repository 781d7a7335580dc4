// The host checking its own objects the way a zoom client reaches them.
#pragma once

#include "host_state.h"

#include <cstdint>

namespace lumivex::browserhost {

// "WM_HTML_GETOBJECT", ObjectFromLresult, get_Script, IHTMLWindow2, get_document,
// QueryService for the browser, the zoom range and zoom 150, all released again. 1 when every
// step worked and led to this browser's own objects; each step is logged as SELFTEST.
std::intptr_t RunSelfTest(const BrowserRecord& record);

// Calls IWebBrowser2::GoHome, which the host does not implement; the reply is its HRESULT
// (on i686 the process ends instead, see kUnexpectedSlotExitCode).
std::intptr_t CallUnexpectedSlot(const BrowserRecord& record);

} // namespace lumivex::browserhost
