#include "gfx/screen/screen_setup.h"
#include "gfx/win32/ddraw_driver.h"
#include "gfx/win32/drivers.h"
#include "gfx/win32/opengl_driver.h"

#include <array>

namespace zered {

namespace {

// Tried in this order; the OpenGL driver takes only the screens that ask for OpenGL.
constexpr std::array<const DisplayDriver*, 3> drivers{&ddraw_driver, &gdi_driver, &opengl_driver};

} // namespace

std::span<const DisplayDriver* const> driver_selection_list() { return drivers; }

} // namespace zered
