// The yardstick for the usage window's start-up time on X11: the least an Xlib program does to
// show a line of text in a 400 by 80 window (create and name the window, map it, draw one line
// with XDrawString on each Expose), and the same wait for a key or the window manager's close.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 400, 80,
                                              0, BlackPixel(display, screen),
                                              WhitePixel(display, screen));
    XStoreName(display, window, "minimal");
    Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &delete_window, 1);
    XSelectInput(display, window, ExposureMask | KeyPressMask);
    XMapWindow(display, window);
    const GC gc = DefaultGC(display, screen);
    static const char line[] = "hit anykey to close window";
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose && event.xexpose.count == 0) {
            XDrawString(display, window, gc, 0, 12, line, sizeof line - 1);
        } else if (event.type == KeyPress) {
            if (!IsModifierKey(XLookupKeysym(&event.xkey, 0))) break;
        } else if (event.type == ClientMessage &&
                   static_cast<Atom>(event.xclient.data.l[0]) == delete_window) {
            break;
        }
    }
    XCloseDisplay(display);
    return 0;
}
