// The descriptor through which the screen core talks to a display driver: a name and 13
// operation slots in a fixed order. Optional slots may be empty; callers check before each call.
#pragma once

#include <cstdint>

#include "gfx/core/screen_state.h"

namespace zered {

struct DisplayDriver {
    const char* name;
    // Opens the window or display and starts presenting visible_fb. height is the display
    // height (framebuffer height * scanline_size). 0 on success.
    int (*init)(const char* title, int width, int height, int depth, int refresh_rate,
                ModeFlags flags);
    // Releases everything init acquired; also called after a failed init.
    void (*exit)();
    void (*lock)();
    void (*unlock)();
    // Optional from here on.
    void (*set_palette)(int index, int red, int green, int blue);
    void (*wait_vsync)();
    int (*get_mouse)(int* x, int* y, int* wheel, int* buttons, int* clipped);
    void (*set_mouse)(int x, int y, int visible, int clip);
    void (*set_window_title)(const char* title);
    // With both coordinates 0x80000000 returns the position as top << 16 | left.
    std::int32_t (*set_window_pos)(std::int32_t x, std::int32_t y);
    // Display sizes for the depth, as width << 16 | height; count receives how many.
    const std::uint32_t* (*fetch_modes)(int depth, int* count);
    void (*flip)();
    void (*poll_events)();
};

// Shows nothing; chosen only on request, and its init is never called.
extern const DisplayDriver null_driver;

} // namespace zered
