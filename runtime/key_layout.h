// The keyboard layout's answer to "which character does this key type, unshifted?".
#pragma once

#include <cstdint>

namespace rt {

// Bit set in the answer for a dead key (an accent that waits for the next key).
inline constexpr std::uint32_t dead_key_bit = 0x80000000u;

// The unshifted character of a virtual key in the current keyboard layout, 0 for a key that
// types none. Letters answer in upper case ('A' for the A key). On Windows this is the system's
// own mapping for the active layout; elsewhere a US layout.
std::uint32_t map_virtual_key_char(std::uint32_t virtual_key);

} // namespace rt
