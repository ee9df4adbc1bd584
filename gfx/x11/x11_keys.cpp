#include "gfx/x11/x11_keys.h"

#include <X11/keysym.h>

#include <array>

#include "gfx/console/key_tables.h"
#include "gfx/window/code_page_437.h"

namespace zered {

namespace {

// Keycodes 9 to 96: keycode - 8 is the scan code.
inline constexpr unsigned first_direct_keycode = 9;
inline constexpr unsigned last_direct_keycode = 96;

struct ExtendedKey {
    unsigned keycode;
    std::uint8_t scan_code;
};

inline constexpr std::array<ExtendedKey, 18> extended_keys{{
    {104, 0x1C}, // keypad Enter
    {105, 0x1D}, // right Ctrl
    {106, 0x35}, // keypad slash
    {107, 0x37}, // Print Screen
    {108, 0x38}, // right Alt (AltGr)
    {110, 0x47}, // Home
    {111, 0x48}, // Up
    {112, 0x49}, // Page Up
    {113, 0x4B}, // Left
    {114, 0x4D}, // Right
    {115, 0x4F}, // End
    {116, 0x50}, // Down
    {117, 0x51}, // Page Down
    {118, 0x52}, // Insert
    {119, 0x53}, // Delete
    {133, 0x5B}, // left Windows key
    {134, 0x5C}, // right Windows key
    {135, 0x5D}, // Menu
}};

// The keypad keysyms and their virtual keys.
struct KeypadKey {
    unsigned long keysym;
    std::uint8_t virtual_key;
};
inline constexpr std::array<KeypadKey, 7> keypad_operators{{
    {XK_KP_Decimal, vk::decimal},
    {XK_KP_Separator, vk::decimal},
    {XK_KP_Add, vk::add},
    {XK_KP_Subtract, vk::subtract},
    {XK_KP_Multiply, vk::multiply},
    {XK_KP_Divide, vk::divide},
    {XK_KP_Enter, vk::return_key},
}};

// Unicode of a keysym: Latin-1 keysyms are their code point, the 0x01000000 range carries one.
char32_t unicode_of(unsigned long keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF))
        return static_cast<char32_t>(keysym);
    if ((keysym & 0xFF000000UL) == 0x01000000UL) return static_cast<char32_t>(keysym & 0xFFFFFF);
    return 0;
}

} // namespace

X11Key x11_key_of(unsigned keycode) {
    if (keycode >= first_direct_keycode && keycode <= last_direct_keycode)
        return {static_cast<std::int32_t>(keycode - 8), false};
    for (const ExtendedKey& key : extended_keys)
        if (key.keycode == keycode) return {key.scan_code, true};
    return {};
}

std::uint32_t x11_virtual_key(X11Key key, unsigned long keypad_keysym) {
    if (keypad_keysym >= XK_KP_0 && keypad_keysym <= XK_KP_9)
        return vk::numpad0 + static_cast<std::uint32_t>(keypad_keysym - XK_KP_0);
    for (const KeypadKey& keypad : keypad_operators)
        if (keypad.keysym == keypad_keysym) return keypad.virtual_key;
    if (key.scan_code == 0x37 && key.extended) return 0x2C; // Print Screen
    for (const VirtualKeyRow& row : virtual_key_table())
        if (row.scan_code == key.scan_code) return row.primary;
    return 0;
}

std::uint8_t x11_character(unsigned long keysym, int ascii) {
    if (ascii > 0 && ascii < 0x80) return static_cast<std::uint8_t>(ascii);
    return code_page_437_of(unicode_of(keysym));
}

} // namespace zered
