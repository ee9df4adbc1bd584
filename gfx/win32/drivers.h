// The Windows display drivers, for the screen set-up's selection list.
#pragma once

#include "gfx/core/display_driver.h"

namespace zered {

// "GDI": presents the framebuffer through a device-independent bitmap from a thread of its own,
// about every 10 ms, drawing only the band of lines that changed. Works on any desktop depth;
// refuses OpenGL screens.
extern const DisplayDriver gdi_driver;

} // namespace zered
