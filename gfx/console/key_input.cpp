#include "gfx/console/key_input.h"

#include "gfx/core/screen_state.h"
#include "runtime/sleep.h"

#include <atomic>

namespace zered {

int read_key_string(unsigned char out[2]) {
    if (!current_screen()) return 0;
    const std::int32_t code = take_key();
    if (code == 0) return 0;
    const auto bits = static_cast<std::uint32_t>(code);
    out[0] = static_cast<unsigned char>(bits & 0xFF);
    if (code < 256) return 1;
    out[1] = static_cast<unsigned char>((bits >> 8) & 0xFF);
    return 2;
}

std::int32_t wait_key() {
    if (!current_screen()) return 0;
    for (;;) {
        if (const std::int32_t code = take_key()) return code;
        rt::sleep(wait_key_poll_ms);
    }
}

int key_down(int scan_code) {
    ScreenState* screen = current_screen();
    if (!screen || static_cast<unsigned>(scan_code) >= key_state_size) return 0;
    // The driver thread rewrites the array on every pass; one byte read atomically is all the
    // answer needs, so the screen lock is not taken. Writers store through atomic_ref too.
    std::atomic_ref<std::uint8_t> entry(screen->key_state[static_cast<std::size_t>(scan_code)]);
    return entry.load(std::memory_order_relaxed) != 0 ? -1 : 0;
}

} // namespace zered
