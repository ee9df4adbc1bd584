#include "runtime/console_input.h"

#include <array>
#include <atomic>
#include <mutex>

namespace rt {

namespace {

std::atomic<bool (*)()> probe_present{nullptr};
std::atomic<int (*)()> probe_key_check{nullptr};

struct ConsoleKeys {
    std::mutex lock;
    // A ring that holds at most capacity - 1 codes and drops the oldest when full.
    std::array<std::int32_t, console_key_capacity> codes{};
    int read = 0;
    int write = 0;
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
        k.codes[static_cast<std::size_t>(k.write)] = code;
        k.write = (k.write + 1) % console_key_capacity;
        if (k.write == k.read) k.read = (k.read + 1) % console_key_capacity;
    }
    k.arrived.store(true);
}

bool console_take_key_mark() { return keys().arrived.exchange(false); }

std::int32_t console_take_key() {
    ConsoleKeys& k = keys();
    const std::lock_guard guard(k.lock);
    if (k.read == k.write) return 0;
    const std::int32_t code = k.codes[static_cast<std::size_t>(k.read)];
    k.read = (k.read + 1) % console_key_capacity;
    return code;
}

} // namespace rt
