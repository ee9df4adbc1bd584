#include "gfx/core/screen_setup.h"

namespace zered {

// No display driver is written for this platform: only the null driver (ZERED=null or MODE_NULL)
// opens a screen here.
std::span<const DisplayDriver* const> driver_selection_list() { return {}; }

} // namespace zered
