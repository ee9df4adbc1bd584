// The X11 driver's input: key, button, motion, crossing and focus events of its window turned into
// the key codes and events every window layer reports. Driver thread, under the driver lock (the
// pointer, buttons and activity are what the mouse query answers from).
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <cstdint>

#include "gfx/window/window_input.h"

namespace zered {

struct X11Input {
    std::array<bool, 256> keycode_down{};
    // Keys held per virtual key (both Shift keys are one virtual key), and whether that changed
    // since the key states were last folded from it.
    std::array<std::uint8_t, 256> virtual_keys_held{};
    bool keys_changed = false;
    unsigned long last_press_time = 0;
    unsigned last_press_button = 0;

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

void button_message(X11Input& in, const XButtonEvent& button, bool press);

// Pointer motion; image_left, image_top: where the image lies in the window.
void motion_message(X11Input& in, const XMotionEvent& motion, int image_left, int image_top);

void crossing_message(X11Input& in, bool entered);

void focus_message(X11Input& in, const XFocusChangeEvent& focus);

// Folds the keys held into the screen's key states when they changed and the window is active.
void fold_held_keys(X11Input& in, ScreenState& screen);

// The mouse-entered event when the pointer is in the active window and that was not yet reported.
void mouse_enter_check(X11Input& in, Event& event);

} // namespace zered
