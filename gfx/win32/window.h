// The window layer the windowed display drivers share: the window class and window, the driver
// thread with its start hand-shake, the window procedure that turns messages into key codes,
// events, key states and mouse state, and the descriptor slots every windowed driver uses.
//
// The layer never draws. A driver plugs four hooks into window_state(): set-up (create or re-style
// the window for the current flags and make the presentation resources), tear-down (release them,
// put the display mode back and destroy the window), repaint (draw the whole current image) and
// the driver thread's body.
//
// Threads and locking. A thread-based driver (GDI, DirectDraw) creates its window on its own
// driver thread, so every message of the window is handled there, from drain_messages, while that
// thread holds driver_lock. The program's thread takes the same lock through the driver's lock
// slot (window_lock) when screen_lock enters its outermost level. Key codes and events go to the
// key buffer and the event queue, which carry their own locks. An OpenGL screen has no driver
// thread: its window lives on the program's thread and its messages are drained from the driver's
// poll slot.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <new>

#include "gfx/blit/convert.h"
#include "gfx/core/screen_state.h"
#include "gfx/window/window_input.h"

namespace zered {

// Converts the open screen's dirty lines into a display buffer (destination address of display
// line 0 and bytes from one display line to the next); everything else comes from the ScreenState.
using WindowConverter = ConvertFn;

// USER32 entry points that older systems lack, looked up by name; nullptr where missing (except
// TrackMouseEvent, which falls back to leave_tracking_fallback).
struct OptionalEntryPoints {
    decltype(&::SetLayeredWindowAttributes) SetLayeredWindowAttributes;
    decltype(&::MonitorFromWindow) MonitorFromWindow;
    decltype(&::MonitorFromPoint) MonitorFromPoint;
    decltype(&::FlashWindowEx) FlashWindowEx;
    decltype(&::TrackMouseEvent) TrackMouseEvent;
    decltype(&::GetMonitorInfoA) GetMonitorInfoA;
    decltype(&::ChangeDisplaySettingsExA) ChangeDisplaySettingsExA;
};

inline constexpr int window_class_name_size = 140;
inline constexpr char window_class_prefix[] = "zeredclass_";

// The state a driver's init starts from blank (window_state_clear), one record per process.
struct WindowState {
    int os_version; // major * 256 + minor: 5.0 is 0x500
    HINSTANCE instance;
    WNDCLASSA window_class;
    HWND window;
    // Outer size of the last window created: its minimum, maximum and maximised size.
    int created_width, created_height;
    // As last set through window_set_palette; the flags byte is PC_NOCOLLAPSE.
    PALETTEENTRY palette_entries[256];
    WindowConverter converter; // nullptr: the framebuffer's own rows are presented
    HMONITOR monitor;
    int running;         // 1 from window_init to window_exit; read through window_running()
    int palette_changed; // set by window_set_palette, cleared by the driver once applied
    int active;          // the window is the active, non-minimised one
    // Client size in pixels: the screen's width, and its height times scanline_size.
    int width, height;
    int depth; // bits per pixel, at least 8
    ModeFlags flags;
    int requested_refresh; // Hz, 0 for any
    const char* title;     // not owned: the screen core keeps it
    char class_name[window_class_name_size];
    // The driver's hooks. Set-up returns 0 on success.
    int (*window_setup_hook)();
    void (*window_teardown_hook)();
    void (*repaint_hook)();
    // Runs the set-up hook, signals start_event only if it succeeded, then presents while
    // running is 1.
    void (*driver_thread_proc)(HANDLE start_event);
    int clip_cursor; // the cursor is to be kept inside the client area
    OptionalEntryPoints entry;
};

// A buffer for the character conversions that grows to the largest size needed and keeps what it
// has when it cannot grow.
template <typename T> struct GrowableBuffer {
    std::unique_ptr<T[]> data;
    int capacity = 0;
    // true when at least count elements are available. Keeps the buffer it has (contents not
    // preserved otherwise) when a larger one cannot be had.
    bool reserve(int count) {
        if (count <= capacity) return true;
        std::unique_ptr<T[]> grown(new (std::nothrow) T[static_cast<std::size_t>(count)]);
        if (!grown) return false;
        data = std::move(grown);
        capacity = count;
        return true;
    }
    void release() {
        data.reset();
        capacity = 0;
    }
};

// State that lives across screens: zero at process start, never cleared by a driver's init.
struct WindowProcessState {
    int cursor_inside; // the cursor lay in the client area at the last message
    HANDLE driver_thread;
    int buttons;  // held: 1 left, 2 right, 4 middle, 8 and 16 the extra buttons
    int tracking; // the mouse is inside and leave notification is armed
    int cursor_visible;
    // Client coordinates as the last move reported them, and the cursor's screen coordinates
    // then (none until the first move after window_init).
    PointerMotion pointer;
    int previous_buttons; // before the last extra-button message
    int wheel, hwheel;    // in notches
    GrowableBuffer<wchar_t> wide_chars;
    GrowableBuffer<char> narrow_chars;
    BOOL saved_screensaver;
    CRITICAL_SECTION driver_lock;
    bool driver_lock_ready; // driver_lock is initialised
};

WindowState& window_state();
WindowProcessState& window_process_state();

// Blanks window_state(), as every driver's init does first.
void window_state_clear();

// running as the driver thread sees it: written by the program's thread without the lock.
bool window_running();

// Registers the class and, except for MODE_OPENGL, starts the driver thread and waits until it has
// signalled its start (0) or ended (-1). The caller has cleared window_state() and set its hooks.
// A failed init is followed by window_exit, which releases whatever was made.
int window_init(const char* title, int width, int height, int depth, int refresh_rate,
                ModeFlags flags);

// Creates the window with the class and title of window_state(); 0, or -1 with window left
// nullptr. With MODE_ALWAYS_ON_TOP the window becomes topmost. Called from a set-up hook.
int open_window(DWORD style, DWORD ex_style, int x, int y, int outer_width, int outer_height);

// The monitor of window_state() with its rectangle and device name; false where the system cannot
// tell (no GetMonitorInfoA, or no monitor known).
bool window_monitor_info(MONITORINFOEXA& info);

// Switches the display to window_state()'s width, height, depth and requested refresh rate for a
// full-screen window, on the monitor's device (nullptr: the default) where the system can address
// one. false when the mode is refused.
bool window_change_display_mode(const char* device);

// The top-left corner that centres a window of the given outer size on the monitor's rectangle,
// or on the primary screen without one. An odd negative difference rounds down.
POINT window_centred_position(const MONITORINFOEXA* monitor, int outer_width, int outer_height);

// Translates and dispatches every message waiting for the window, on the calling thread.
void drain_messages();

// The class's window procedure.
LRESULT CALLBACK handle_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Copies the keyboard state into the screen's key_state through the virtual-key table.
void refresh_key_states();

// Confines the cursor to the window's client area.
void clip_cursor_to_client();

// The window's client area in screen coordinates; false when the window has none.
bool client_rect_on_screen(HWND window, RECT& rect);

// Stands in for TrackMouseEvent where the system has none: for TME_LEAVE alone it polls the cursor
// every 100 ms (timer 2 of the window) and posts WM_MOUSELEAVE once it has left.
BOOL WINAPI leave_tracking_fallback(LPTRACKMOUSEEVENT request);

// Descriptor slots shared by the windowed drivers.
void window_exit();
void window_lock();
void window_unlock();
void window_set_palette(int index, int red, int green, int blue);
void window_wait_vsync();
int window_get_mouse(int* x, int* y, int* wheel, int* buttons, int* clipped);
void window_set_mouse(int x, int y, int cursor, int clip);
void window_set_title(const char* title);
std::int32_t window_set_position(std::int32_t x, std::int32_t y);

// The query form of window_set_position: both coordinates this value.
inline constexpr std::int32_t window_position_query = INT32_MIN;

} // namespace zered
