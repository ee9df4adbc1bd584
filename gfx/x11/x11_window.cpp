#include "gfx/x11/x11_window.h"

#include <X11/Xatom.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <thread>

namespace zered {

namespace {

// A server that is there but busy (connections opened and closed in quick succession fill its
// queue) refuses a connection for a moment: so many tries, this far apart.
inline constexpr int connect_tries = 10;
inline constexpr auto connect_retry = std::chrono::milliseconds(20);
// How long set-up waits for the window manager to map the window.
inline constexpr auto map_wait = std::chrono::seconds(2);

inline constexpr long input_events = KeyPressMask | KeyReleaseMask | ButtonPressMask |
                                     ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                                     LeaveWindowMask | FocusChangeMask | ExposureMask |
                                     StructureNotifyMask;

// The atoms the driver uses, in one round trip.
void intern_atoms(X11Window& w) {
    X11Atoms& a = w.atoms;
    Atom* const targets[] = {&a.wm_protocols,       &a.wm_delete_window,
                             &a.net_wm_state,       &a.net_wm_state_fullscreen,
                             &a.net_wm_state_above, &a.net_wm_name,
                             &a.utf8_string,        &a.motif_wm_hints,
                             &a.net_supporting_wm_check};
    char* names[] = {const_cast<char*>("WM_PROTOCOLS"),
                     const_cast<char*>("WM_DELETE_WINDOW"),
                     const_cast<char*>("_NET_WM_STATE"),
                     const_cast<char*>("_NET_WM_STATE_FULLSCREEN"),
                     const_cast<char*>("_NET_WM_STATE_ABOVE"),
                     const_cast<char*>("_NET_WM_NAME"),
                     const_cast<char*>("UTF8_STRING"),
                     const_cast<char*>("_MOTIF_WM_HINTS"),
                     const_cast<char*>("_NET_SUPPORTING_WM_CHECK")};
    static_assert(std::size(targets) == std::size(names));
    Atom atoms[std::size(names)] = {};
    XInternAtoms(w.display, names, static_cast<int>(std::size(names)), False, atoms);
    for (std::size_t i = 0; i < std::size(names); ++i)
        *targets[i] = atoms[i];
}

// A window manager that follows the desktop conventions takes full-screen requests; without one
// the driver places the window itself.
bool window_manager_present(const X11Window& w) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found =
        XGetWindowProperty(w.display, DefaultRootWindow(w.display), w.atoms.net_supporting_wm_check,
                           0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
            Success &&
        type == XA_WINDOW && count == 1;
    if (data) XFree(data);
    return found;
}

// The fixed size of a framed window; full screen lifts it.
void set_size_hints(const X11Window& w, bool fixed) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PPosition | PSize;
    hints->width = w.width;
    hints->height = w.height;
    if (fixed) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = w.width;
        hints->min_height = hints->max_height = w.height;
    }
    XSetWMNormalHints(w.display, w.id, hints);
    XFree(hints);
}

void set_class_hint(const X11Window& w, const std::string& title) {
    std::string name = title.empty() ? std::string("zered") : title;
    std::string class_name = "zeredclass_" + title;
    XClassHint hint{name.data(), class_name.data()};
    XSetClassHint(w.display, w.id, &hint);
}

// Motif's hint, which window managers read for a window without decorations.
void remove_frame(const X11Window& w) {
    const long hints[5] = {2, 0, 0, 0, 0}; // flags: decorations; decorations: none
    XChangeProperty(w.display, w.id, w.atoms.motif_wm_hints, w.atoms.motif_wm_hints, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(hints), 5);
}

} // namespace

Display* open_display() {
    for (int attempt = 1;; ++attempt) {
        errno = 0;
        if (Display* display = XOpenDisplay(nullptr)) return display;
        const bool transient = errno == EAGAIN || errno == ECONNRESET || errno == EINTR;
        if (!transient || attempt == connect_tries) return nullptr;
        std::this_thread::sleep_for(connect_retry);
    }
}

bool create_window(X11Window& w, const XVisualInfo& visual, ModeFlags flags,
                   const std::string& title) {
    const int screen_number = DefaultScreen(w.display);
    const ::Window root = RootWindow(w.display, screen_number);
    XSetWindowAttributes attributes{};
    unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask;
    if (visual.visual != DefaultVisual(w.display, screen_number)) {
        w.colormap = XCreateColormap(w.display, root, visual.visual, AllocNone);
        attributes.colormap = w.colormap;
        mask |= CWColormap;
    }
    attributes.background_pixel = w.black;
    attributes.border_pixel = w.black;
    attributes.event_mask = input_events;
    w.windowed_x = (w.screen_width - w.width) >> 1;
    w.windowed_y = (w.screen_height - w.height) >> 1;
    w.window_width = w.width;
    w.window_height = w.height;
    w.id = XCreateWindow(w.display, root, w.windowed_x, w.windowed_y,
                         static_cast<unsigned>(w.width), static_cast<unsigned>(w.height), 0,
                         visual.depth, InputOutput, visual.visual, mask, &attributes);
    if (!w.id) return false;

    store_title(w, title);
    set_class_hint(w, title);
    set_size_hints(w, true);
    // What a window manager must know before the window appears needs the atoms first; a plain
    // window gets them, the close protocol and the UTF-8 name just after it is shown, which saves
    // its start a round trip.
    const bool before_map = (flags & (MODE_NO_FRAME | MODE_ALWAYS_ON_TOP)) != 0;
    if (before_map) intern_atoms(w);
    if (flags & MODE_NO_FRAME) remove_frame(w);
    if (flags & MODE_ALWAYS_ON_TOP)
        XChangeProperty(w.display, w.id, w.atoms.net_wm_state, XA_ATOM, 32, PropModeAppend,
                        reinterpret_cast<const unsigned char*>(&w.atoms.net_wm_state_above), 1);
    // Shown first; the rest of the set-up overlaps with the server (and a window manager) mapping
    // it, and the first pass draws it.
    XMapWindow(w.display, w.id);
    XFlush(w.display);
    if (!before_map) {
        intern_atoms(w);
        store_title(w, title);
    }
    XSetWMProtocols(w.display, w.id, &w.atoms.wm_delete_window, 1);
    w.gc = XCreateGC(w.display, w.id, 0, nullptr);
    XSetForeground(w.display, w.gc, w.black);
    XSetGraphicsExposures(w.display, w.gc, False);
    return true;
}

