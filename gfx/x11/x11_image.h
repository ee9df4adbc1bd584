// The X11 driver's image: the visual it draws in, the image in memory shared with the server
// (MIT-SHM) or, where the server cannot share memory with us, sent through the connection, and
// the presentation of the lines that changed. Driver thread only.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include "gfx/blit/convert.h"
#include "gfx/core/screen_state.h"
#include "gfx/x11/x11_format.h"
#include "gfx/x11/x11_window.h"

namespace zered {

struct X11Image {
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shm_attached = false;
    ConvertFn converter = nullptr; // from the framebuffer into the visual's pixels
};

// The default visual when it is a TrueColor one we can draw into, else the best such visual.
bool choose_visual(Display* display, XVisualInfo& chosen, VisualFormat& format);

// The converter from the framebuffer into the visual's pixels. Where the two formats are the same
// the dirty lines are copied as they are.
ConvertFn choose_converter(VisualFormat format);

// An image of the window's size in its visual: shared with the server where it can attach it,
// else in our memory. False when neither can be made.
bool make_image(X11Image& image, const X11Window& window, const XVisualInfo& visual);

void release_image(X11Image& image, Display* display);

// Presents the band of lines that changed (the whole window where it is to be repainted), and
// clears the screen's dirty flags. True when something was sent to the server.
bool present(X11Image& image, X11Window& window, ScreenState& screen);

// Counts the protocol errors the server reports; Xlib's default answer ends the process, a driver
// reports failure instead.
int count_x_error(Display*, XErrorEvent*);

} // namespace zered
