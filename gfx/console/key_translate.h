// The key translation, shared with the runtime's console key input: the names under which the
// graphics layer uses it.
#pragma once

#include "gfx/console/key_tables.h"
#include "runtime/key_translate.h"

namespace zered {

using rt::scan_code_of;
using rt::translate_key;

} // namespace zered
