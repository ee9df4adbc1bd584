#include "gfx/x11/x11_keys.h"

#include <X11/X.h>
#include <X11/keysym.h>

#include <array>

#include "gfx/console/event_queue.h"
#include "gfx/console/key_buffer.h"
#include "gfx/console/key_translate.h"
#include "gfx/window/code_page_437.h"
#include "gfx/window/window_input.h"

namespace zered {

namespace {

// Keycodes 9 to 96: keycode - 8 is the scan code.
inline constexpr unsigned first_direct_keycode = 9;
inline constexpr unsigned last_direct_keycode = 96;

// Windows virtual keys that the virtual-key table has no row for.
inline constexpr std::uint8_t vk_clear = 0x0C; // keypad 5 without Num Lock
inline constexpr std::uint8_t vk_pause = 0x13;
inline constexpr std::uint8_t vk_snapshot = 0x2C;    // Print Screen
inline constexpr std::uint8_t vk_volume_mute = 0xAD; // then volume down, volume up
inline constexpr std::uint8_t vk_media_next = 0xB0;  // then previous, stop, play/pause

// The 102nd key, between left Shift and Z on European keyboards.
inline constexpr std::int32_t scan_102nd = 0x56;

struct OtherKey {
    unsigned keycode;
    X11Key key;
};

inline constexpr std::array<OtherKey, 26> other_keys{{
    {104, {0x1C, true, 0}},                  // keypad Enter
    {105, {0x1D, true, 0}},                  // right Ctrl
    {106, {0x35, true, 0}},                  // keypad slash
    {107, {0x37, true, vk_snapshot}},        // Print Screen
    {108, {0x38, true, 0}},                  // right Alt (AltGr)
    {110, {0x47, true, 0}},                  // Home
    {111, {0x48, true, 0}},                  // Up
    {112, {0x49, true, 0}},                  // Page Up
    {113, {0x4B, true, 0}},                  // Left
    {114, {0x4D, true, 0}},                  // Right
    {115, {0x4F, true, 0}},                  // End
    {116, {0x50, true, 0}},                  // Down
    {117, {0x51, true, 0}},                  // Page Down
    {118, {0x52, true, 0}},                  // Insert
    {119, {0x53, true, 0}},                  // Delete
    {121, {0x20, true, vk_volume_mute}},     // Mute
    {122, {0x2E, true, vk_volume_mute + 1}}, // Volume Down
    {123, {0x30, true, vk_volume_mute + 2}}, // Volume Up
    {127, {0x45, false, vk_pause}},          // Pause (make code E1 1D 45)
    {133, {0x5B, true, 0}},                  // left Windows key
    {134, {0x5C, true, 0}},                  // right Windows key
    {135, {0x5D, true, 0}},                  // Menu
    {171, {0x19, true, vk_media_next}},      // next track
    {172, {0x22, true, vk_media_next + 3}},  // play/pause
    {173, {0x10, true, vk_media_next + 1}},  // previous track
    {174, {0x24, true, vk_media_next + 2}},  // stop
}};

// Keysyms that name a virtual key of their own, whatever key gave them.
struct KeysymKey {
    unsigned long keysym;
    std::uint8_t virtual_key;
};
inline constexpr std::array<KeysymKey, 9> keysym_keys{{
    {XK_KP_Decimal, vk::decimal},
    {XK_KP_Separator, vk::decimal},
    {XK_KP_Add, vk::add},
    {XK_KP_Subtract, vk::subtract},
    {XK_KP_Multiply, vk::multiply},
    {XK_KP_Divide, vk::divide},
    {XK_KP_Enter, vk::return_key},
    {XK_KP_Begin, vk_clear},
    {XK_Break, vk::cancel}, // Ctrl+Pause
}};

// The function keysyms that type a character on Windows too; Delete and Clear do not there.
struct KeysymCharacter {
    unsigned long keysym;
    std::uint8_t character;
};
inline constexpr std::array<KeysymCharacter, 10> keysym_characters{{
    {XK_BackSpace, '\b'},
    {XK_Tab, '\t'},
    {XK_ISO_Left_Tab, '\t'}, // Shift+Tab
    {XK_KP_Tab, '\t'},
    {XK_Return, '\r'},
    {XK_KP_Enter, '\r'},
    {XK_Escape, 0x1B},
    {XK_KP_Space, ' '},
    {XK_KP_Equal, '='},
    {XK_Break, 0x03},
}};

// Unicode of a keysym: Latin-1 keysyms are their code point, the 0x01000000 range carries one.
char32_t unicode_of(unsigned long keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF))
        return static_cast<char32_t>(keysym);
    if ((keysym & 0xFF000000UL) == 0x01000000UL) return static_cast<char32_t>(keysym & 0xFFFFFF);
    return 0;
}

