#include "update/auto_update.h"

namespace lumivex {

// The download and the notice arrive with the update check; the main dialog already calls in
// at the right points.
void CAutoUpdate::OnCheckTimer(HWND) {}

void CAutoUpdate::OnUpdateAvailable(HWND, WPARAM, LPARAM) {}

void CAutoUpdate::Stop() {}

CAutoUpdate& GetAutoUpdate() {
    static CAutoUpdate update;
    return update;
}

} // namespace lumivex
