// Input as every window layer reports it, whatever the window system: the events and key codes
// that mouse, wheel, focus and close produce, and the state they keep. The platform code reads its
// own messages and calls these, so that programs cannot tell the platforms apart.
#pragma once

#include <cstdint>

#include "gfx/console/event_queue.h"
#include "gfx/core/screen_state.h"

namespace zered {

// What the key buffer receives when the window is to be closed.
inline constexpr std::int32_t close_window_key = 0x6BFF;

// Mouse buttons as the events and the mouse query report them.
inline constexpr int BUTTON_LEFT = 1;
inline constexpr int BUTTON_RIGHT = 2;
inline constexpr int BUTTON_MIDDLE = 4;
inline constexpr int BUTTON_EXTRA_1 = 8;
inline constexpr int BUTTON_EXTRA_2 = 16;

// last_screen_x of a pointer that has not moved since the window opened.
inline constexpr int no_last_position = 0xFFFF;

// The pointer as the window layer last saw it.
struct PointerMotion {
    int mouse_x = 0, mouse_y = 0;                  // window coordinates
    int last_screen_x = no_last_position, last_screen_y = 0; // screen coordinates
};

// A move to x, y in the window (screen_x, screen_y on the screen): event 4 with x, y and the
// screen motion since the last move, or type 0 when the window is inactive or the pointer did not
// really move. The first move after the window opened has no motion and so makes no event.
Event mouse_move_event(PointerMotion& pointer, int x, int y, int screen_x, int screen_y,
                       bool active);

// The mouse query of the display drivers: -1 unless the window is active with the pointer inside
// (available); else 0 with the position, the vertical wheel, the held buttons and whether the
// pointer is kept in the window, each stored where its out-pointer is given.
struct MouseReport {
    int* x;
    int* y;
    int* wheel;
    int* buttons;
    int* clipped;
};
int report_mouse(bool available, const PointerMotion& pointer, int wheel, int buttons,
                 int clipped, const MouseReport& out);

// A button pressed or double-clicked (type 5 or 7) or released (6): updates the held buttons and
// makes the event, whose field is the button's bit.
Event button_event(int& buttons, int bit, std::int32_t type);

// One notch of a wheel, up or down whatever the size of the step: event type with the new
// position.
Event wheel_event(int& position, bool up, std::int32_t type);

// The window manager or the user asked to close the window: the close-window key for the key
// buffer and event 13. The window stays; the program decides what closing means.
void post_close_request();

// The end of a key message, the same on every window system once the platform has the message's
// virtual key and key code (translate_key: a character, an extended code or -1): event type 1, 3
// (a press of a key already down) or 2, with the scan code of the virtual key and the key code
// where that is a character, else 0. A press or repeat also puts an extended code into the key
// buffer, repeat times; characters come with the character message instead. False when the message
// ends there, with no event and no default handling: Alt and F10 would open the system menu, and
// the close-window code (Alt+F4) is the program's to act on.
bool key_message_event(std::int32_t type, std::uint32_t virtual_key, std::int32_t code, int repeat,
                       Event& event);

// The window became active or inactive: key states and held buttons are cleared (keys may have
// changed while another window had them) and every line is to be presented again.
void reset_input_on_activation(int& buttons);

// The pointer's entering and leaving are reported while the window is active: tracking is 1 from
// the enter event (8) to the leave event (10).
//
// On the first sign of the pointer in an active window: makes event the enter event. True when it
// did; the platform then watches for the pointer's leaving.
bool mouse_enter_check(int& tracking, bool active, Event& event);

// The pointer left the window: the leave event where its entering was reported. True when it was.
bool report_mouse_left(int& tracking);

// The window became active or inactive, the sequence every platform follows: input reset, the
// leave event of a window going inactive, the focus event (11 or 12) where focus_event says so,
// and the enter event of a window that became active under the pointer. What the platform has to
// follow up: the pointer's leave watch to end (left), or to start (entered).
struct ActivationOutcome {
    bool left = false;
    bool entered = false;
};
ActivationOutcome activation_sequence(bool active, bool focus_event, bool pointer_inside,
                                      int& buttons, int& tracking);

// Full screen by Alt+Enter, the bookkeeping around the platform's own switch. Before it: the leave
// event where the pointer was tracked; false when the screen was opened with the switch disabled
// (MODE_NO_SWITCH), and nothing is to change.
bool full_screen_toggle_begins(int tracking, ModeFlags flags);

// After it: every line is to be presented again, the window is active, and the pointer's entering
// is to be reported again.
void full_screen_toggle_ends(int& active, int& tracking);

} // namespace zered

namespace zered {

// Milliseconds of one display frame for the wait on the retrace: 1000 / refresh_rate, 16 when the
// rate is unknown (0).
constexpr int frame_wait_ms(int refresh_rate) {
    return refresh_rate > 0 ? 1000 / refresh_rate : 16;
}

// Display depths that name one pixel size: 15 and 16 bits, and 24 and 32 bits, in either order.
constexpr bool same_display_depth(int a, int b) {
    const auto family = [](int depth) { return depth == 15 ? 16 : depth == 24 ? 32 : depth; };
    return family(a) == family(b);
}

} // namespace zered
