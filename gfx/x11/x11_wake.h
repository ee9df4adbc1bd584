// The X11 driver thread's waiting between passes. While things happen it sleeps a pass period;
// after a pass that found nothing to do it waits until the X server sends something or the
// program wakes it (it drew, or asked for something), so that an open window nobody touches costs
// next to nothing, and then lets the program finish drawing before the next pass (settle).
#pragma once

#include <atomic>
#include <mutex>

namespace zered {

// The longest a pass with nothing to do waits for the X server or the program before it looks again.
inline constexpr int idle_wait_ms = 1000;
// How long the program must leave the thread alone after a wake before the pass that presents what
// it drew (see settle).
inline constexpr int settle_ms = 1;

// The program's way to wake the driver thread: an eventfd, written and closed under lock. Closed,
// its descriptor is -1 and a wake writes nothing (the number may already belong to another file).
struct WakeChannel {
    std::mutex lock;
    int fd = -1;
    std::atomic<bool> pending{false}; // written since the driver thread last took the wakes
};

// Opens the descriptor; a wake from an earlier screen is forgotten. False when it cannot be made.
bool open_wake(WakeChannel& channel);

// Closes the descriptor, once the driver thread no longer waits on it.
void close_wake(WakeChannel& channel);

// Any thread: wakes the driver thread. Wakes until it takes them count as one write.
void wake(WakeChannel& channel);

// Driver thread: waits while the program is drawing, until it has not woken the thread for
// settle_ms, or one pass period from now at the most. A picture drawn in one go (a window's first
// contents, a screen redrawn after a key) then goes out whole and at once.
void settle(WakeChannel& channel);

// Driver thread, after a pass with nothing to do: waits until connection_fd is readable or the
// program wakes the thread, idle_wait_ms at the most, then settles.
void wait_for_work(WakeChannel& channel, int connection_fd);

} // namespace zered
