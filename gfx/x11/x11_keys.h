// From an X key to what the window layer reports on every platform: the PC scan code (set-1 make
// code) with its extended flag, the Windows virtual key that names it, and its character in code
// page 437.
//
// The keycodes are those of X servers that number keys after the Linux input layer (evdev: keycode
// = Linux key number + 8), which is every current X server's default; the Linux key numbers of the
// main block, the function keys and the keypad are the set-1 scan codes, so the keycode minus 8 is
// the scan code there. The keys whose make code starts with 0xE0 get a table.
#pragma once

#include <cstdint>

namespace zered {

struct X11Key {
    std::int32_t scan_code = 0; // 0: a key the PC keyboard does not have
    bool extended = false;
};

X11Key x11_key_of(unsigned keycode);

// The Windows virtual key of a key; keypad_keysym is the keysym the key typed when it is a keypad
// keysym (XK_KP_*), else 0, so that the keypad's digit keys answer as numpad keys while Num Lock is
// on and as the navigation keys otherwise.
std::uint32_t x11_virtual_key(X11Key key, unsigned long keypad_keysym);

// The code-page-437 byte of the character a keysym types, 0 where there is none in that code page.
// ascii is the one byte the keyboard mapping gave (control characters, Return, Tab, Escape, ...),
// or -1 when it gave none or more than one.
std::uint8_t x11_character(unsigned long keysym, int ascii);

} // namespace zered
