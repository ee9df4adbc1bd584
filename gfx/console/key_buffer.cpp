#include "gfx/console/key_buffer.h"

#include <array>
#include <mutex>

namespace zered {

namespace {

// Empty when read_index == write_index. The mutex makes every operation one step as seen from
// the other thread: a take never sees a half-written post, and the drop of the oldest code on a
// full buffer cannot interleave with a take.
struct KeyBuffer {
    std::mutex lock;
    std::array<std::int32_t, key_buffer_size> codes{};
    int read_index = 0;
    int write_index = 0;
    bool key_posted = false;
};

KeyBuffer& key_buffer() {
    static KeyBuffer buffer;
    return buffer;
}

} // namespace

void post_key(std::int32_t code) {
    KeyBuffer& b = key_buffer();
    const std::lock_guard guard(b.lock);
    b.codes[static_cast<std::size_t>(b.write_index)] = code;
    b.write_index = (b.write_index + 1) % key_buffer_size;
    if (b.write_index == b.read_index) b.read_index = (b.write_index + 1) % key_buffer_size;
    b.key_posted = true;
}

std::int32_t take_key() {
    KeyBuffer& b = key_buffer();
    const std::lock_guard guard(b.lock);
    std::int32_t code = 0;
    if (b.read_index != b.write_index) {
        code = b.codes[static_cast<std::size_t>(b.read_index)];
        b.read_index = (b.read_index + 1) % key_buffer_size;
    }
    b.key_posted = false;
    return code;
}

int key_posted_take() {
    KeyBuffer& b = key_buffer();
    const std::lock_guard guard(b.lock);
    const bool posted = b.key_posted;
    b.key_posted = false;
    return posted ? 1 : 0;
}

int key_waiting() {
    KeyBuffer& b = key_buffer();
    const std::lock_guard guard(b.lock);
    return b.read_index != b.write_index ? 1 : 0;
}

} // namespace zered
