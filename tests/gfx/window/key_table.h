// What a key typed with modifiers gives the program, the same on every window system: the key
// codes that reach the key buffer and the fields of the key's press and release events. The X11
// tests type these keys through XTest, the Windows tests through SendInput; both check every row.
//
// The answers are those of Windows with its US keyboard layout, through the window layer: the
// key-down message's key code (an extended code goes to the key buffer), then the character
// message that TranslateMessage makes of the layout's character (a system key, Alt without Ctrl,
// makes a system character message instead, which the program does not get). The US layout's Ctrl
// column: letters 1 to 26 (with Shift too), [ \ ] 27 to 29, Shift+6 30, Shift+minus 31,
// Backspace 127, Return 10, Space 32; the digits, minus, Tab and the keypad type nothing with Ctrl,
// and nothing types anything with Ctrl and Alt together (the layout has no AltGr).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace keytable {

// A PC keyboard key as each window system names it.
struct Key {
    const char* name;
    unsigned x_keycode;       // X keycode: the Linux input layer's key number + 8
    std::uint8_t virtual_key; // Windows virtual key
    std::uint8_t scan_code;   // set-1 make code, as the Windows key message carries it
    bool extended;            // the make code starts with 0xE0
};

inline constexpr Key key_a{"A", 38, 'A', 0x1E, false};
inline constexpr Key key_x{"X", 53, 'X', 0x2D, false};
inline constexpr Key key_1{"1", 10, '1', 0x02, false};
inline constexpr Key key_3{"3", 12, '3', 0x04, false};
inline constexpr Key key_6{"6", 15, '6', 0x07, false};
inline constexpr Key key_8{"8", 17, '8', 0x09, false};
inline constexpr Key key_minus{"minus", 20, 0xBD, 0x0C, false};
inline constexpr Key key_backspace{"Backspace", 22, 0x08, 0x0E, false};
inline constexpr Key key_tab{"Tab", 23, 0x09, 0x0F, false};
inline constexpr Key key_left_bracket{"[", 34, 0xDB, 0x1A, false};
inline constexpr Key key_right_bracket{"]", 35, 0xDD, 0x1B, false};
inline constexpr Key key_return{"Return", 36, 0x0D, 0x1C, false};
inline constexpr Key key_backslash{"\\", 51, 0xDC, 0x2B, false};
inline constexpr Key key_space{"Space", 65, 0x20, 0x39, false};
inline constexpr Key key_escape{"Esc", 9, 0x1B, 0x01, false};
inline constexpr Key key_f1{"F1", 67, 0x70, 0x3B, false};
inline constexpr Key key_f4{"F4", 70, 0x73, 0x3E, false};
inline constexpr Key key_f10{"F10", 76, 0x79, 0x44, false};
inline constexpr Key key_keypad_5{"keypad 5", 84, 0x0C, 0x4C, false}; // Num Lock off: VK_CLEAR
inline constexpr Key key_102nd{"102nd key", 94, 0xE2, 0x56, false};   // VK_OEM_102
inline constexpr Key key_keypad_enter{"keypad Enter", 104, 0x0D, 0x1C, true};
inline constexpr Key key_left{"Left", 113, 0x25, 0x4B, true};
inline constexpr Key key_delete{"Delete", 119, 0x2E, 0x53, true};
inline constexpr Key key_mute{"Mute", 121, 0xAD, 0x20, true};
inline constexpr Key key_volume_up{"Volume Up", 123, 0xAF, 0x30, true};
inline constexpr Key key_pause{"Pause", 127, 0x13, 0x45, false};
// The same key with Ctrl is Break, a virtual key and make code of its own.
inline constexpr Key key_break{"Break", 127, 0x03, 0x46, true};

// The key that tells each test that everything typed before it has been handled.
inline constexpr Key key_f12{"F12", 96, 0x7B, 0x58, false};
inline constexpr std::int32_t f12_code = 0x86FF;

// Modifier keys held around the key: the left ones.
inline constexpr unsigned shift = 1, ctrl = 2, alt = 4;
inline constexpr unsigned shift_x_keycode = 50, ctrl_x_keycode = 37, alt_x_keycode = 64;

// Field 1 of a row whose key makes no event at all.
inline constexpr std::int32_t no_event = -1;

struct Row {
    Key key;
    unsigned modifiers;
    std::vector<std::int32_t> codes; // what the key buffer holds afterwards, oldest first
    std::int32_t scan_code;          // field 1 of the press and the release event, or no_event
    std::int32_t character;          // field 2 of both
    // Why Wine 8 answers otherwise, where it does; the Wine run expects a difference there.
    const char* wine_differs = nullptr;
};

