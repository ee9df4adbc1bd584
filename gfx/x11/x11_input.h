// The X11 driver's input: key, button, motion, crossing and focus events of its window turned into
// the key codes and events every window layer reports. Driver thread, under the driver lock (the
// pointer, buttons and activity are what the mouse query answers from).
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <cstdint>
#include <cstdlib>

#include "gfx/window/window_input.h"

namespace zered {

// The last press of a mouse button, for telling a double click.
struct LastPress {
    unsigned button = 0; // 0: none, or the press was the second of a double click
    unsigned long time = 0;
    int x = 0, y = 0; // on the screen
};

// Windows' rule: the same button again within double_click_ms and inside the SM_CXDOUBLECLK x
// SM_CYDOUBLECLK (4 x 4) pixel rectangle centred on the first press. Server times are 32-bit
// milliseconds that wrap (about every 49.7 days).
inline constexpr unsigned long double_click_ms = 500;
inline constexpr int double_click_width = 4, double_click_height = 4;
bool is_double_click(const LastPress& last, unsigned button, unsigned long time, int x, int y);

struct X11Input {
    std::array<bool, 256> keycode_down{};
    // Keys held per virtual key (both Shift keys are one virtual key), and whether that changed
    // since the key states were last folded from it.
    std::array<std::uint8_t, 256> virtual_keys_held{};
    bool keys_changed = false;
    LastPress last_press;

    int active = 0;
    int cursor_inside = 0;
    int buttons = 0;
    int tracking = 0; // the pointer's entering was reported and its leaving not yet
    int wheel = 0, hwheel = 0;
    PointerMotion pointer;
};

// What a key event asks of the window beyond its key codes and events.
enum class KeyAction { none, toggle_full_screen };

KeyAction key_message(X11Input& in, XKeyEvent& key_event, bool press);

// The input side of an event (keys, buttons, pointer motion and crossing, focus); others are left
// alone. image_left, image_top: where the image lies in the window.
KeyAction input_event(X11Input& in, XEvent& event, int image_left, int image_top);

// Folds the keys held into the screen's key states when they changed and the window is active.
void fold_held_keys(X11Input& in, ScreenState& screen);

} // namespace zered
