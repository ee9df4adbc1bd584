// close_window NAME [SECONDS]: closes the viewable window titled NAME on $DISPLAY the way a window
// manager's close button does, with a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
// Waits up to SECONDS (default 10) for the window to appear.
// Exit codes: 0 sent; 1 no such window in time; 2 the window does not list WM_DELETE_WINDOW in its
// WM_PROTOCOLS, so a window manager would kill its connection instead of asking; 3 no display.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// Windows may vanish between listing and asking; such errors only mean "not this one".
int ignore_errors(Display*, XErrorEvent*) { return 0; }

bool is_named(Display* display, Window window, const char* name) {
    char* title = nullptr;
    if (!XFetchName(display, window, &title) || !title) return false;
    const bool same = std::strcmp(title, name) == 0;
    XFree(title);
    if (!same) return false;
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) &&
           attributes.map_state == IsViewable;
}

// Depth-first below parent; a window manager, if any, puts the client one or two levels down.
Window find_named(Display* display, Window parent, const char* name, int depth) {
    Window root_return, parent_return, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root_return, &parent_return, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        if (is_named(display, children[i], name))
            found = children[i];
        else if (depth > 0)
            found = find_named(display, children[i], name, depth - 1);
    }
    if (children) XFree(children);
    return found;
}

bool takes_delete(Display* display, Window window, Atom delete_window) {
    Atom* protocols = nullptr;
    int count = 0;
    if (!XGetWMProtocols(display, window, &protocols, &count)) return false;
    bool listed = false;
    for (int i = 0; i < count; ++i) listed = listed || protocols[i] == delete_window;
    XFree(protocols);
    return listed;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: close_window NAME [SECONDS]\n");
        return 3;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "close_window: cannot open the display\n");
        return 3;
    }
    XSetErrorHandler(ignore_errors);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    Window window = 0;
    while (!(window = find_named(display, DefaultRootWindow(display), argv[1], 2))) {
        if (std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "close_window: no window named %s\n", argv[1]);
            XCloseDisplay(display);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    if (!takes_delete(display, window, delete_window)) {
        std::fprintf(stderr, "close_window: 0x%lx does not take WM_DELETE_WINDOW\n", window);
        XCloseDisplay(display);
        return 2;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(delete_window);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
