#include "gfx/x11/x11_driver.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "gfx/core/ddraw_modes.h"
#include "gfx/core/framebuffer.h"
#include "gfx/window/present_pass.h"
#include "gfx/window/window_input.h"
#include "gfx/x11/x11_image.h"
#include "gfx/x11/x11_input.h"
#include "gfx/x11/x11_wake.h"
#include "gfx/x11/x11_window.h"

namespace zered {

namespace {

// Events handled under one taking of the driver lock.
inline constexpr int event_batch = 32;

// What handling events under the lock leaves to do with the server, after it.
struct ServerWork {
    bool position = false;     // the window moved or changed size
    int full_screen = -1;      // 0 or 1: leave or enter full screen
};

// The open screen's driver. The window and image are the driver thread's; the input is the driver
// thread's too, under the driver lock where the program's slots read it; the rest is under the
// lock.
struct X11State {
    X11Window window;
    X11Image image;
    X11Input input;
    XVisualInfo visual{};

    ModeFlags flags = 0;
    std::string title;
    int display_bits = 0;
    std::int32_t position = 0; // top << 16 | left, as the last pass saw the window
    int clip_cursor = 0;
    int cursor_visible = 1;
    WindowRequests requests;
};

X11State x;
// The screen lock of the program and the lock of the state the slots share with the driver
// thread. The driver thread never holds it while it waits for the server.
std::recursive_mutex driver_lock;
std::thread driver_thread;
std::atomic<bool> running{false};
std::atomic<bool> palette_changed{false};
std::atomic<unsigned long> window_id{0};
std::atomic<unsigned long> passes{0};
std::atomic<bool> pointer_hidden{false};
std::atomic<bool> shared_memory{false};
// Wakes a driver thread that waits while idle: the program drew, or asked for something.
WakeChannel wake_channel;
// The last pass found work (lines to present, events, requests): the next one comes after
// pass_period_ms. After an idle pass the thread waits for the X server or the program instead.
bool pass_was_busy = true;

void x11_lock() {
    driver_lock.lock();
}
void x11_unlock() {
    driver_lock.unlock();
}

// The program's side of the lock: leaving it may have left lines to present.
void x11_unlock_and_wake() {
    x11_unlock();
    wake(wake_channel);
}

bool lost() {
    return connection_lost();
}

bool is_running() {
    return running.load(std::memory_order_acquire) && !lost();
}

void update_position() {
    const std::int32_t position = query_position(x.window);
    std::lock_guard lock(driver_lock);
    x.position = position;
}

bool setup() {
    ScreenState* screen = current_screen();
    if (!screen) return false;
    X11Window& w = x.window;
    // A lost connection is the session ending, as a log-off is on Windows: the program is asked
    // to close.
    w.display = open_display(post_close_request);
    if (!w.display) return false;

    VisualFormat format;
    if (!choose_visual(w.display, x.visual, format)) return false;
    x.image.converter = choose_converter(format);
    if (!x.image.converter) return false;
    x.image.alpha = alpha_bits(x.visual, format);
    w.black = x.image.alpha;

    const int screen_number = DefaultScreen(w.display);
    {
        std::lock_guard lock(driver_lock);
        w.screen_width = DisplayWidth(w.display, screen_number);
        w.screen_height = DisplayHeight(w.display, screen_number);
        x.display_bits = format.display_depth;
    }
    if (!create_window(w, x.visual, x.flags, x.title)) return false;
    if (!make_image(x.image, w, x.visual)) return false;
    XkbSetDetectableAutoRepeat(w.display, True, nullptr);
    if (x.flags & MODE_FULLSCREEN) apply_full_screen(w, true);
    wait_until_mapped(w);
    update_position();
    if (lost()) return false;
    std::lock_guard lock(driver_lock);
    std::ranges::fill(pass_dirty_flags(*screen, w.height), std::uint8_t{1});
    w.repaint = true;
    shared_memory.store(x.image.shm_attached);
    window_id.store(w.id, std::memory_order_release);
    return true;
}

void teardown() {
    window_id.store(0, std::memory_order_release);
    pointer_hidden.store(false);
    shared_memory.store(false);
    if (!x.window.display) return;
    // Nothing more goes to a server whose connection is gone: the memory is ours to give back.
    if (lost())
        forget_image(x.image);
    else
        release_image(x.image, x.window.display);
    destroy_window(x.window);
}

// Alt+Enter, under the lock: the bookkeeping now, the window's change after it.
void toggle_full_screen(ServerWork& work) {
    if (!full_screen_toggle_begins(x.input.tracking, x.flags)) return;
    x.flags ^= MODE_FULLSCREEN;
    work.full_screen = (x.flags & MODE_FULLSCREEN) ? 1 : 0;
    full_screen_toggle_ends(x.input.active, x.input.tracking);
}

// Under the lock; what needs the server is left in work.
void handle_event(XEvent& event, ServerWork& work) {
    X11Window& w = x.window;
    if (input_event(x.input, event, image_left(w), image_top(w)) == KeyAction::toggle_full_screen)
        toggle_full_screen(work);
    else if (window_event(w, event))
        work.position = true;
}

// Reads the window's events from the server and handles them in batches under the lock. True
// when there were any.
bool handle_events() {
    Display* display = x.window.display;
    bool any = false;
    XEvent batch[event_batch];
    for (;;) {
        int count = 0;
        while (count < event_batch && !lost() && XPending(display))
            XNextEvent(display, &batch[count++]);
        if (count == 0 || lost()) return any;
        any = true;
        ServerWork work;
        {
            std::lock_guard lock(driver_lock);
            for (int i = 0; i < count; ++i)
                handle_event(batch[i], work);
        }
        if (work.full_screen >= 0) apply_full_screen(x.window, work.full_screen == 1);
        if (work.position) update_position();
        if (count < event_batch) return any;
    }
}

// One pass: under the driver lock, take the program's requests and convert the lines it changed;
// then, with the lock free, carry the requests out, send the lines and read the window's events.
void pass() {
    passes.fetch_add(1, std::memory_order_relaxed);
    WindowRequests requests;
    DirtyBand rows{};
    bool clip = false;
    {
        std::lock_guard lock(driver_lock);
        requests = std::exchange(x.requests, WindowRequests{});
        if (x.flags & MODE_FULLSCREEN) requests.move = false;
        if (requests.title) requests.title_text = x.title;
        requests.cursor_visible = x.cursor_visible != 0;
        clip = x.clip_cursor && x.input.active;
        if (ScreenState* screen = current_screen()) {
            if (palette_changed.exchange(false)) mark_all_dirty(*screen);
            rows = convert_dirty_lines(x.image, x.window, *screen);
            fold_held_keys(x.input, *screen);
        }
    }
    bool busy = carry_out(x.window, requests);
    if (requests.cursor) pointer_hidden.store(!requests.cursor_visible && x.window.blank_cursor);
    keep_pointer_grab(x.window, clip);
    if (send_rows(x.image, x.window, rows)) busy = true;
    if (!lost() && handle_events()) busy = true;
    if (!lost()) XFlush(x.window.display);
    pass_was_busy = busy;
}

void sleep_ms(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The pause between passes: the pass period while things happen; after a pass that found nothing
// to do, until the X server or the program has something (see wait_for_work).
void pause_between_passes() {
    if (pass_was_busy || lost()) {
        sleep_ms(pass_period_ms);
        return;
    }
    wait_for_work(wake_channel, ConnectionNumber(x.window.display));
}

void thread_body(std::promise<bool> started) {
    const bool ok = setup();
    if (ok) {
        std::lock_guard lock(driver_lock);
        x.input.active = 1;
    }
    started.set_value(ok);
    // The window is mapped and black; its first pass waits for what the program draws next (the
    // rest of the screen's set-up and its first picture), so that picture is the first frame.
    if (ok) settle(wake_channel);
    while (ok && is_running()) {
        pass();
        pause_between_passes();
    }
    teardown();
}

int x11_init(const char* title, int width, int height, int, int, ModeFlags flags) {
    if (flags & (MODE_OPENGL | MODE_SHAPED_WINDOW)) return -1;
    if (driver_thread.joinable() || width <= 0 || height <= 0) return -1;
    x = X11State{};
    x.window.width = width;
    x.window.height = height;
    x.flags = flags;
    x.title = title ? title : "";
    palette_changed.store(false);
    pass_was_busy = true;
    if (!open_wake(wake_channel)) return -1;
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
    wake(wake_channel);
    driver_thread.join();
    close_wake(wake_channel);
}

void x11_set_palette(int, int, int, int) {
    // The converters read the screen's palette; a new colour needs every line converted again.
    palette_changed.store(true);
    wake(wake_channel);
}

void x11_wait_vsync() {
    const ScreenState* screen = current_screen();
    sleep_ms(frame_wait_ms(screen ? screen->refresh_rate : 0));
}

int x11_get_mouse(int* mouse_x, int* mouse_y, int* wheel, int* buttons, int* clipped) {
    std::lock_guard lock(driver_lock);
    return report_mouse(x.input.active && x.input.cursor_inside, x.input.pointer, x.input.wheel,
                        x.input.buttons, x.clip_cursor,
                        {mouse_x, mouse_y, wheel, buttons, clipped});
}

void x11_set_mouse(int mouse_x, int mouse_y, int cursor, int clip) {
    std::lock_guard lock(driver_lock);
    if (mouse_x >= 0) {
        x.requests.warp = true;
        x.requests.warp_x = std::min(mouse_x, x.window.width - 1);
        x.requests.warp_y = std::clamp(mouse_y, 0, std::max(x.window.height - 1, 0));
        x.input.pointer.mouse_x = mouse_x;
        x.input.pointer.mouse_y = mouse_y;
    }
    if (cursor >= 0 && (cursor > 0 ? 1 : 0) != x.cursor_visible) {
        x.cursor_visible = cursor > 0 ? 1 : 0;
        x.requests.cursor = true;
    }
    if (clip >= 0) x.clip_cursor = clip > 0 ? 1 : 0;
    wake(wake_channel);
}

void x11_set_title(const char* title) {
    std::lock_guard lock(driver_lock);
    x.title = title ? title : "";
    x.requests.title = true;
    wake(wake_channel);
}

std::int32_t x11_set_position(std::int32_t left, std::int32_t top) {
    std::lock_guard lock(driver_lock);
    if (x.flags & MODE_FULLSCREEN) return 0;
    if (left == INT32_MIN && top == INT32_MIN) return x.position;
    x.requests.move = true;
    x.requests.move_x = left;
    x.requests.move_y = top;
    wake(wake_channel);
    return 0;
}

// The screen's size is the one display size: full screen never changes the mode.
const std::uint32_t* x11_fetch_modes(int depth, int* count) {
    DisplaySizeList sizes;
    {
        std::lock_guard lock(driver_lock);
        if (x.window.screen_width > 0 && same_display_depth(depth, x.display_bits))
            sizes.append(static_cast<std::uint32_t>(x.window.screen_width),
                         static_cast<std::uint32_t>(x.window.screen_height));
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
