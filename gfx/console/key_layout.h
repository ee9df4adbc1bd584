// The keyboard layout's answer to "which character does this key type, unshifted?", which the
// runtime owns: the names under which the graphics layer uses it.
#pragma once

#include "runtime/key_layout.h"

namespace zered {

using rt::dead_key_bit;
using rt::map_virtual_key_char;

} // namespace zered
