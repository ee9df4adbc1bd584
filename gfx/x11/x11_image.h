// The X11 driver's image: the visual it draws in, the image in memory shared with the server
// (MIT-SHM) or, where the server cannot share memory with us, sent through the connection, and
// the presentation of the lines that changed. Driver thread only.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include "gfx/blit/convert.h"
#include <cstdint>

#include "gfx/core/screen_state.h"
#include "gfx/window/present_pass.h"
#include "gfx/x11/x11_format.h"
#include "gfx/x11/x11_window.h"

namespace zered {

struct X11Image {
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shm_attached = false;
    ConvertFn converter = nullptr; // from the framebuffer into the visual's pixels
    // The bits of a 32-bit pixel that no colour channel uses, on a visual whose depth counts them
    // (ARGB): its alpha, which a compositor honours. Set in every pixel: the window is opaque.
    std::uint32_t alpha = 0;
};

// The default visual when it is a TrueColor one we can draw into, else the best such visual.
bool choose_visual(Display* display, XVisualInfo& chosen, VisualFormat& format);

// The converter from the framebuffer into the visual's pixels. Where the two formats are the same
// the dirty lines are copied as they are.
ConvertFn choose_converter(VisualFormat format);

// The alpha bits of a visual's pixels (see X11Image::alpha), 0 for a visual without them.
std::uint32_t alpha_bits(const XVisualInfo& visual, VisualFormat format);

// An image of the window's size in its visual: shared with the server where it can attach it,
// else in our memory. False when neither can be made.
bool make_image(X11Image& image, const X11Window& window, const XVisualInfo& visual);

void release_image(X11Image& image, Display* display);

// Gives back the image's memory without a word to the server, whose connection is gone.
void forget_image(X11Image& image);

// The program's side of a pass, under the driver lock: converts the lines that changed into the
// image and clears the screen's dirty flags. The display rows to send.
DirtyBand convert_dirty_lines(X11Image& image, const X11Window& window, ScreenState& screen);

// The server's side, outside the lock: sends the rows (the whole window where it is to be
// repainted) and waits until the server has read shared pixels, which the next conversion
// overwrites. True when something was sent.
bool send_rows(const X11Image& image, X11Window& window, DirtyBand rows);

} // namespace zered
