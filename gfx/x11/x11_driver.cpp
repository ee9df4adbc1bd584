#include "gfx/x11/x11_driver.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "gfx/blit/convert.h"
#include "gfx/console/key_buffer.h"
#include "gfx/console/key_translate.h"
#include "gfx/core/ddraw_modes.h"
#include "gfx/core/framebuffer.h"
#include "gfx/window/present_pass.h"
#include "gfx/window/window_input.h"
#include "gfx/x11/x11_format.h"
#include "gfx/x11/x11_keys.h"

namespace zered {

namespace {

// Two presses of one button this close together make a double click.
inline constexpr unsigned long double_click_ms = 500;
// The longest a pass with nothing to do waits for the X server or the program before it looks again.
inline constexpr int idle_wait_ms = 1000;
// A server that is there but busy (connections opened and closed in quick succession fill its
// queue) refuses a connection for a moment: so many tries, this far apart.
inline constexpr int connect_tries = 10;
inline constexpr auto connect_retry = std::chrono::milliseconds(20);
// How long set-up waits for the window manager to map the window.
inline constexpr auto map_wait = std::chrono::seconds(2);

// What the program's thread asks of the window; the next pass does it.
struct Requests {
    bool title = false;
    bool move = false;
    int move_x = 0, move_y = 0;
    bool warp = false;
    int warp_x = 0, warp_y = 0;
    bool cursor = false;
};

struct X11State {
    // Driver thread only.
    Display* display = nullptr;
    ::Window window = 0;
    Visual* visual = nullptr;
    int visual_depth = 0;
    Colormap colormap = 0; // ours, for a visual that is not the default one
    GC gc = nullptr;
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shm_attached = false;
    ConvertFn converter = nullptr;
    Cursor blank_cursor = 0;
    Atom wm_protocols = 0, wm_delete_window = 0, net_wm_state = 0, net_wm_state_fullscreen = 0,
         net_wm_state_above = 0, net_wm_name = 0, utf8_string = 0, motif_wm_hints = 0,
         net_supporting_wm_check = 0;
    int window_width = 0, window_height = 0; // the window's size; larger than the image in full screen
    int windowed_x = 0, windowed_y = 0;      // where the window goes back to from full screen
    bool repaint = false;                    // the whole window is to be drawn again
    std::array<bool, 256> keycode_down{};
    // Keys held per virtual key (both Shift keys are one virtual key), and whether that changed
    // since the key states were last folded from it.
    std::array<std::uint8_t, 256> virtual_keys_held{};
    bool keys_changed = false;
    unsigned long last_press_time = 0;
    unsigned last_press_button = 0;
    bool grabbed = false;

    // Under the driver lock.
    int width = 0, height = 0; // image size in pixels and display lines
    ModeFlags flags = 0;
    std::string title;
    int screen_width = 0, screen_height = 0, display_bits = 0;
    std::int32_t position = 0; // top << 16 | left, as the last pass saw the window
    int active = 0;
    int cursor_inside = 0;
    int buttons = 0;
    int tracking = 0;
    int wheel = 0, hwheel = 0;
    PointerMotion pointer;
    int clip_cursor = 0;
    int cursor_visible = 1;
    Requests requests;
};

X11State x;
std::recursive_mutex driver_lock;
std::thread driver_thread;
std::atomic<bool> running{false};
std::atomic<bool> palette_changed{false};
std::atomic<unsigned long> window_id{0};
std::atomic<unsigned long> passes{0};
std::atomic<bool> pointer_hidden{false};
std::atomic<bool> shared_memory{false};
std::atomic<unsigned long> x_errors{0};
// Wakes a driver thread that waits while idle: the program drew, or asked for something.
int wake_fd = -1;
std::atomic<bool> wake_pending{false};
// The last pass found work (lines to present, events, requests): the next one comes after
// pass_period_ms. After an idle pass the thread waits for the X server or the program instead.
bool pass_was_busy = true;

// Xlib's default answer to a protocol error ends the process; a driver reports failure instead.
int count_x_error(Display*, XErrorEvent*) {
    x_errors.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void wake_driver_thread() {
    if (wake_fd >= 0 && !wake_pending.exchange(true)) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(wake_fd, &one, sizeof one);
    }
}

void x11_lock() {
    driver_lock.lock();
}
void x11_unlock() {
    driver_lock.unlock();
}

// The program's side of the lock: leaving it may have left lines to present.
void x11_unlock_and_wake() {
    x11_unlock();
    wake_driver_thread();
}

bool is_running() {
    return running.load(std::memory_order_acquire);
}

// The format of a visual's pixels in an image of the display.
VisualFormat format_of(Display* display, const XVisualInfo& info) {
    int count = 0;
    int bits = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == info.depth) bits = formats[i].bits_per_pixel;
        XFree(formats);
    }
    return visual_format(bits, info.red_mask, info.green_mask, info.blue_mask);
}

