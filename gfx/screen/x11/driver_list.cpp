#include "gfx/screen/screen_setup.h"
#include "gfx/x11/x11_driver.h"

#include <array>

namespace zered {

namespace {

// Without a display (DISPLAY unset or unreachable) the X11 driver fails and no screen opens; the
// null driver is there only on request.
constexpr std::array<const DisplayDriver*, 1> drivers{&x11_driver};

} // namespace

std::span<const DisplayDriver* const> driver_selection_list() { return drivers; }

} // namespace zered
