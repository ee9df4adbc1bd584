// From an X key event to what the window layer reports on every platform: the PC scan code
// (set-1 make code) with its extended flag, the Windows virtual key that names it, the character
// that Windows' keyboard layouts give it, and so the key codes and events that the Windows window
// layer makes of the same key. No Xlib call here: the driver looks the keysym up and calls these.
//
// The keycodes are those of X servers that number keys after the Linux input layer (evdev: keycode
// = Linux key number + 8), which is every current X server's default; the Linux key numbers of the
// main block, the function keys and the keypad are the set-1 scan codes, so the keycode minus 8 is
// the scan code there. The other keys (the 0xE0 keys, Pause, the media keys) get a table.
#pragma once

#include <cstdint>

#include "gfx/console/key_tables.h"

namespace zered {

// Keycodes of the modifier keys.
inline constexpr unsigned keycode_left_ctrl = 37;
inline constexpr unsigned keycode_left_shift = 50;
inline constexpr unsigned keycode_right_shift = 62;
inline constexpr unsigned keycode_left_alt = 64;
inline constexpr unsigned keycode_right_ctrl = 105;
inline constexpr unsigned keycode_right_alt = 108;

struct X11Key {
    std::int32_t scan_code = 0; // 0: a key the PC keyboard does not have
    bool extended = false;
    // The Windows virtual key where the scan code's row of the virtual-key table does not name it
    // (Pause, the volume keys, the 102nd key, ...); 0 where it does.
    std::uint8_t virtual_key = 0;
};

X11Key x11_key_of(unsigned keycode);

// The Windows virtual key of a key; keysym is the symbol the key gave, so that the keypad's digit
// keys answer as numpad keys while Num Lock is on and as the navigation keys otherwise (keypad 5
// then as Clear), and Ctrl+Pause as Break. 0 for a key Windows has no virtual key for.
std::uint32_t x11_virtual_key(X11Key key, unsigned long keysym);

// What a character message brings for a key that types nothing.
inline constexpr std::int32_t no_character = -1000;

// The character a keysym types without Ctrl, as a code-page-437 byte; no_character for none (a
// function key, Delete, a character code page 437 lacks).
std::int32_t x11_character(unsigned long keysym);

// The modifier keys held, by the driver's own count of the key events (which tells left from
// right, and knows keys pressed in the same batch of events).
struct X11ModifierKeys {
    bool left_shift = false, right_shift = false;
    bool left_ctrl = false, right_ctrl = false;
    bool left_alt = false, right_alt = false;
};

// One key event as the Windows window layer would have seen it.
struct X11KeyStroke {
    // The key message's modifier bits: from the keys held and the event's modifier state (which
    // also counts keys pressed before the window had the keyboard, and keys sent without state).
    // AltGr (X's third level) is left Ctrl with right Alt, as Windows reports it.
    KeyModifiers modifiers = 0;
    std::uint32_t virtual_key = 0;
    // translate_key's answer for the key-down: a character, an extended code or -1.
    std::int32_t code = -1;
    // What the character message brings to the key buffer (a signed code-page-437 byte, as the
    // Windows character path gives it), or no_character: the key types nothing with these
    // modifiers, or is a system key.
    std::int32_t character = no_character;
    // Alt without Ctrl: Windows makes it a system key message, whose character goes to a system
    // character message that the program does not get; Alt+Enter there switches full screen.
    bool system = false;
};

// state is the X event's modifier mask, keysym what the event's key gave with it.
X11KeyStroke x11_key_stroke(unsigned keycode, unsigned long keysym, unsigned state,
                            const X11ModifierKeys& held);

// The key buffer and the event queue receive what the Windows window layer gives for the key
// message: the key-down's extended code and the key event (see key_message_event), then the
// character message's character on a press. was_down: the key was down already (a repeat).
void x11_key_message(const X11KeyStroke& stroke, bool press, bool was_down);

} // namespace zered
