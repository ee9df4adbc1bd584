#include "gfx/console/key_buffer.h"

#include "runtime/key_ring.h"

#include <mutex>

namespace zered {

namespace {

// The mutex makes every operation one step as seen from the other thread: a take never sees a
// half-written post, and the drop of the oldest code on a full buffer cannot interleave with a
// take.
struct KeyBuffer {
    std::mutex lock;
    rt::KeyRing<key_buffer_size> codes;
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
    b.codes.post(code);
    b.key_posted = true;
}

std::int32_t take_key() {
    KeyBuffer& b = key_buffer();
    const std::lock_guard guard(b.lock);
    b.key_posted = false;
    return b.codes.take();
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
    return b.codes.empty() ? 0 : 1;
}

} // namespace zered
