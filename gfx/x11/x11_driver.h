// The X11 display driver: a window on the X display named by DISPLAY, presented from a driver
// thread of its own about every 10 ms through MIT-SHM images (XPutImage where the server cannot
// share memory with us), converting only the band of lines that changed into the visual's format.
// Input arrives as on every platform: PC scan codes, key codes through translate_key, and the
// same events.
//
// Every Xlib call is made on the driver thread, which owns the connection. The descriptor slots
// that run on the program's thread (title, position, mouse) leave a request under the driver lock
// that the next pass carries out, and answer from what the passes have seen.
#pragma once

#include "gfx/core/display_driver.h"

namespace zered {

// "X11": TrueColor visuals of 15, 16, 24 and 32 bits. Refuses OpenGL and shaped screens.
extern const DisplayDriver x11_driver;

// The driver's window (an X window id), 0 while none is open. For tests that look at it from a
// connection of their own.
unsigned long x11_window_id();

// The open window's image is in memory shared with the X server (MIT-SHM).
bool x11_uses_shared_memory();

// The pointer is hidden over the window (the driver thread has carried out the request).
bool x11_pointer_hidden();

// Presentation passes made since the process started.
unsigned long x11_pass_count();

} // namespace zered