void destroy_window(X11Window& w) {
    if (!w.display) return;
    if (w.grabbed) XUngrabPointer(w.display, CurrentTime);
    if (w.gc) XFreeGC(w.display, w.gc);
    if (w.blank_cursor) XFreeCursor(w.display, w.blank_cursor);
    if (w.id) XDestroyWindow(w.display, w.id);
    if (w.colormap) XFreeColormap(w.display, w.colormap);
    XCloseDisplay(w.display);
    w.display = nullptr;
    w.gc = nullptr;
    w.blank_cursor = 0;
    w.id = 0;
    w.colormap = 0;
}

void store_title(const X11Window& w, const std::string& title) {
    XStoreName(w.display, w.id, title.c_str());
    // The desktop's UTF-8 name, once its atom is known (just after the window is mapped).
    if (w.atoms.net_wm_name)
        XChangeProperty(w.display, w.id, w.atoms.net_wm_name, w.atoms.utf8_string, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
}

void apply_full_screen(X11Window& w, bool on) {
    if (window_manager_present(w)) {
        set_size_hints(w, !on);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = w.id;
        event.xclient.message_type = w.atoms.net_wm_state;
        event.xclient.format = 32;
        event.xclient.data.l[0] = on ? 1 : 0; // add, remove
        event.xclient.data.l[1] = static_cast<long>(w.atoms.net_wm_state_fullscreen);
        event.xclient.data.l[3] = 1; // from an application
        XSendEvent(w.display, DefaultRootWindow(w.display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        return;
    }
    if (on) {
        set_size_hints(w, false);
        w.window_width = w.screen_width;
        w.window_height = w.screen_height;
        XMoveResizeWindow(w.display, w.id, 0, 0, static_cast<unsigned>(w.screen_width),
                          static_cast<unsigned>(w.screen_height));
        XRaiseWindow(w.display, w.id);
    } else {
        w.window_width = w.width;
        w.window_height = w.height;
        XMoveResizeWindow(w.display, w.id, w.windowed_x, w.windowed_y,
                          static_cast<unsigned>(w.width), static_cast<unsigned>(w.height));
        set_size_hints(w, true);
    }
    w.repaint = true;
}

// Without a window manager nobody else would give the new window the keyboard.
void wait_until_mapped(const X11Window& w) {
    const auto deadline = std::chrono::steady_clock::now() + map_wait;
    XEvent event;
    for (;;) {
        if (XCheckTypedWindowEvent(w.display, w.id, MapNotify, &event)) {
            XSetInputFocus(w.display, w.id, RevertToParent, CurrentTime);
            return;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        pollfd wait{ConnectionNumber(w.display), POLLIN, 0};
        poll(&wait, 1, static_cast<int>(left.count()) + 1);
        XEventsQueued(w.display, QueuedAfterReading);
    }
}

std::int32_t query_position(const X11Window& w) {
    int left = 0, top = 0;
    ::Window child = 0;
    XTranslateCoordinates(w.display, w.id, DefaultRootWindow(w.display), 0, 0, &left, &top,
                          &child);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(top) << 16 |
                                      (static_cast<std::uint32_t>(left) & 0xFFFF));
}

void keep_pointer_grab(X11Window& w, bool wanted) {
    if (wanted && !w.grabbed) {
        w.grabbed = XGrabPointer(w.display, w.id, True,
                                 ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                 GrabModeAsync, GrabModeAsync, w.id, None,
                                 CurrentTime) == GrabSuccess;
    } else if (!wanted && w.grabbed) {
        XUngrabPointer(w.display, CurrentTime);
        w.grabbed = false;
    }
}

void make_blank_cursor(X11Window& w) {
    static const char no_bits[1] = {0};
    const Pixmap bitmap = XCreateBitmapFromData(w.display, w.id, no_bits, 1, 1);
    if (!bitmap) return;
    XColor black{};
    w.blank_cursor = XCreatePixmapCursor(w.display, bitmap, bitmap, &black, &black, 0, 0);
    XFreePixmap(w.display, bitmap);
}

int image_left(const X11Window& w) {
    return std::max(0, (w.window_width - w.width) / 2);
}
int image_top(const X11Window& w) {
    return std::max(0, (w.window_height - w.height) / 2);
}

} // namespace zered
