// The keyboard operations that an open screen puts into the runtime's console hook table.
// They run on the program's thread.
#pragma once

#include <cstdint>

#include "gfx/console/key_buffer.h" // key_waiting

namespace zered {

// Takes the next key as a string: 0 bytes without a screen or a key (a stored code 0 counts as
// none); 1 byte, the code's low byte, for a code below 256; 2 bytes, 0xFF then the extended
// code, for a code of 256 or more. Returns the number of bytes stored into out.
int read_key_string(unsigned char out[2]);

// Waits for a non-zero key code and takes it, trying every 20 ms through the runtime's sleep.
// 0 at once without a screen.
std::int32_t wait_key();

// -1 while the key with this scan code is held down, else 0. 0 without a screen and for scan
// codes outside 0 to 127.
int key_down(int scan_code);

// How often wait_key looks at the buffer, in milliseconds.
inline constexpr int wait_key_poll_ms = 20;

} // namespace zered
