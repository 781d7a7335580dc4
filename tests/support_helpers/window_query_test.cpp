// Finding a window by a registered query message among the top-level windows.
#include "support/window_query.h"

#include "support/owners.h"

#include <gtest/gtest.h>

#include <thread>

using lumivex::CheckSingleInstance;
using lumivex::FindWindowAnsweringQuery;
using lumivex::UniqueHandle;
using lumivex::UniqueWindow;

namespace {

// What a test window answers, and to which message.
struct Answer {
    UINT message;
    LRESULT value;
};

LRESULT CALLBACK AnsweringProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* answer = reinterpret_cast<const Answer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (answer && message == answer->message) {
        return answer->value;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A hidden top-level window of the calling thread that answers `answer.message` with
// `answer.value`; `answer` must outlive it.
UniqueWindow AnsweringWindow(const Answer& answer) {
    static const ATOM windowClass = [] {
        WNDCLASSW description = {};
        description.lpfnWndProc = &AnsweringProc;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = L"LumivexWindowQueryTest";
        return RegisterClassW(&description);
    }();
    UniqueWindow window(CreateWindowExW(WS_EX_TOOLWINDOW, MAKEINTATOM(windowClass), L"", WS_POPUP,
                                        0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                                        nullptr));
    EXPECT_TRUE(window) << GetLastError();
    SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&answer));
    return window;
}

TEST(WindowQuery, TheWindowThatAnswersWithTheMessagesOwnNumberIsFound) {
    const UINT query = RegisterWindowMessageW(L"LumivexWindowQueryTest-Query");
    const UINT other = RegisterWindowMessageW(L"LumivexWindowQueryTest-Other");
    ASSERT_NE(query, 0u);
    EXPECT_EQ(FindWindowAnsweringQuery(query), nullptr);

    const Answer wrongValue{query, static_cast<LRESULT>(query) + 1};
    const Answer otherMessage{other, static_cast<LRESULT>(query)};
    UniqueWindow wrong = AnsweringWindow(wrongValue);
    UniqueWindow elsewhere = AnsweringWindow(otherMessage);
    EXPECT_EQ(FindWindowAnsweringQuery(query), nullptr);

    const Answer right{query, static_cast<LRESULT>(query)};
    UniqueWindow found = AnsweringWindow(right);
    EXPECT_EQ(FindWindowAnsweringQuery(query), found.get());
    // Every window answers message 0 with 0: that would be any window at all.
    EXPECT_EQ(FindWindowAnsweringQuery(0), nullptr);
}

TEST(WindowQuery, AWindowThatDoesNotAnswerInTimeIsPassedOver) {
    const UINT query = RegisterWindowMessageW(L"LumivexWindowQueryTest-Slow");
    const Answer right{query, static_cast<LRESULT>(query)};
    // A window whose thread answers nothing until the test lets it go.
    UniqueHandle created(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread busy([&] {
        UniqueWindow window = AnsweringWindow(right);
        SetEvent(created.get());
        WaitForSingleObject(release.get(), 30000);
    });
    ASSERT_EQ(WaitForSingleObject(created.get(), 10000), WAIT_OBJECT_0);

    UniqueWindow answering = AnsweringWindow(right);
    EXPECT_EQ(FindWindowAnsweringQuery(query), answering.get());
    answering.reset();
    const DWORD start = GetTickCount();
    EXPECT_EQ(FindWindowAnsweringQuery(query), nullptr);
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 150u) << "the busy window was not asked";
    EXPECT_LT(took, 3000u) << "the busy window was waited for";

    SetEvent(release.get());
    busy.join();
}

TEST(WindowQuery, ASecondInstanceSeesTheFirstAndItsWindow) {
    const wchar_t name[] = L"LumivexWindowQueryTest-Instance";
    const UINT query = RegisterWindowMessageW(name);
    lumivex::InstanceCheck first = CheckSingleInstance(name, query);
    ASSERT_TRUE(first.mutex);
    EXPECT_FALSE(first.anotherRuns);
    EXPECT_EQ(first.running, nullptr) << "nobody is asked while no other instance runs";

    const Answer right{query, static_cast<LRESULT>(query)};
    UniqueWindow window = AnsweringWindow(right);
    lumivex::InstanceCheck second = CheckSingleInstance(name, query);
    EXPECT_TRUE(second.anotherRuns);
    EXPECT_EQ(second.running, window.get());

    // Once the first lets go, the next start is the only one again.
    first.mutex.reset();
    second.mutex.reset();
    EXPECT_FALSE(CheckSingleInstance(name, query).anotherRuns);
}

} // namespace
