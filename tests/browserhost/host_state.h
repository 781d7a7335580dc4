// What the host keeps about its browser windows, shared by its interface threads.
#pragma once

#include "browser_objects.h"
#include "host_options.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <vector>

namespace lumivex::browserhost {

// One browser window and its objects. Kept after the window is destroyed, so tests can still
// ask about the references its clients hold. Only the owning thread touches the mutable parts.
struct BrowserRecord final : ZoomListener {
    int index = 0;
    bool visible = true;
    int slowDocumentMs = 0;
    DWORD threadId = 0;
    HWND frame = nullptr;
    HWND pane = nullptr;
    HWND window = nullptr; // null once destroyed
    BrowserObjects* objects = nullptr;
    int paintedZoom = 0; // the zoom of the last paint, to log a line when it changes

    void OnZoomApplied(int level) override; // repaints
};

class HostState {
public:
    HostOptions options;
    HWND mainFrame = nullptr;

    BrowserRecord& AddBrowser(int index);
    BrowserRecord* FindBrowser(int index);
    std::vector<BrowserRecord*> Browsers();

private:
    std::mutex m_lock;
    std::vector<std::unique_ptr<BrowserRecord>> m_browsers;
};

// Never destroyed, like the objects its records point to.
HostState& Host();

} // namespace lumivex::browserhost
