#include "runtime/console_input.h"

#include "runtime/key_ring.h"

#include <atomic>
#include <mutex>

namespace rt {

namespace {

std::atomic<bool (*)()> probe_present{nullptr};
std::atomic<int (*)()> probe_key_check{nullptr};

struct ConsoleKeys {
    std::mutex lock;
    KeyRing<console_key_capacity> codes;
    std::atomic<bool> arrived{false};
};

ConsoleKeys& keys() {
    static ConsoleKeys k;
    return k;
}

} // namespace

void set_console_probe(ConsoleProbe probe) {
    probe_present.store(probe.present);
    probe_key_check.store(probe.key_check);
}

bool console_input_present() {
    const auto present = probe_present.load();
    return present ? present() : platform_console_present();
}

int console_key_check() {
    if (const auto check = probe_key_check.load()) return check();
    platform_console_poll();
    return console_take_key_mark() ? 1 : 0;
}

void console_store_key(std::int32_t code) {
    ConsoleKeys& k = keys();
    {
        const std::lock_guard guard(k.lock);
        k.codes.post(code);
    }
    k.arrived.store(true);
}

bool console_take_key_mark() { return keys().arrived.exchange(false); }

std::int32_t console_take_key() {
    ConsoleKeys& k = keys();
    const std::lock_guard guard(k.lock);
    return k.codes.take();
}

} // namespace rt
