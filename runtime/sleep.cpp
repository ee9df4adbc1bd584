#include "runtime/sleep.h"

#include "runtime/console_hooks.h"
#include "runtime/console_input.h"

#include <atomic>

namespace rt {

namespace {

std::atomic<WaitFn> installed_wait{nullptr};

// A wait for a key that can never arrive still wakes now and then, but not 20 times a second.
inline constexpr int idle_wait_ms = 24 * 60 * 60 * 1000;

} // namespace

WaitFn set_wait(WaitFn wait) { return installed_wait.exchange(wait); }

void wait_ms(int milliseconds) {
    const WaitFn wait = installed_wait.load();
    if (wait)
        wait(milliseconds);
    else
        platform_wait(milliseconds);
}

void stepped_sleep(int n, int (*key_arrived)()) {
    if (n == sleep_until_key) {
        while (!key_arrived()) wait_ms(sleep_step_ms);
        return;
    }
    if (n >= sleep_stepped_from_ms) {
        do {
            if (key_arrived()) return;
            wait_ms(sleep_step_ms);
            n -= sleep_step_ms;
        } while (n > sleep_step_ms);
    }
    if (n > 0) wait_ms(n);
}

void console_sleep(int n) {
    if (n < 0 && n != sleep_until_key) return;
    if (!console_input_present()) {
        if (n == sleep_until_key) {
            for (;;) wait_ms(idle_wait_ms);
        }
        wait_ms(n);
        return;
    }
    if (n == 0) {
        wait_ms(0); // gives up the rest of the time slice
        return;
    }
    stepped_sleep(n, console_key_check);
}

void sleep(int milliseconds) {
    if (const auto hook = console_hooks().sleep) {
        hook(milliseconds);
        return;
    }
    console_sleep(milliseconds);
}

} // namespace rt
