#include "gfx/console/screen_sleep.h"

#include "gfx/console/key_buffer.h"
#include "runtime/sleep.h"

namespace zered {

void screen_sleep(int n) {
    // Unlike the console sleep, 0 does not even yield.
    if (n == 0 || (n < 0 && n != rt::sleep_until_key)) return;
    rt::stepped_sleep(n, key_posted_take);
}

} // namespace zered
