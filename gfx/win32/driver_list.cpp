#include "gfx/core/screen_setup.h"
#include "gfx/win32/drivers.h"

#include <array>

namespace zered {

namespace {

// Tried in this order.
constexpr std::array<const DisplayDriver*, 1> drivers{&gdi_driver};

} // namespace

std::span<const DisplayDriver* const> driver_selection_list() { return drivers; }

} // namespace zered
