#include "gfx/console/screen_sleep.h"

#include "gfx/console/key_buffer.h"
#include "runtime/sleep.h"

namespace zered {

void screen_sleep(int n) {
    if (n == rt::sleep_until_key) {
        while (!key_posted_take()) rt::wait_ms(rt::sleep_step_ms);
        return;
    }
    if (n >= rt::sleep_stepped_from_ms) {
        do {
            if (key_posted_take()) return;
            rt::wait_ms(rt::sleep_step_ms);
            n -= rt::sleep_step_ms;
        } while (n > rt::sleep_step_ms);
    }
    if (n > 0) rt::wait_ms(n);
}

} // namespace zered
