// The X11 driver's window: the connection, the window with the properties a window manager reads
// (title, class, size hints, frame, close protocol), full screen, and where the image sits in it.
// Driver thread only: every function here talks to the server.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <string>

#include "gfx/core/screen_state.h"

namespace zered {

// The atoms the window uses; 0 until interned.
struct X11Atoms {
    Atom wm_protocols = 0, wm_delete_window = 0, net_wm_state = 0, net_wm_state_fullscreen = 0,
         net_wm_state_above = 0, net_wm_name = 0, utf8_string = 0, motif_wm_hints = 0,
         net_supporting_wm_check = 0, net_frame_extents = 0;
};

struct X11Window {
    Display* display = nullptr;
    ::Window id = 0;
    Colormap colormap = 0; // ours, for a visual that is not the default one
    GC gc = nullptr;
    Cursor blank_cursor = 0;
    X11Atoms atoms;
    int width = 0, height = 0;               // the image's size in pixels and display lines
    int screen_width = 0, screen_height = 0; // the display's
    int window_width = 0, window_height = 0; // the window's; larger than the image in full screen
    int windowed_x = 0, windowed_y = 0;      // where the window goes back to from full screen
    unsigned long black = 0;                 // the visual's opaque black
    bool repaint = false;                    // the whole window is to be drawn again
    bool grabbed = false;                    // the pointer is grabbed to keep it in the window
};

// What the program asks of the window; a pass carries it out.
struct WindowRequests {
    bool title = false;
    std::string title_text;
    bool move = false;
    int move_x = 0, move_y = 0;
    bool warp = false;
    int warp_x = 0, warp_y = 0; // in the image
    bool cursor = false;
    bool cursor_visible = true;
};

// The display DISPLAY names, or nullptr. Only a refusal that says "try again" is tried again; no
// server, or no DISPLAY, fails at once. When the connection is lost later (the server ended, the
// user logged out), on_lost is called on the thread that noticed, and Xlib returns rather than
// ending the process (libX11 1.7 and later).
Display* open_display(void (*on_lost)());

// The connection of the last open_display is gone: no Xlib call may be made on it any more.
bool connection_lost();

// Creates the window of w.width x w.height (w.display and the screen size set) in the middle of
// the screen with the visual given, sets what a window manager reads, shows it, and makes its GC.
// False when the window cannot be made.
bool create_window(X11Window& w, const XVisualInfo& visual, ModeFlags flags,
                   const std::string& title);

// Destroys what create_window made and closes the connection; of a lost connection only the
// descriptor is closed.
void destroy_window(X11Window& w);

// The window's title, as a plain and as a UTF-8 name.
void store_title(const X11Window& w, const std::string& title);

// The window's side of an event (exposure, size, position, the window manager's close, the
// keyboard mapping); others are left alone. True when the window's position is to be read again.
bool window_event(X11Window& w, XEvent& event);

// Full screen: the window covers the screen and shows the image 1:1 in its middle, on black; the
// display mode stays as it is.
void apply_full_screen(X11Window& w, bool on);

// Waits for the window to be mapped (a window manager may take a while, or never do it), then
// without a window manager gives it the keyboard as the desktop does a new window. Other events
// stay queued.
void wait_until_mapped(const X11Window& w);

// The window's top-left corner on the screen as Windows reports it, its frame's outer corner
// (_NET_FRAME_EXTENTS; the window itself without a window manager): top << 16 | left. A move
// places that corner, as the window manager reads a move of a window of NorthWest gravity.
std::int32_t query_position(const X11Window& w);

// Carries the requests out; true when there was any.
bool carry_out(X11Window& w, const WindowRequests& r);

// Keeps the pointer in the window by a grab while wanted. Another client may hold the pointer (a
// menu, a drag): the grab is tried again each call.
void keep_pointer_grab(X11Window& w, bool wanted);

// Where the image's top-left corner lies in the window: its middle in full screen.
int image_left(const X11Window& w);
int image_top(const X11Window& w);

} // namespace zered
