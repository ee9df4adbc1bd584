#include "gfx/x11/x11_wake.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "gfx/window/present_pass.h"

namespace zered {

namespace {

// Reads the descriptor after poll found it readable: the program's wakes so far are taken.
void take_wakes(WakeChannel& channel) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(channel.fd, &count, sizeof count);
    channel.pending.store(false);
}

} // namespace

bool open_wake(WakeChannel& channel) {
    channel.pending.store(false);
    std::lock_guard lock(channel.lock);
    channel.fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return channel.fd >= 0;
}

void close_wake(WakeChannel& channel) {
    std::lock_guard lock(channel.lock);
    if (channel.fd >= 0) close(channel.fd);
    channel.fd = -1;
}

void wake(WakeChannel& channel) {
    if (channel.pending.exchange(true)) return;
    std::lock_guard lock(channel.lock);
    if (channel.fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(channel.fd, &one, sizeof one);
    }
}

void settle(WakeChannel& channel) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pass_period_ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return;
        pollfd woken{channel.fd, POLLIN, 0};
        if (poll(&woken, 1, static_cast<int>(std::min<long long>(settle_ms, left))) <= 0) return;
        take_wakes(channel);
    }
}

void wait_for_work(WakeChannel& channel, int connection_fd) {
    // The descriptor stays open while the driver thread runs: it is closed after the join.
    pollfd waits[2] = {{connection_fd, POLLIN, 0}, {channel.fd, POLLIN, 0}};
    poll(waits, 2, idle_wait_ms);
    if (waits[1].revents & POLLIN) take_wakes(channel);
    settle(channel);
}

} // namespace zered
