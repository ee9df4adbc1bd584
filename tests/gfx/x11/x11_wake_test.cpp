// The driver thread's waiting between passes, without a display: a pipe stands in for the X
// server's connection.
#include "gfx/x11/x11_wake.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "gfx/window/present_pass.h"

namespace zered {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The wakes counted on the descriptor so far (0 when none), taken.
std::uint64_t counted(const WakeChannel& channel) {
    pollfd readable{channel.fd, POLLIN, 0};
    std::uint64_t count = 0;
    if (poll(&readable, 1, 0) != 1) return 0; // a read of a blocking descriptor would wait
    return read(channel.fd, &count, sizeof count) == sizeof count ? count : 0;
}

struct Pipe {
    int ends[2] = {-1, -1};
    Pipe() { EXPECT_EQ(pipe(ends), 0); }
    ~Pipe() {
        close(ends[0]);
        close(ends[1]);
    }
    bool readable() const {
        pollfd p{ends[0], POLLIN, 0};
        return poll(&p, 1, 0) == 1;
    }
};

TEST(X11Wake, WakesUntilTakenAreOneWriteAndAClosedChannelWritesNothing) {
    WakeChannel channel;
    channel.pending.store(true); // left over from an earlier screen
    ASSERT_TRUE(open_wake(channel));
    EXPECT_FALSE(channel.pending.load()) << "a new screen's first wake must reach the thread";
    // Not inherited by programs the process starts; a read finds nothing rather than blocking.
    EXPECT_NE(fcntl(channel.fd, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_NE(fcntl(channel.fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(counted(channel), 0u) << "no wake yet";
    wake(channel);
    wake(channel);
    EXPECT_EQ(counted(channel), 1u);
    wake(channel);
    EXPECT_EQ(counted(channel), 0u) << "not taken yet: no second write";
    channel.pending.store(false);
    wake(channel);
    settle(channel); // takes the wakes: the next one is written again
    EXPECT_FALSE(channel.pending.load());
    EXPECT_EQ(counted(channel), 0u);
    wake(channel);
    EXPECT_EQ(counted(channel), 1u);

    channel.pending.store(false);
    close_wake(channel);
    EXPECT_LT(channel.fd, 0);
    // The closed number goes to the next file opened: a late wake must not write into it.
    Pipe reused;
    wake(channel);
    EXPECT_FALSE(reused.readable());
    close_wake(channel); // twice: closes nothing of another's
    ASSERT_EQ(write(reused.ends[1], "x", 1), 1);
    EXPECT_TRUE(reused.readable());
}

TEST(X11Wake, AnIdleThreadWaitsForTheServerOrTheProgramAndNoLonger) {
    WakeChannel channel;
    ASSERT_TRUE(open_wake(channel));
    Pipe server;
    // Nothing comes: the thread looks again after idle_wait_ms.
    auto start = Clock::now();
    wait_for_work(channel, server.ends[0]);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(idle_wait_ms - 10));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(idle_wait_ms + 2000));

    // The server sends something.
    ASSERT_EQ(write(server.ends[1], "x", 1), 1);
    start = Clock::now();
    wait_for_work(channel, server.ends[0]);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(idle_wait_ms - 200));
    char byte;
    ASSERT_EQ(read(server.ends[0], &byte, 1), 1);

    // The program wakes the thread a while later; its wake is taken.
    start = Clock::now();
    std::thread program([&] {
        std::this_thread::sleep_for(50ms);
        wake(channel);
    });
    wait_for_work(channel, server.ends[0]);
    program.join();
    EXPECT_GE(Clock::now() - start, 40ms);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(idle_wait_ms - 200));
    EXPECT_FALSE(channel.pending.load());
    EXPECT_EQ(counted(channel), 0u);
    close_wake(channel);
}

TEST(X11Wake, SettlingTakesTheProgramsWakesForAPassPeriodAtMost) {
    WakeChannel channel;
    ASSERT_TRUE(open_wake(channel));
    // A program that does not draw: the thread goes on at once. The quickest of five, as a busy
    // machine may delay any one of them.
    Clock::duration quickest = std::chrono::hours(1);
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        settle(channel);
        quickest = std::min(quickest, Clock::now() - start);
    }
    EXPECT_LT(quickest, std::chrono::milliseconds(pass_period_ms));
    // A wake is taken, so the next one reaches the thread.
    wake(channel);
    settle(channel);
    EXPECT_FALSE(channel.pending.load());
    EXPECT_EQ(counted(channel), 0u);
    // A program that keeps drawing holds the thread a pass period, no longer.
    std::atomic<bool> drawing{true};
    std::thread program([&] {
        while (drawing.load()) {
            wake(channel);
            std::this_thread::yield();
        }
    });
    const auto start = Clock::now();
    settle(channel);
    const auto took = Clock::now() - start;
    drawing.store(false);
    program.join();
    EXPECT_LT(took, std::chrono::milliseconds(pass_period_ms + 2000));
    close_wake(channel);
}

} // namespace
} // namespace zered
