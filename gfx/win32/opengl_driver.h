// The OpenGL display driver, "OpenGL": a window with a double-buffered, accelerated OpenGL context
// made current on the program's thread, for screens opened with MODE_OPENGL, on which the program
// draws with OpenGL itself. It has no thread of its own: opengl_flip (the flip slot) shows the
// frame and opengl_poll (the poll slot) handles the window's messages. "opengl32.dll" is loaded
// when the driver starts; every other screen is refused before anything is loaded or made.
#pragma once

#include "gfx/core/display_driver.h"
#include "gfx/core/opengl_pixel_format.h"

namespace zered {

extern const DisplayDriver opengl_driver;

// The pixel-format sizes the last successful start asked for, defaults filled in, and whether it
// switched multisampling on. For tests.
struct OpenGLRequest {
    PixelRequest sizes;
    bool multisample = false;
};
OpenGLRequest opengl_last_request();

} // namespace zered
