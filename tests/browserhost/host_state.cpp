#include "host_state.h"

namespace lumivex::browserhost {

void BrowserRecord::OnZoomApplied(int) {
    if (window) {
        InvalidateRect(window, nullptr, FALSE);
    }
}

BrowserRecord& HostState::AddBrowser(int index) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_browsers.push_back(std::make_unique<BrowserRecord>());
    m_browsers.back()->index = index;
    return *m_browsers.back();
}

BrowserRecord* HostState::FindBrowser(int index) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (const auto& record : m_browsers) {
        if (record->index == index) {
            return record.get();
        }
    }
    return nullptr;
}

std::vector<BrowserRecord*> HostState::Browsers() {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<BrowserRecord*> all;
    for (const auto& record : m_browsers) {
        all.push_back(record.get());
    }
    return all;
}

HostState& Host() {
    static HostState* state = new HostState();
    return *state;
}

} // namespace lumivex::browserhost
