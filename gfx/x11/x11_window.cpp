#include "gfx/x11/x11_window.h"

#include <X11/Xatom.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <mutex>
#include <thread>

#include "gfx/window/window_input.h"

namespace zered {

namespace {

// A server that is there but busy (connections opened and closed in quick succession fill its
// queue) refuses a connection for a moment: so many tries, this far apart.
inline constexpr int connect_tries = 10;
inline constexpr auto connect_retry = std::chrono::milliseconds(20);
// How long set-up waits for the window manager to map the window.
inline constexpr auto map_wait = std::chrono::seconds(2);

// The connection open_display made last, for the process-wide I/O error handler, and whether it
// was lost.
std::atomic<Display*> watched_display{nullptr};
std::atomic<bool> lost{false};
void (*lost_hook)() = nullptr;
XIOErrorHandler next_io_error_handler = nullptr;
// A lost connection's Display and GC, kept rather than freed (freeing talks to the server).
Display* lost_display = nullptr;
GC lost_gc = nullptr;

// An invisible pointer for the window.
void make_blank_cursor(X11Window& w) {
    static const char no_bits[1] = {0};
    const Pixmap bitmap = XCreateBitmapFromData(w.display, w.id, no_bits, 1, 1);
    if (!bitmap) return;
    XColor black{};
    w.blank_cursor = XCreatePixmapCursor(w.display, bitmap, bitmap, &black, &black, 0, 0);
    XFreePixmap(w.display, bitmap);
}

// Xlib's own answer to a lost connection prints a line and ends the process. On the driver's
// connection the handler returns, and the exit handler below carries on; other connections of
// the process get what they had.
int io_error_handler(Display* display) {
    if (display == watched_display.load(std::memory_order_acquire) || !next_io_error_handler)
        return 0;
    return next_io_error_handler(display);
}

[[maybe_unused]] void connection_lost_handler(Display*, void*) {
    if (!lost.exchange(true, std::memory_order_acq_rel) && lost_hook) lost_hook();
}

inline constexpr long input_events = KeyPressMask | KeyReleaseMask | ButtonPressMask |
                                     ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                                     LeaveWindowMask | FocusChangeMask | ExposureMask |
                                     StructureNotifyMask | PropertyChangeMask;

// The atoms the driver uses, in one round trip.
void intern_atoms(X11Window& w) {
    X11Atoms& a = w.atoms;
    Atom* const targets[] = {&a.wm_protocols,       &a.wm_delete_window,
                             &a.net_wm_state,       &a.net_wm_state_fullscreen,
                             &a.net_wm_state_above, &a.net_wm_name,
                             &a.utf8_string,        &a.motif_wm_hints,
                             &a.net_supporting_wm_check, &a.net_frame_extents};
    char* names[] = {const_cast<char*>("WM_PROTOCOLS"),
                     const_cast<char*>("WM_DELETE_WINDOW"),
                     const_cast<char*>("_NET_WM_STATE"),
                     const_cast<char*>("_NET_WM_STATE_FULLSCREEN"),
                     const_cast<char*>("_NET_WM_STATE_ABOVE"),
                     const_cast<char*>("_NET_WM_NAME"),
                     const_cast<char*>("UTF8_STRING"),
                     const_cast<char*>("_MOTIF_WM_HINTS"),
                     const_cast<char*>("_NET_SUPPORTING_WM_CHECK"),
                     const_cast<char*>("_NET_FRAME_EXTENTS")};
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

Display* open_display(void (*on_lost)()) {
    static std::once_flag initialised;
    std::call_once(initialised, [] {
        XInitThreads();
        next_io_error_handler = XSetIOErrorHandler(io_error_handler);
    });
    lost.store(false, std::memory_order_release);
    lost_hook = on_lost;
    for (int attempt = 1;; ++attempt) {
        errno = 0;
        if (Display* display = XOpenDisplay(nullptr)) {
#ifdef DN_HAVE_IO_ERROR_EXIT_HANDLER
            XSetIOErrorExitHandler(display, connection_lost_handler, nullptr);
            watched_display.store(display, std::memory_order_release);
#endif
            return display;
        }
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

    // What a window manager must know before the window appears needs the atoms first; a plain
    // window gets them, the close protocol and the UTF-8 name just after it is shown, which saves
    // its start a round trip.
    const bool before_map = (flags & (MODE_NO_FRAME | MODE_ALWAYS_ON_TOP)) != 0;
    if (before_map) intern_atoms(w);
    store_title(w, title);
    set_class_hint(w, title);
    set_size_hints(w, true);
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

bool connection_lost() {
    return lost.load(std::memory_order_acquire);
}

void destroy_window(X11Window& w) {
    if (!w.display) return;
    if (connection_lost()) {
        close(ConnectionNumber(w.display));
        lost_display = w.display;
        lost_gc = w.gc;
        watched_display.store(nullptr, std::memory_order_release);
        // The sizes stay: the program's slots may still read them.
        w.display = nullptr;
        w.gc = nullptr;
        w.blank_cursor = 0;
        w.id = 0;
        w.colormap = 0;
        w.grabbed = false;
        return;
    }
    if (w.grabbed) XUngrabPointer(w.display, CurrentTime);
    if (w.gc) XFreeGC(w.display, w.gc);
    if (w.blank_cursor) XFreeCursor(w.display, w.blank_cursor);
    if (w.id) XDestroyWindow(w.display, w.id);
    if (w.colormap) XFreeColormap(w.display, w.colormap);
    watched_display.store(nullptr, std::memory_order_release);
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

bool window_event(X11Window& w, XEvent& event) {
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0) w.repaint = true;
        return false;
    case ConfigureNotify:
        if (event.xconfigure.width != w.window_width || event.xconfigure.height != w.window_height) {
            w.window_width = event.xconfigure.width;
            w.window_height = event.xconfigure.height;
            w.repaint = true;
        }
        return true;
    case ReparentNotify:
        return true;
    case PropertyNotify:
        return event.xproperty.atom == w.atoms.net_frame_extents;
    case ClientMessage:
        if (event.xclient.message_type == w.atoms.wm_protocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == w.atoms.wm_delete_window)
            post_close_request();
        return false;
    case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        return false;
    default:
        return false;
    }
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

// A window manager gives a new window the keyboard as it sees fit; without one nobody would.
void wait_until_mapped(const X11Window& w) {
    const auto deadline = std::chrono::steady_clock::now() + map_wait;
    XEvent event;
    for (;;) {
        if (XCheckTypedWindowEvent(w.display, w.id, MapNotify, &event)) {
            if (!window_manager_present(w))
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
    // left, right, top, bottom: the frame's widths around the window.
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(w.display, w.id, w.atoms.net_frame_extents, 0, 4, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data) == Success &&
        type == XA_CARDINAL && format == 32 && count == 4) {
        const long* extents = reinterpret_cast<const long*>(data);
        left -= static_cast<int>(extents[0]);
        top -= static_cast<int>(extents[2]);
    }
    if (data) XFree(data);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(top) << 16 |
                                      (static_cast<std::uint32_t>(left) & 0xFFFF));
}

bool carry_out(X11Window& w, const WindowRequests& r) {
    if (r.title) store_title(w, r.title_text);
    if (r.move) XMoveWindow(w.display, w.id, r.move_x, r.move_y);
    if (r.warp)
        XWarpPointer(w.display, None, w.id, 0, 0, 0, 0, r.warp_x + image_left(w),
                     r.warp_y + image_top(w));
    if (r.cursor) {
        // Made on first use: the first cursor loads the cursor libraries and theme, which would
        // cost every window's start a millisecond or more.
        if (!r.cursor_visible && !w.blank_cursor) make_blank_cursor(w);
        if (r.cursor_visible)
            XUndefineCursor(w.display, w.id);
        else if (w.blank_cursor)
            XDefineCursor(w.display, w.id, w.blank_cursor);
    }
    return r.title || r.move || r.warp || r.cursor;
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

int image_left(const X11Window& w) {
    return std::max(0, (w.window_width - w.width) / 2);
}
int image_top(const X11Window& w) {
    return std::max(0, (w.window_height - w.height) / 2);
}

} // namespace zered
