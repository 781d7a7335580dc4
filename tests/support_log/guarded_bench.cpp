// Cost of a guarded call that does not fault (printed; speed never fails the test).
#include "support/guarded.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

[[gnu::noinline]] int AddOne(int value) {
    return value + 1;
}

TEST(GuardedCost, ACallThatDoesNotFault) {
    constexpr int kCalls = 2000000;
    LARGE_INTEGER frequency, start, middle, end;
    QueryPerformanceFrequency(&frequency);
    int direct = 0, guarded = 0;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kCalls; ++i) {
        direct = AddOne(direct);
    }
    QueryPerformanceCounter(&middle);
    for (int i = 0; i < kCalls; ++i) {
        guarded = lumivex::Guarded(L"C", L"Op", -1, [&] { return AddOne(guarded); });
    }
    QueryPerformanceCounter(&end);
    EXPECT_EQ(direct, kCalls);
    EXPECT_EQ(guarded, kCalls);
    const double scale = 1e9 / static_cast<double>(frequency.QuadPart) / kCalls;
    printf("guarded call: %.1f ns, direct call: %.1f ns (%d-bit)\n",
           static_cast<double>(end.QuadPart - middle.QuadPart) * scale,
           static_cast<double>(middle.QuadPart - start.QuadPart) * scale,
           static_cast<int>(sizeof(void*) * 8));
}

} // namespace