// The default visual when it is a TrueColor one we can draw into, else the best such visual.
bool choose_visual(XVisualInfo& chosen, VisualFormat& format) {
    const int screen = DefaultScreen(x.display);
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(DefaultVisual(x.display, screen));
    int count = 0;
    if (XVisualInfo* info = XGetVisualInfo(x.display, VisualIDMask, &wanted, &count)) {
        chosen = info[0];
        XFree(info);
        format = format_of(x.display, chosen);
        if (chosen.c_class == TrueColor && format.display_depth) return true;
    }
    for (const int depth : {24, 32, 16, 15}) {
        if (XMatchVisualInfo(x.display, screen, depth, TrueColor, &chosen)) {
            format = format_of(x.display, chosen);
            if (format.display_depth) return true;
        }
    }
    return false;
}

// The converter from the framebuffer into the visual's pixels. Where the two formats are the same
// the dirty lines are copied as they are.
ConvertFn choose_converter(VisualFormat format) {
    // For the formats a visual can have here, select_converter leaves only the pairs without a
    // conversion empty: a 32-bit framebuffer on a blue-low 32-bit visual and a 16-bit one on a
    // blue-low 5-6-5 visual. Their lines are copied as they are.
    const ConvertFn converter = select_converter(format.display_depth, format.red_low);
    return converter ? converter : convert_copy;
}

bool make_shared_image() {
    if (!XShmQueryExtension(x.display)) return false;
    x.image = XShmCreateImage(x.display, x.visual, static_cast<unsigned>(x.visual_depth), ZPixmap,
                              nullptr, &x.shm, static_cast<unsigned>(x.width),
                              static_cast<unsigned>(x.height));
    if (!x.image) return false;
    const auto bytes = static_cast<std::size_t>(x.image->bytes_per_line) *
                       static_cast<std::size_t>(x.image->height);
    x.shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (x.shm.shmid < 0) return false;
    x.shm.shmaddr = static_cast<char*>(shmat(x.shm.shmid, nullptr, 0));
    // Removed now, the segment goes away with the last detach, even if the process dies.
    shmctl(x.shm.shmid, IPC_RMID, nullptr);
    if (x.shm.shmaddr == reinterpret_cast<char*>(-1)) {
        x.shm.shmaddr = nullptr;
        return false;
    }
    x.image->data = x.shm.shmaddr;
    x.shm.readOnly = False;
    const unsigned long errors = x_errors.load();
    // A server on another machine cannot attach: that shows only as an error after a round trip.
    if (!XShmAttach(x.display, &x.shm)) return false;
    XSync(x.display, False);
    if (x_errors.load() != errors) return false;
    x.shm_attached = true;
    return true;
}

void release_image() {
    if (x.shm_attached) {
        XShmDetach(x.display, &x.shm);
        XSync(x.display, False);
        x.shm_attached = false;
    }
    if (x.image) {
        // The pixels are not the image's to free: shared memory, or ours below.
        if (x.shm.shmaddr) x.image->data = nullptr;
        XDestroyImage(x.image);
        x.image = nullptr;
    }
    if (x.shm.shmaddr) {
        shmdt(x.shm.shmaddr);
        x.shm.shmaddr = nullptr;
    }
    x.shm = XShmSegmentInfo{};
}

bool make_image() {
    if (make_shared_image()) return true;
    release_image();
    x.image = XCreateImage(x.display, x.visual, static_cast<unsigned>(x.visual_depth), ZPixmap, 0,
                           nullptr, static_cast<unsigned>(x.width),
                           static_cast<unsigned>(x.height), 32, 0);
    if (!x.image) return false;
    // XDestroyImage frees the pixels with free().
    x.image->data = static_cast<char*>(std::calloc(static_cast<std::size_t>(x.image->height),
                                                   static_cast<std::size_t>(x.image->bytes_per_line)));
    return x.image->data != nullptr;
}

