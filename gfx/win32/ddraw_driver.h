// The DirectDraw display driver, "DirectX": the framebuffer converted into a DirectDraw surface
// from a thread of its own, in a window (an offscreen surface blitted into the clipped primary) or
// in an exclusive full-screen mode (straight into the primary), with the keyboard read through
// DirectInput. "ddraw.dll" and "dinput.dll" are loaded when the driver starts; when either is
// missing, or anything on the way fails, the driver's start fails and the screen set-up goes on
// to the next driver. Refuses OpenGL and shaped-window screens.
#pragma once

#include "gfx/core/display_driver.h"

struct IDirectDrawSurface;

namespace zered {

extern const DisplayDriver ddraw_driver;

// What the running driver chose, for tests: the display format the converter was picked for,
// the lines above the picture in full screen, and whether it presents in a window.
struct DDrawStatus {
    bool running = false;
    int display_depth = 0;
    bool red_low = false;
    int vertical_offset = 0;
    bool windowed = false;
};
DDrawStatus ddraw_status();

// For tests: puts surface in the place of the primary surface (and of the surface the converter
// writes, where that is the primary) and returns the one it replaces, whose reference passes to
// the caller; the driver takes over the caller's reference to surface.
IDirectDrawSurface* ddraw_exchange_primary(IDirectDrawSurface* surface);

} // namespace zered
