// The yardstick for the usage window's start-up time on X11: the least an Xlib program does to
// show a picture in a 400 by 80 window. It reads the picture (a binary PPM, the usage window's
// golden image) first, then creates and names the window, maps it, and puts the picture with
// XPutImage on each Expose; it waits for a key or the window manager's close, as the usage window
// does. Without an image argument it draws one line of text with XDrawString instead.
//   minimal_window [IMAGE.ppm]
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "ppm.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// An 8-bit channel placed under a TrueColor mask.
unsigned long place(unsigned value, unsigned long mask) {
    int shift = 0, bits = 0;
    while (!((mask >> shift) & 1)) ++shift;
    while ((mask >> (shift + bits)) & 1) ++bits;
    return (static_cast<unsigned long>(value) >> (8 - bits) << shift) & mask;
}

XImage* make_image(Display* display, int screen, const Picture& picture) {
    Visual* visual = DefaultVisual(display, screen);
    XImage* image = XCreateImage(display, visual, static_cast<unsigned>(DefaultDepth(display, screen)),
                                 ZPixmap, 0, nullptr, static_cast<unsigned>(picture.width),
                                 static_cast<unsigned>(picture.height), 32, 0);
    if (!image) return nullptr;
    image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) *
                                                 static_cast<std::size_t>(picture.height)));
    const unsigned char* p = picture.rgb.data();
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x, p += 3)
            XPutPixel(image, x, y,
                      place(p[0], visual->red_mask) | place(p[1], visual->green_mask) |
                          place(p[2], visual->blue_mask));
    return image;
}

} // namespace

int main(int argc, char** argv) {
    Picture picture{400, 80, {}};
    if (argc > 1 && !read_ppm(argv[1], picture)) return 2;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                              static_cast<unsigned>(picture.width),
                                              static_cast<unsigned>(picture.height), 0,
                                              BlackPixel(display, screen),
                                              WhitePixel(display, screen));
    XStoreName(display, window, "minimal");
    Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &delete_window, 1);
    XSelectInput(display, window, ExposureMask | KeyPressMask);
    XMapWindow(display, window);
    const GC gc = DefaultGC(display, screen);
    XImage* image = picture.rgb.empty() ? nullptr : make_image(display, screen, picture);
    static const char line[] = "hit anykey to close window";
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose && event.xexpose.count == 0) {
            if (image)
                XPutImage(display, window, gc, image, 0, 0, 0, 0,
                          static_cast<unsigned>(picture.width), static_cast<unsigned>(picture.height));
            else
                XDrawString(display, window, gc, 0, 12, line, sizeof line - 1);
        } else if (event.type == KeyPress) {
            if (!IsModifierKey(XLookupKeysym(&event.xkey, 0))) break;
        } else if (event.type == ClientMessage &&
                   static_cast<Atom>(event.xclient.data.l[0]) == delete_window) {
            break;
        }
    }
    if (image) XDestroyImage(image);
    XCloseDisplay(display);
    return 0;
}