// The atoms the driver uses, in one round trip.
void intern_atoms() {
    Atom* const targets[] = {&x.wm_protocols,        &x.wm_delete_window,
                             &x.net_wm_state,        &x.net_wm_state_fullscreen,
                             &x.net_wm_state_above,  &x.net_wm_name,
                             &x.utf8_string,         &x.motif_wm_hints,
                             &x.net_supporting_wm_check};
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
    XInternAtoms(x.display, names, static_cast<int>(std::size(names)), False, atoms);
    for (std::size_t i = 0; i < std::size(names); ++i)
        *targets[i] = atoms[i];
}

// A window manager that follows the desktop conventions takes full-screen requests; without one
// the driver places the window itself.
bool window_manager_present() {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found =
        XGetWindowProperty(x.display, DefaultRootWindow(x.display), x.net_supporting_wm_check, 0, 1,
                           False, XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        type == XA_WINDOW && count == 1;
    if (data) XFree(data);
    return found;
}

// The fixed size of a framed window; full screen lifts it.
void set_size_hints(bool fixed) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PPosition | PSize;
    hints->width = x.width;
    hints->height = x.height;
    if (fixed) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = x.width;
        hints->min_height = hints->max_height = x.height;
    }
    XSetWMNormalHints(x.display, x.window, hints);
    XFree(hints);
}

void store_title() {
    XStoreName(x.display, x.window, x.title.c_str());
    // The desktop's UTF-8 name, once its atom is known (just after the window is mapped).
    if (x.net_wm_name)
        XChangeProperty(x.display, x.window, x.net_wm_name, x.utf8_string, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(x.title.data()),
                    static_cast<int>(x.title.size()));
}

void set_class_hint() {
    std::string name = x.title.empty() ? std::string("zered") : x.title;
    std::string class_name = "zeredclass_" + x.title;
    XClassHint hint{name.data(), class_name.data()};
    XSetClassHint(x.display, x.window, &hint);
}

// Motif's hint, which window managers read for a window without decorations.
void remove_frame() {
    const long hints[5] = {2, 0, 0, 0, 0}; // flags: decorations; decorations: none
    XChangeProperty(x.display, x.window, x.motif_wm_hints, x.motif_wm_hints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints), 5);
}

void update_position() {
    int left = 0, top = 0;
    ::Window child = 0;
    XTranslateCoordinates(x.display, x.window, DefaultRootWindow(x.display), 0, 0, &left, &top,
                          &child);
    std::lock_guard lock(driver_lock);
    x.position = static_cast<std::int32_t>(static_cast<std::uint32_t>(top) << 16 |
                                           (static_cast<std::uint32_t>(left) & 0xFFFF));
}

