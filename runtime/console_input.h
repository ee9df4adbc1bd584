// Keys typed at a text console, for the console sleep.
//
// The platform layer reads what the console has pending, stores each key code in the console's
// own key buffer and raises the key-arrived mark. The console sleep only asks whether the mark
// was raised; nothing takes the keys out of the buffer.
#pragma once

#include <cstdint>

namespace rt {

// The close-window key: what closing the console or logging off stores.
inline constexpr std::int32_t close_window_key = 0x6BFF;

// Whether the process has console input at all. Without it no key can ever arrive.
bool console_input_present();

// 1 when a key arrived since the last check, else 0; clears the mark.
int console_key_check();

// Test seam: replaces the two questions above (nullptr for either restores the platform's).
struct ConsoleProbe {
    bool (*present)() = nullptr;
    int (*key_check)() = nullptr;
};
void set_console_probe(ConsoleProbe probe);

// The console's key buffer. Any thread may store (a console control handler runs on a thread of
// its own); the mark is read and cleared by the program's thread.
inline constexpr int console_key_capacity = 16;
void console_store_key(std::int32_t code);
bool console_take_key_mark();
// Oldest key still held, or 0 when empty; takes it out. Nothing in the utility reads console keys;
// this exists so that the buffer's contents can be checked.
std::int32_t console_take_key();

// Platform layer (win32/, posix/): the console poll behind console_key_check.
bool platform_console_present();
void platform_console_poll();

} // namespace rt
