#include "host_zoom.h"

#include "test_process.h"
#include "test_windows.h"

#include <gtest/gtest.h>

namespace lumivex::appe2e {

using namespace browserhost;

namespace {

constexpr UINT kProbeMessage = WM_APP + 500;
constexpr DWORD_PTR kProbeReply = 0xAF2891FAu;
constexpr long long kOpticalZoom = 63;

bool WaitFor(HostProcess& host, const char* kind, WORD vk, size_t from) {
    return host
        .WaitForLine(
            [&](const LogLine& line) {
                return Is(line, kind, 0) && (vk == 0 || line.Number("vk") == vk);
            },
            5000, from)
        .has_value();
}

} // namespace

bool Subclassed(HWND browser) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(browser, kProbeMessage, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) &&
           answer == kProbeReply;
}

bool FocusUntilTaken(HostProcess& host) {
    return test::WaitUntil(
        [&] { return host.Send(L"focus 0").value_or(0) == 1 && Subclassed(host.browser(0)); },
        15000, 250);
}

bool PressCtrlPlus(HostProcess& host) {
    const size_t start = host.Mark();
    return InjectKey(VK_OEM_PLUS, true) && WaitFor(host, "KEYUP", VK_OEM_PLUS, start) &&
           WaitFor(host, "KEYUP", VK_CONTROL, start);
}

std::vector<long long> ZoomInByKeyAndWheel(HostProcess& host) {
    const size_t start = host.Mark();
    if (!PressCtrlPlus(host)) {
        ADD_FAILURE() << "Ctrl and \"+\" did not reach the host";
        return {};
    }
    const size_t wheel = host.Mark();
    if (!host.PointAt(0) || !InjectCtrlWheel(WHEEL_DELTA) || !WaitFor(host, "WHEEL", 0, wheel) ||
        !WaitFor(host, "KEYUP", VK_CONTROL, wheel)) {
        ADD_FAILURE() << "Ctrl and the wheel did not reach the host";
        return {};
    }
    return ZoomLevelsGiven(host, start);
}

std::vector<long long> ZoomLevelsGiven(HostProcess& host, size_t from) {
    std::vector<long long> levels;
    for (const LogLine& line : host.Lines("EXECWB", 0, from)) {
        if (line.Number("cmd") == kOpticalZoom) {
            levels.push_back(line.Number("in_value").value_or(-1));
        }
    }
    return levels;
}

void ExpectLeftAlone(const std::wstring& program) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"", program)) << host.error();
    EXPECT_EQ(host.Send(L"focus 0").value_or(0), 1);
    EXPECT_EQ(host.Send(L"wndproc 0").value_or(0), 1) << "subclassed after the program ended";
    EXPECT_FALSE(Subclassed(host.browser(0)));
    EXPECT_EQ(host.Quit(), 0u);
}

void ExpectZooms(const std::wstring& program) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"", program)) << host.error();
    ASSERT_TRUE(FocusUntilTaken(host)) << "the hook did not take the browser\n"
                                       << host.Transcript();
    EXPECT_EQ(ZoomInByKeyAndWheel(host), (std::vector<long long>{120, 140})) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u);
}

} // namespace lumivex::appe2e