// Wine 8 types a key's character by asking the X server (XLookupString) with the key state, and
// keeps only a few Windows rules on top (no character for Delete, for Ctrl with a digit or a
// symbol, Ctrl+Return a line feed). So its characters are the X layout's where Windows' layout
// differs:
inline constexpr const char* wine_layout_from_x =
    "Wine takes the character from X, which leaves Backspace 8 under Ctrl and gives Break none; "
    "the Windows layouts' Ctrl column has 127 (DEL) and 3 (ETX)";
inline constexpr const char* wine_102nd =
    "Wine types the 102nd key as the X server's US layout does, < and > (nothing with Ctrl); "
    "Windows' US layout gives it \\ and | (28 with Ctrl)";

inline const std::vector<Row>& rows() {
    static const std::vector<Row> table{
        // Characters come only from the character message; extended codes from the key-down.
        {key_a, 0, {'a'}, 30, 'a'},
        {key_a, shift, {'A'}, 30, 'A'},
        {key_1, shift, {'!'}, 2, '!'},
        {key_escape, 0, {27}, 1, 27},
        {key_return, 0, {13}, 28, 13},
        {key_keypad_enter, 0, {13}, 28, 13},
        {key_backspace, 0, {8}, 14, 8},
        {key_tab, 0, {9}, 15, 9},
        {key_f1, 0, {0x3BFF}, 59, 0},
        {key_f1, shift, {0x54FF}, 59, 0},
        {key_left, 0, {0x4BFF}, 75, 0},
        {key_left, ctrl, {0x73FF}, 75, 0},
        // Delete types no character, whatever the modifiers: it is an extended key.
        {key_delete, 0, {0x53FF}, 83, 0},
        {key_delete, shift, {0x53FF}, 83, 0},
        {key_delete, ctrl, {0x93FF}, 83, 0},
        {key_delete, alt, {0xA3FF}, 83, 0},
        // Shift+Tab: the extended code of the key-down, then the tab of the character message.
        {key_tab, shift, {0x0FFF, 9}, 15, 0},
        // Keys without a row in the virtual-key table have scan code 0 in their events.
        {key_pause, 0, {}, 0, 0},
        {key_break, ctrl, {3}, 0, 3, wine_layout_from_x},
        {key_mute, 0, {}, 0, 0},
        {key_volume_up, 0, {}, 0, 0},
        {key_keypad_5, 0, {0x4CFF}, 0, 0},
        {key_102nd, 0, {'\\'}, 0, '\\', wine_102nd},
        // The Ctrl column of the layout.
        {key_a, ctrl, {1}, 30, 1},
        {key_a, ctrl | shift, {1}, 30, 1},
        {key_left_bracket, ctrl, {27}, 26, 27},
        {key_backslash, ctrl, {28}, 43, 28},
        {key_right_bracket, ctrl, {29}, 27, 29},
        {key_102nd, ctrl, {28}, 0, 28, wine_102nd},
        {key_6, ctrl | shift, {30}, 7, 30},
        {key_minus, ctrl | shift, {31}, 12, 31},
        {key_return, ctrl, {10}, 28, 10},
        {key_keypad_enter, ctrl, {10}, 28, 10},
        {key_backspace, ctrl, {127}, 14, 127, wine_layout_from_x},
        {key_space, ctrl, {' '}, 57, ' '},
        {key_3, ctrl, {}, 4, 0},
        {key_8, ctrl, {}, 9, 0},
        {key_minus, ctrl, {}, 12, 0},
        {key_tab, ctrl, {}, 15, 0},
        {key_a, ctrl | alt, {}, 30, 0},
        // Alt: the key's extended code; its character goes to a system character message.
        {key_x, alt, {0x2DFF}, 45, 0},
        // Alt+F4 is the close-window key, and F10 would open the system menu: no events.
        {key_f4, alt, {0x6BFF}, no_event, 0},
        {key_f10, 0, {0x44FF}, no_event, 0},
    };
    return table;
}

// "Ctrl+Shift+A", for the failure messages.
inline std::string describe(const Row& row) {
    std::string name;
    if (row.modifiers & ctrl) name += "Ctrl+";
    if (row.modifiers & alt) name += "Alt+";
    if (row.modifiers & shift) name += "Shift+";
    return name + row.key.name;
}

// The row's key events as type, scan code and character: a press and a release, or none.
using EventFields = std::vector<std::vector<std::int32_t>>;
inline EventFields expected_events(const Row& row) {
    if (row.scan_code == no_event) return {};
    return {{1, row.scan_code, row.character}, {2, row.scan_code, row.character}};
}

// Whether a key event typed with the row belongs to the row: not the modifier keys' own (Ctrl
// 29, Shift 42; Alt makes none) and not F12's.
inline bool row_event(std::int32_t scan_code) {
    return scan_code != 29 && scan_code != 42 && scan_code != key_f12.scan_code;
}

} // namespace keytable
