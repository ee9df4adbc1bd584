// From the data of a key message to a key code, and from a virtual key to its scan code.
#pragma once

#include <cstdint>

#include "runtime/key_tables.h"

namespace rt {

// What translate_key answers for a key message that yields no key code; never stored.
inline constexpr std::int32_t no_key_code = -1;

// The key code for a key message: the character (only its low byte counts; the result is that
// byte, 1 to 255) or an extended code as e * 256 + 0xFF; -1 when the message yields no key code.
// scan_code is the set-1 make code, virtual_key the Windows virtual key, modifiers KEYMOD_* bits.
// With force set, only an extended code from the tables is returned, never a plain character.
//
// A modified key keeps the character it typed unless that character is the key's own (plain or
// case-swapped), so Shift+1 stays "!" while Alt+X becomes the extended code 0x2DFF.
std::int32_t translate_key(std::int32_t character, std::int32_t scan_code,
                           std::uint32_t virtual_key, KeyModifiers modifiers, int force);

// The scan code of a virtual key, 0 if it has none. Virtual key 0 counts as Esc.
std::int32_t scan_code_of(std::uint32_t virtual_key);

} // namespace rt
