// The keyboard's fixed data, which the runtime owns (its console key input translates keys
// too): the names under which the graphics layer uses it.
#pragma once

#include "runtime/key_tables.h"

namespace zered {

namespace vk = rt::vk;

using rt::KEYMOD_ALT;
using rt::KEYMOD_CTRL;
using rt::KEYMOD_ENHANCED;
using rt::KEYMOD_LEFT_ALT;
using rt::KEYMOD_LEFT_CTRL;
using rt::KEYMOD_RIGHT_ALT;
using rt::KEYMOD_RIGHT_CTRL;
using rt::KEYMOD_SHIFT;
using rt::KeyModifiers;

using rt::enhanced_key_table;
using rt::EnhancedKey;
using rt::KeyCodes;
using rt::scan_code_table;
using rt::scan_code_table_size;
using rt::virtual_key_table;
using rt::VirtualKeyRow;

} // namespace zered
