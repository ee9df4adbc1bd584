// The runtime's one sleep operation and the console sleep behind it.
//
// sleep(ms): while a screen is open its own sleep (the hook table's sleep slot) runs; otherwise
// the console sleep below. -1 waits until a key arrives, other negative counts return at once,
// 0 gives up the rest of the time slice once.
#pragma once

namespace rt {

inline constexpr int sleep_until_key = -1;
inline constexpr int sleep_step_ms = 50;
// Counts from here up are waited for in steps, so that a key can end them early.
inline constexpr int sleep_stepped_from_ms = 100;

void sleep(int milliseconds);

// The console sleep, used while no screen is open. With console input it waits in steps of
// 50 ms and checks for a key before each step; with none (the normal case for a windowed
// program) no key can ever arrive, and it waits the whole count in one piece.
void console_sleep(int milliseconds);

// The shape both sleeps share. -1: wait in 50 ms steps until key_arrived answers 1, asking before
// every step. 100 or more: 50 ms steps with the question before each, then the rest (1 to 50 ms)
// without one. 1 to 99: one plain wait that no key ends. 0 and other negative counts do nothing:
// the callers differ there.
void stepped_sleep(int milliseconds, int (*key_arrived)());

// The low-level wait every sleep ends in. Tests put a recorder here to see the step plan without
// waiting; nullptr puts the platform's wait back. Returns the previous one.
using WaitFn = void (*)(int milliseconds);
WaitFn set_wait(WaitFn wait);
void wait_ms(int milliseconds);

// The platform's own wait (Sleep, nanosleep). 0 yields the time slice.
void platform_wait(int milliseconds);

} // namespace rt
