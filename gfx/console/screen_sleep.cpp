#include "gfx/console/screen_sleep.h"

#include "gfx/console/key_buffer.h"
#include "runtime/sleep.h"

namespace zered {

void screen_sleep(int n) {
    // 0 and negative counts other than sleep_until_key return at once: unlike the console
    // sleep, 0 does not even yield.
    rt::stepped_sleep(n, key_posted_take);
}

} // namespace zered
