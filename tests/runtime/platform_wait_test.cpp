#include "runtime/sleep.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

// Every sleep ends in the platform's own wait, which only a clock can check. Only lower bounds
// are asserted: a wait never ends early, however busy the machine. A whole second and a part of
// one tell milliseconds from microseconds and the seconds from the rest.
TEST(PlatformWait, WaitsTheMillisecondsItIsGiven) {
    using clock = std::chrono::steady_clock;
    for (const int ms : {1000, 100}) {
        const auto start = clock::now();
        rt::platform_wait(ms);
        EXPECT_GE(clock::now() - start, std::chrono::milliseconds(ms * 9 / 10)) << ms;
    }
    // 0 and below only yield; a hang here ends the test program by its time limit.
    rt::platform_wait(0);
    rt::platform_wait(-1);
}

} // namespace
