// The registered message by which a second instance finds the first one's main dialog.
#pragma once

#include <windows.h>

namespace lumivex::app {

// Registered once, from the name of the single-instance mutex; 0 when registration failed (then
// nothing is answered or looked for: message 0 would make every window look like ours).
UINT InstanceQueryMessage();

} // namespace lumivex::app