// The Ctrl column of Windows' layouts (Xlib's own control mapping differs: it makes Ctrl+3 an
// Esc and Ctrl+8 a Delete, and keeps Ctrl+Return a carriage return): letters give 1 to 26 with or
// without Shift; [ \ ] 27 to 29; @ ^ _ (Shift+2, 6, minus) 0, 30, 31; unshifted Backspace 127,
// Return 10, Space and Esc themselves; Break 3. Anything else (digits, minus, Tab, the keypad)
// types nothing with Ctrl.
std::int32_t control_character(unsigned long keysym, std::int32_t plain, bool shift) {
    if ((plain >= 'a' && plain <= 'z') || (plain >= 'A' && plain <= 'Z')) return plain & 0x1F;
    switch (plain) {
    case '[':
    case '\\':
    case ']':
    case '@':
    case '^':
    case '_':
        return plain & 0x1F;
    default:
        break;
    }
    if (keysym == XK_Break) return 0x03;
    if (shift) return no_character;
    switch (keysym) {
    case XK_BackSpace:
        return 0x7F;
    case XK_Return:
    case XK_KP_Enter:
        return '\n';
    case XK_space:
    case XK_Escape:
        return plain;
    default:
        return no_character;
    }
}

} // namespace

X11Key x11_key_of(unsigned keycode) {
    if (keycode >= first_direct_keycode && keycode <= last_direct_keycode) {
        const auto scan_code = static_cast<std::int32_t>(keycode - 8);
        return {scan_code, false, scan_code == scan_102nd ? vk::oem_102 : std::uint8_t{0}};
    }
    for (const OtherKey& other : other_keys)
        if (other.keycode == keycode) return other.key;
    return {};
}

std::uint32_t x11_virtual_key(X11Key key, unsigned long keysym) {
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return vk::numpad0 + static_cast<std::uint32_t>(keysym - XK_KP_0);
    for (const KeysymKey& named : keysym_keys)
        if (named.keysym == keysym) return named.virtual_key;
    if (key.virtual_key) return key.virtual_key;
    if (key.scan_code == 0) return 0;
    for (const VirtualKeyRow& row : virtual_key_table())
        if (row.scan_code == key.scan_code) return row.primary;
    return 0;
}

std::int32_t x11_character(unsigned long keysym) {
    if ((keysym >= XK_KP_Multiply && keysym <= XK_KP_9))
        return static_cast<std::int32_t>(keysym & 0x7F); // * + , - . / and the digits
    for (const KeysymCharacter& named : keysym_characters)
        if (named.keysym == keysym) return named.character;
    const std::uint8_t byte = code_page_437_of(unicode_of(keysym));
    return byte ? byte : no_character;
}

X11KeyStroke x11_key_stroke(unsigned keycode, unsigned long keysym, unsigned state,
                            const X11ModifierKeys& held) {
    const X11Key key = x11_key_of(keycode);
    // The third level (AltGr on the layouts that have one) types what it shows; on Windows that is
    // the Ctrl+Alt column.
    const bool level3 = (state & Mod5Mask) != 0;
    X11KeyStroke stroke;
    KeyModifiers& modifiers = stroke.modifiers;
    const bool shift = (state & ShiftMask) || held.left_shift || held.right_shift;
    if (shift) modifiers |= KEYMOD_SHIFT;
    if (held.right_ctrl) modifiers |= KEYMOD_RIGHT_CTRL;
    if (held.left_ctrl || ((state & ControlMask) && !held.right_ctrl) || level3)
        modifiers |= KEYMOD_LEFT_CTRL;
    if (held.right_alt || level3) modifiers |= KEYMOD_RIGHT_ALT;
    if (held.left_alt || ((state & Mod1Mask) && !held.right_alt)) modifiers |= KEYMOD_LEFT_ALT;
    if (key.extended) modifiers |= KEYMOD_ENHANCED;
    const bool ctrl = (modifiers & KEYMOD_CTRL) != 0;
    const bool alt = (modifiers & KEYMOD_ALT) != 0;
    stroke.system = alt && !ctrl;

    // Alt alone does not change the character (its message is a system one); Ctrl takes the
    // layout's Ctrl column; Ctrl with Alt types nothing but on the third level.
    const std::int32_t plain = x11_character(keysym);
    std::int32_t typed = plain;
    if (plain != no_character && ctrl && !level3)
        typed = alt ? no_character : control_character(keysym, plain, shift);

    stroke.virtual_key = x11_virtual_key(key, keysym);
    // ToAscii's byte, read as signed, as the Windows key-down path reads it.
    const std::int32_t character = typed == no_character ? 0 : static_cast<std::int8_t>(typed);
    stroke.code = translate_key(character, key.scan_code, stroke.virtual_key, modifiers, 0);
    if (typed != no_character && !stroke.system) stroke.character = character;
    return stroke;
}

void x11_key_message(const X11KeyStroke& stroke, bool press, bool was_down) {
    const std::int32_t type =
        press ? (was_down ? EVENT_KEY_REPEATED : EVENT_KEY_PRESSED) : EVENT_KEY_RELEASED;
    Event event{};
    const bool goes_on = key_message_event(type, stroke.virtual_key, stroke.code, 1, event);
    if (press && stroke.character != no_character) post_key(stroke.character);
    if (goes_on) post_event(event);
}

} // namespace zered