// Full screen: the window covers the screen and shows the image 1:1 in its middle, on black; the
// display mode stays as it is.
void apply_full_screen(bool on) {
    if (window_manager_present()) {
        set_size_hints(!on);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = x.window;
        event.xclient.message_type = x.net_wm_state;
        event.xclient.format = 32;
        event.xclient.data.l[0] = on ? 1 : 0; // add, remove
        event.xclient.data.l[1] = static_cast<long>(x.net_wm_state_fullscreen);
        event.xclient.data.l[3] = 1; // from an application
        XSendEvent(x.display, DefaultRootWindow(x.display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        return;
    }
    if (on) {
        set_size_hints(false);
        x.window_width = x.screen_width;
        x.window_height = x.screen_height;
        XMoveResizeWindow(x.display, x.window, 0, 0, static_cast<unsigned>(x.screen_width),
                          static_cast<unsigned>(x.screen_height));
        XRaiseWindow(x.display, x.window);
    } else {
        x.window_width = x.width;
        x.window_height = x.height;
        XMoveResizeWindow(x.display, x.window, x.windowed_x, x.windowed_y,
                          static_cast<unsigned>(x.width), static_cast<unsigned>(x.height));
        set_size_hints(true);
    }
    x.repaint = true;
}

// Waits for the window to be mapped (a window manager may take a while, or never do it), then
// gives it the keyboard as the desktop does a new window: without a window manager nobody else
// would. Other events stay queued for the passes.
void wait_until_mapped() {
    const auto deadline = std::chrono::steady_clock::now() + map_wait;
    XEvent event;
    for (;;) {
        if (XCheckTypedWindowEvent(x.display, x.window, MapNotify, &event)) {
            XSetInputFocus(x.display, x.window, RevertToParent, CurrentTime);
            return;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        pollfd wait{ConnectionNumber(x.display), POLLIN, 0};
        poll(&wait, 1, static_cast<int>(left.count()) + 1);
        XEventsQueued(x.display, QueuedAfterReading);
    }
}

void make_blank_cursor() {
    static const char no_bits[1] = {0};
    const Pixmap bitmap = XCreateBitmapFromData(x.display, x.window, no_bits, 1, 1);
    if (!bitmap) return;
    XColor black{};
    x.blank_cursor = XCreatePixmapCursor(x.display, bitmap, bitmap, &black, &black, 0, 0);
    XFreePixmap(x.display, bitmap);
}

inline constexpr long input_events = KeyPressMask | KeyReleaseMask | ButtonPressMask |
                                     ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                                     LeaveWindowMask | FocusChangeMask | ExposureMask |
                                     StructureNotifyMask;

// The display DISPLAY names, or nullptr. Only a refusal that says "try again" is tried again; no
// server, or no DISPLAY, fails at once.
Display* open_display() {
    for (int attempt = 1;; ++attempt) {
        errno = 0;
        if (Display* display = XOpenDisplay(nullptr)) return display;
        const bool transient = errno == EAGAIN || errno == ECONNRESET || errno == EINTR;
        if (!transient || attempt == connect_tries) return nullptr;
        std::this_thread::sleep_for(connect_retry);
    }
}

bool setup() {
    static std::once_flag handler_installed;
    std::call_once(handler_installed, [] {
        XInitThreads();
        XSetErrorHandler(count_x_error);
    });
    ScreenState* screen = current_screen();
    if (!screen) return false;
    x.display = open_display();
    if (!x.display) return false;

    XVisualInfo info{};
    VisualFormat format;
    if (!choose_visual(info, format)) return false;
    x.visual = info.visual;
    x.visual_depth = info.depth;
    x.converter = choose_converter(format);
    if (!x.converter) return false;

    const int screen_number = DefaultScreen(x.display);
    const ::Window root = RootWindow(x.display, screen_number);
    {
        std::lock_guard lock(driver_lock);
        x.screen_width = DisplayWidth(x.display, screen_number);
        x.screen_height = DisplayHeight(x.display, screen_number);
        x.display_bits = format.display_depth;
    }
    XSetWindowAttributes attributes{};
    unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask;
    if (x.visual != DefaultVisual(x.display, screen_number)) {
        x.colormap = XCreateColormap(x.display, root, x.visual, AllocNone);
        attributes.colormap = x.colormap;
        mask |= CWColormap;
    }
    attributes.background_pixel = 0; // black in every TrueColor visual
    attributes.border_pixel = 0;
    attributes.event_mask = input_events;
    x.windowed_x = (x.screen_width - x.width) >> 1;
    x.windowed_y = (x.screen_height - x.height) >> 1;
    x.window_width = x.width;
    x.window_height = x.height;
    x.window = XCreateWindow(x.display, root, x.windowed_x, x.windowed_y,
                             static_cast<unsigned>(x.width), static_cast<unsigned>(x.height), 0,
                             x.visual_depth, InputOutput, x.visual, mask, &attributes);
    if (!x.window) return false;

    store_title();
    set_class_hint();
    set_size_hints(true);
    // What a window manager must know before the window appears needs the atoms first; a plain
    // window gets them, the close protocol and the UTF-8 name just after it is shown, which saves
    // its start a round trip.
    const bool before_map = (x.flags & (MODE_NO_FRAME | MODE_ALWAYS_ON_TOP)) != 0;
    if (before_map) intern_atoms();
    if (x.flags & MODE_NO_FRAME) remove_frame();
    if (x.flags & MODE_ALWAYS_ON_TOP)
        XChangeProperty(x.display, x.window, x.net_wm_state, XA_ATOM, 32, PropModeAppend,
                        reinterpret_cast<const unsigned char*>(&x.net_wm_state_above), 1);
    // Shown first; the rest of the set-up overlaps with the server (and a window manager) mapping
    // it, and the first pass draws it.
    XMapWindow(x.display, x.window);
    XFlush(x.display);
    if (!before_map) {
        intern_atoms();
        store_title();
    }
    XSetWMProtocols(x.display, x.window, &x.wm_delete_window, 1);
    x.gc = XCreateGC(x.display, x.window, 0, nullptr);
    XSetForeground(x.display, x.gc, 0);
    XSetGraphicsExposures(x.display, x.gc, False);
    if (!make_image()) return false;
    XkbSetDetectableAutoRepeat(x.display, True, nullptr);
    if (x.flags & MODE_FULLSCREEN) apply_full_screen(true);
    wait_until_mapped();
    update_position();
    std::ranges::fill(pass_dirty_flags(*screen, x.height), std::uint8_t{1});
    x.repaint = true;
    shared_memory.store(x.shm_attached);
    window_id.store(x.window, std::memory_order_release);
    return true;
}

void teardown() {
    window_id.store(0, std::memory_order_release);
    pointer_hidden.store(false);
    shared_memory.store(false);
    if (!x.display) return;
    if (x.grabbed) XUngrabPointer(x.display, CurrentTime);
    release_image();
    if (x.gc) XFreeGC(x.display, x.gc);
    if (x.blank_cursor) XFreeCursor(x.display, x.blank_cursor);
    if (x.window) XDestroyWindow(x.display, x.window);
    if (x.colormap) XFreeColormap(x.display, x.colormap);
    XCloseDisplay(x.display);
    x.display = nullptr;
    x.gc = nullptr;
    x.blank_cursor = 0;
    x.window = 0;
    x.colormap = 0;
}

// Where the image's top-left corner lies in the window: its middle in full screen.
int image_left() {
    return std::max(0, (x.window_width - x.width) / 2);
}
int image_top() {
    return std::max(0, (x.window_height - x.height) / 2);
}

void put_rows(int first_row, int rows) {
    if (x.shm_attached)
        XShmPutImage(x.display, x.window, x.gc, x.image, 0, first_row, image_left(),
                     image_top() + first_row, static_cast<unsigned>(x.width),
                     static_cast<unsigned>(rows), False);
    else
        XPutImage(x.display, x.window, x.gc, x.image, 0, first_row, image_left(),
                  image_top() + first_row, static_cast<unsigned>(x.width),
                  static_cast<unsigned>(rows));
}

// The black around the image of a window that is larger than it.
void fill_margins() {
    const int left = image_left(), top = image_top();
    const auto fill = [](int fx, int fy, int fw, int fh) {
        if (fw > 0 && fh > 0)
            XFillRectangle(x.display, x.window, x.gc, fx, fy, static_cast<unsigned>(fw),
                           static_cast<unsigned>(fh));
    };
    fill(0, 0, x.window_width, top);
    fill(0, top + x.height, x.window_width, x.window_height - top - x.height);
    fill(0, top, left, x.height);
    fill(left + x.width, top, x.window_width - left - x.width, x.height);
}

bool present(ScreenState& screen) {
    const DirtyBand band = find_dirty_band(pass_dirty_flags(screen, screen.height));
    bool drawn = false;
    if (band.count > 0) {
        x.converter(x.image->data, x.image->bytes_per_line);
        if (!x.repaint) {
            const DirtyBand rows = band_display_rows(band, screen.scanline_size, x.height);
            if (rows.count > 0) put_rows(rows.first, rows.count);
            drawn = true;
        }
    }
    if (x.repaint) {
        fill_margins();
        put_rows(0, x.height);
        x.repaint = false;
        drawn = true;
    }
    std::ranges::fill(pass_dirty_flags(screen, x.height), std::uint8_t{0});
    // The server reads shared pixels when it gets to the request: it must be done with them
    // before the next pass converts into them.
    if (drawn) {
        if (x.shm_attached)
            XSync(x.display, False);
        else
            XFlush(x.display);
    }
    return drawn;
}

bool carry_out_requests() {
    Requests& r = x.requests;
    const bool any = r.title || r.move || r.warp || r.cursor;
    if (r.title) store_title();
    if (r.move && !(x.flags & MODE_FULLSCREEN)) XMoveWindow(x.display, x.window, r.move_x, r.move_y);
    if (r.warp) XWarpPointer(x.display, None, x.window, 0, 0, 0, 0, r.warp_x, r.warp_y);
    if (r.cursor) {
        // Made on first use: the first cursor loads the cursor libraries and theme, which would
        // cost every window's start a millisecond or more.
        if (!x.cursor_visible && !x.blank_cursor) make_blank_cursor();
        if (x.cursor_visible)
            XUndefineCursor(x.display, x.window);
        else if (x.blank_cursor)
            XDefineCursor(x.display, x.window, x.blank_cursor);
        pointer_hidden.store(!x.cursor_visible && x.blank_cursor);
    }
    r = Requests{};
    return any;
}

// The pointer is kept in the window by a grab while that is asked for and the window is active.
// Another client may hold the pointer (a menu, a drag): the grab is tried again each pass.
void keep_clip() {
    const bool wanted = x.clip_cursor && x.active;
    if (wanted && !x.grabbed) {
        x.grabbed = XGrabPointer(x.display, x.window, True,
                                 ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                 GrabModeAsync, GrabModeAsync, x.window, None,
                                 CurrentTime) == GrabSuccess;
    } else if (!wanted && x.grabbed) {
        XUngrabPointer(x.display, CurrentTime);
        x.grabbed = false;
    }
}

bool key_down(unsigned keycode) {
    return keycode < x.keycode_down.size() && x.keycode_down[keycode];
}

void mouse_enter_check(Event& event) {
    if (x.tracking || !x.active) return;
    x.tracking = 1;
    event = Event{EVENT_MOUSE_ENTERED, 0, 0, 0, 0};
}

void post_if_any(const Event& event) {
    if (event.type) post_event(event);
}

void toggle_full_screen() {
    if (x.tracking) post_event(Event{EVENT_MOUSE_LEFT, 0, 0, 0, 0});
    if (x.flags & MODE_NO_SWITCH) return;
    x.flags ^= MODE_FULLSCREEN;
    apply_full_screen((x.flags & MODE_FULLSCREEN) != 0);
    if (ScreenState* screen = current_screen()) mark_all_dirty(*screen);
    x.active = 1;
    x.tracking = 0;
}

void key_message(XKeyEvent& key_event, bool press) {
    char typed[8];
    KeySym keysym = NoSymbol;
    XLookupString(&key_event, typed, sizeof typed, &keysym, nullptr);
    const bool was_down = key_down(key_event.keycode);
    if (key_event.keycode < x.keycode_down.size() && was_down != press) {
        x.keycode_down[key_event.keycode] = press;
        // Counted under the key's own virtual key, not the keypad's Num Lock one, so that a
        // release finds the count its press made whatever Num Lock did in between.
        std::uint8_t& held =
            x.virtual_keys_held[x11_virtual_key(x11_key_of(key_event.keycode), 0) & 0xFF];
        held = press ? held + 1 : (held ? held - 1 : 0);
        x.keys_changed = true;
    }
    const X11ModifierKeys modifier_keys{key_down(keycode_left_shift), key_down(keycode_right_shift),
                                        key_down(keycode_left_ctrl),  key_down(keycode_right_ctrl),
                                        key_down(keycode_left_alt),   key_down(keycode_right_alt)};
    const X11KeyStroke stroke =
        x11_key_stroke(key_event.keycode, keysym, key_event.state, modifier_keys);
    if (press && x.active && stroke.virtual_key == vk::return_key && stroke.system) {
        toggle_full_screen();
        return;
    }
    x11_key_message(stroke, press, was_down);
}

int button_bit(unsigned button) {
    switch (button) {
    case Button1: return BUTTON_LEFT;
    case Button2: return BUTTON_MIDDLE;
    case Button3: return BUTTON_RIGHT;
    case 8: return BUTTON_EXTRA_1;
    case 9: return BUTTON_EXTRA_2;
    default: return 0;
    }
}

void button_message(const XButtonEvent& button, bool press) {
    Event event{};
    if (button.button >= 4 && button.button <= 7) {
        // Wheels: 4 and 5 up and down, 6 and 7 left and right; a press is one notch.
        if (!press) return;
        if (button.button <= 5)
            event = wheel_event(x.wheel, button.button == 4, EVENT_WHEEL);
        else
            event = wheel_event(x.hwheel, button.button == 7, EVENT_HORIZONTAL_WHEEL);
        post_event(event);
        return;
    }
    const int bit = button_bit(button.button);
    if (!bit) return;
    if (press) {
        const bool double_click = button.button == x.last_press_button &&
                                  button.time - x.last_press_time <= double_click_ms;
        event = button_event(x.buttons, bit,
                             double_click ? EVENT_BUTTON_DOUBLE_CLICKED : EVENT_BUTTON_PRESSED);
        // A third press starts again.
        x.last_press_button = double_click ? 0 : button.button;
        x.last_press_time = button.time;
    } else {
        event = button_event(x.buttons, bit, EVENT_BUTTON_RELEASED);
    }
    post_event(event);
}

void activation(bool active) {
    x.active = active ? 1 : 0;
    x.keycode_down.fill(false);
    x.virtual_keys_held.fill(0);
    x.keys_changed = false;
    reset_input_on_activation(x.buttons);
    if (!active && x.tracking) {
        post_event(Event{EVENT_MOUSE_LEFT, 0, 0, 0, 0});
        x.tracking = 0;
    }
    post_event(Event{active ? EVENT_FOCUS_GAINED : EVENT_FOCUS_LOST, 0, 0, 0, 0});
    if (active && x.cursor_inside) {
        Event enter{};
        mouse_enter_check(enter);
        post_if_any(enter);
    }
}

void handle_event(XEvent& event) {
    switch (event.type) {
    case KeyPress:
    case KeyRelease:
        key_message(event.xkey, event.type == KeyPress);
        break;
    case ButtonPress:
    case ButtonRelease:
        button_message(event.xbutton, event.type == ButtonPress);
        break;
    case MotionNotify: {
        const XMotionEvent& motion = event.xmotion;
        x.cursor_inside = 1;
        Event moved = mouse_move_event(x.pointer, motion.x - image_left(), motion.y - image_top(),
                                       motion.x_root, motion.y_root, x.active != 0);
        mouse_enter_check(moved);
        post_if_any(moved);
        break;
    }
    case EnterNotify: {
        x.cursor_inside = 1;
        Event enter{};
        mouse_enter_check(enter);
        post_if_any(enter);
        break;
    }
    case LeaveNotify:
        x.cursor_inside = 0;
        if (x.active && x.tracking) {
            post_event(Event{EVENT_MOUSE_LEFT, 0, 0, 0, 0});
            x.tracking = 0;
        }
        break;
    case FocusIn:
    case FocusOut:
        // Focus moving between the window and its pointer, or a grab's, is not activation.
        if (event.xfocus.detail == NotifyPointer || event.xfocus.detail == NotifyInferior ||
            event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab)
            break;
        activation(event.type == FocusIn);
        break;
    case Expose:
        if (event.xexpose.count == 0) x.repaint = true;
        break;
    case ConfigureNotify:
        if (event.xconfigure.width != x.window_width || event.xconfigure.height != x.window_height) {
            x.window_width = event.xconfigure.width;
            x.window_height = event.xconfigure.height;
            x.repaint = true;
        }
        update_position();
        break;
    case ClientMessage:
        if (event.xclient.message_type == x.wm_protocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == x.wm_delete_window)
            post_close_request();
        break;
    case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        break;
    default:
        break;
    }
}

// One pass, under the driver lock: the program's requests, the band of changed lines, the key
// states, the window's events.
void pass() {
    passes.fetch_add(1, std::memory_order_relaxed);
    bool busy = carry_out_requests();
    keep_clip();
    ScreenState* screen = current_screen();
    if (palette_changed.exchange(false) && screen) mark_all_dirty(*screen);
    if (screen && present(*screen)) busy = true;
    if (screen && x.active && x.keys_changed) {
        fold_key_states(screen->key_state.data(), [](std::uint8_t virtual_key) {
            return x.virtual_keys_held[virtual_key] != 0;
        });
        x.keys_changed = false;
    }
    XEvent event;
    while (XPending(x.display)) {
        XNextEvent(x.display, &event);
        handle_event(event);
        busy = true;
    }
    XFlush(x.display);
    pass_was_busy = busy;
}

void sleep_ms(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The pause between passes. While things happen it is the pass period. After a pass that found
// nothing to do, the thread waits until the X server sends something or the program wakes it (it
// drew, or asked for something), at most idle_wait_ms: an open window that nobody touches costs
// next to nothing, and a change is still presented within one pass period.
void pause_between_passes(int milliseconds) {
    if (pass_was_busy || wake_fd < 0) {
        sleep_ms(milliseconds);
        return;
    }
    pollfd waits[2] = {{ConnectionNumber(x.display), POLLIN, 0}, {wake_fd, POLLIN, 0}};
    poll(waits, 2, idle_wait_ms);
    if (waits[1].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = read(wake_fd, &count, sizeof count);
        wake_pending.store(false);
    }
    // Lines drawn just now are presented after one pass period, as if the thread had slept.
    sleep_ms(milliseconds);
}

void thread_body(std::promise<bool> started) {
    const bool ok = setup();
    if (ok) {
        std::lock_guard lock(driver_lock);
        x.active = 1;
    }
    started.set_value(ok);
    if (ok) run_pass_loop({is_running, x11_lock, x11_unlock, pass, pause_between_passes});
    teardown();
}

int x11_init(const char* title, int width, int height, int, int, ModeFlags flags) {
    if (flags & (MODE_OPENGL | MODE_SHAPED_WINDOW)) return -1;
    if (driver_thread.joinable() || width <= 0 || height <= 0) return -1;
    x = X11State{};
    x.width = width;
    x.height = height;
    x.flags = flags;
    x.title = title ? title : "";
    palette_changed.store(false);
    pass_was_busy = true;
    wake_pending.store(false);
    wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    running.store(true, std::memory_order_release);
    std::promise<bool> started;
    std::future<bool> result = started.get_future();
    driver_thread = std::thread(thread_body, std::move(started));
    return result.get() ? 0 : -1;
}

void x11_exit() {
    if (!driver_thread.joinable()) return;
    running.store(false, std::memory_order_release);
    // The program may be inside screen_lock; the driver thread needs the lock to end its pass.
    ScreenState* screen = current_screen();
    if (screen && screen->lock_count != 0) {
        screen->lock_count = 0;
        x11_unlock();
    }
    wake_driver_thread();
    driver_thread.join();
    if (wake_fd >= 0) close(wake_fd);
    wake_fd = -1;
}

void x11_set_palette(int, int, int, int) {
    // The converters read the screen's palette; a new colour needs every line converted again.
    palette_changed.store(true);
    wake_driver_thread();
}

void x11_wait_vsync() {
    const ScreenState* screen = current_screen();
    sleep_ms(frame_wait_ms(screen ? screen->refresh_rate : 0));
}

int x11_get_mouse(int* mouse_x, int* mouse_y, int* wheel, int* buttons, int* clipped) {
    std::lock_guard lock(driver_lock);
    return report_mouse(x.active && x.cursor_inside, x.pointer, x.wheel, x.buttons, x.clip_cursor,
                        {mouse_x, mouse_y, wheel, buttons, clipped});
}

void x11_set_mouse(int mouse_x, int mouse_y, int cursor, int clip) {
    std::lock_guard lock(driver_lock);
    if (mouse_x >= 0) {
        x.requests.warp = true;
        x.requests.warp_x = std::min(mouse_x, x.width - 1) + image_left();
        x.requests.warp_y = std::clamp(mouse_y, 0, std::max(x.height - 1, 0)) + image_top();
        x.pointer.mouse_x = mouse_x;
        x.pointer.mouse_y = mouse_y;
    }
    if (cursor >= 0 && (cursor > 0 ? 1 : 0) != x.cursor_visible) {
        x.cursor_visible = cursor > 0 ? 1 : 0;
        x.requests.cursor = true;
    }
    if (clip >= 0) x.clip_cursor = clip > 0 ? 1 : 0;
    wake_driver_thread();
}

void x11_set_title(const char* title) {
    std::lock_guard lock(driver_lock);
    x.title = title ? title : "";
    x.requests.title = true;
    wake_driver_thread();
}

std::int32_t x11_set_position(std::int32_t left, std::int32_t top) {
    std::lock_guard lock(driver_lock);
    if (x.flags & MODE_FULLSCREEN) return 0;
    if (left == INT32_MIN && top == INT32_MIN) return x.position;
    x.requests.move = true;
    x.requests.move_x = left;
    x.requests.move_y = top;
    wake_driver_thread();
    return 0;
}

// The screen's size is the one display size: full screen never changes the mode.
const std::uint32_t* x11_fetch_modes(int depth, int* count) {
    DisplaySizeList sizes;
    {
        std::lock_guard lock(driver_lock);
        if (x.screen_width > 0 && same_display_depth(depth, x.display_bits))
            sizes.append(static_cast<std::uint32_t>(x.screen_width),
                         static_cast<std::uint32_t>(x.screen_height));
    }
    return sizes.release(count);
}

} // namespace

const DisplayDriver x11_driver{
    "X11",
    x11_init,
    x11_exit,
    x11_lock,
    x11_unlock_and_wake,
    x11_set_palette,
    x11_wait_vsync,
    x11_get_mouse,
    x11_set_mouse,
    x11_set_title,
    x11_set_position,
    x11_fetch_modes,
    nullptr,
    nullptr,
};

unsigned long x11_window_id() {
    return window_id.load(std::memory_order_acquire);
}

bool x11_uses_shared_memory() {
    return shared_memory.load();
}

bool x11_pointer_hidden() {
    return pointer_hidden.load();
}

unsigned long x11_pass_count() {
    return passes.load(std::memory_order_relaxed);
}

} // namespace zered
