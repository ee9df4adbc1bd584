#include "runtime/sleep.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

// Every sleep ends in the platform's own wait, which only a clock can check. Only a lower bound
// is asserted: a wait never ends early, however busy the machine. 1100 ms tells milliseconds
// from microseconds and the whole seconds from the rest.
TEST(PlatformWait, WaitsTheMillisecondsItIsGiven) {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    rt::platform_wait(1100);
    EXPECT_GE(clock::now() - start, std::chrono::milliseconds(1050));
    // 0 and below only yield; a hang here ends the test program by its time limit.
    rt::platform_wait(0);
    rt::platform_wait(-1);
}

} // namespace
