// A picture for people: the prompt over the browser host with the frame drawn, saved as a
// bitmap file that prompt_screenshot.sh turns into a PNG. The display's own capture does not
// show Wine's dialog windows, so the screen is read back through the platform here. The frame
// must be drawn throughout the capture; one taken across a tick is taken again.
#include "prompt_test_support.h"

#include "support/owners.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <vector>

using namespace prompttest;
using lumivex::test::WriteFileBytes;

namespace {

// The whole screen as a 24-bit bottom-up BMP file.
std::string CaptureScreen() {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
    {
        lumivex::WindowDc screen(nullptr);
        lumivex::UniqueCreatedDc memory(CreateCompatibleDC(screen.get()));
        lumivex::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
        if (!memory || !bitmap) {
            return std::string();
        }
        {
            lumivex::SelectScope select(memory.get(), bitmap.get());
            BitBlt(memory.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY);
        }
        if (GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(),
                      reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != height) {
            return std::string();
        }
    }
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(pixels.data(), pixels.size());
    return bytes;
}

} // namespace

TEST(PromptPicture, DISABLED_PromptOverTheHostWithItsFrameDrawn) {
    wchar_t target[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"LUMIVEX_PROMPT_PICTURE", target, MAX_PATH) == 0) {
        GTEST_SKIP() << "run by prompt_screenshot.sh";
    }
    lumivex::test::ResetPerUserState();
    GlobalHook hook;
    ASSERT_TRUE(hook.installed());
    HostCopy copy(L"hh.exe");
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2 \"--title=Help viewer\"", copy.path())) << host.error();
    ASSERT_TRUE(host.WaitForLine(
        [](const LogLine& l) { return lumivex::browserhost::Is(l, "PAINT", 0); }, 5000));
    Sleep(300);
    RECT browser = {};
    GetWindowRect(host.browser(0), &browser);
    const POINT edge = {browser.left + 1, (browser.top + browser.bottom) / 2};
    const COLORREF clean = ScreenPixel(edge);
    ASSERT_EQ(host.Send(L"focus 0").value_or(0), 1);
    HWND dialog = WaitForPrompt(host);
    ASSERT_NE(dialog, nullptr) << host.Transcript();

    std::string picture;
    size_t from = 0;
    for (int attempt = 0; attempt < 4 && picture.empty(); ++attempt) {
        // A tick that drew the frame, then the capture well before the next one.
        std::optional<LogLine> tick = WaitForFlashTick(host, 0, from, 3000);
        ASSERT_TRUE(tick.has_value()) << host.Transcript();
        from = host.Mark();
        Sleep(300);
        if (ScreenPixel(edge) != FramedPixel(clean)) {
            continue;
        }
        std::string bytes = CaptureScreen();
        ASSERT_FALSE(bytes.empty()) << "the screen could not be read back";
        if (!WaitForFlashTick(host, 0, from, 0) && ScreenPixel(edge) == FramedPixel(clean)) {
            picture = std::move(bytes);
        }
    }
    ASSERT_FALSE(picture.empty()) << "no capture with the frame drawn";
    WriteFileBytes(target, picture);
    SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitForClosed(dialog));
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}
