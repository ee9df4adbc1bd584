// The key buffer: a process-wide ring of key codes that the window layer fills and the program
// takes from, with a flag that says a key has arrived.
//
// Key codes are signed 32-bit: 1 to 255 a character (-128 to -1 for characters 128 to 255 from
// the window's character path), e * 256 + 0xFF an extended key, 0x6BFF the close-window key.
// The buffer outlives screens: keys posted while one screen was open are still there for the
// next.
//
// Threads: post_key runs on the display driver's thread (inside its pass, under the driver lock)
// or, for a driver without a thread, on the program's thread; everything else on the program's
// thread. The ring carries a small mutex of its own, so the buffer is consistent whatever locks
// the callers hold, and nothing here waits for the driver lock; that lock is always taken before
// this one, never while holding it.
#pragma once

#include <cstdint>

namespace zered {

// Capacity of the ring. One slot always stays free, so it holds at most 15 codes.
inline constexpr int key_buffer_size = 16;

// Puts a code into the buffer, dropping the oldest when 15 are held, and raises the flag.
void post_key(std::int32_t code);

// Takes the oldest code, 0 when the buffer is empty. Clears the flag either way.
std::int32_t take_key();

// 1 if a key was posted since the flag was last cleared, else 0; clears it. The key itself stays
// in the buffer.
int key_posted_take();

// Whether the buffer holds a code: 1 or 0. Leaves both the codes and the flag alone. Also the
// screen's key_waiting console operation.
int key_waiting();

} // namespace zered
