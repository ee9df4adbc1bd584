#include "runtime/key_tables.h"

#include <array>

namespace rt {

namespace {

// clang-format off
constexpr std::array<KeyCodes, scan_code_table_size> scan_codes{{
    //  plain   shift   ctrl    alt
    {0,      0,      0,      0     }, // 00
    {0x001B, 0x001B, 0x001B, 0x0100}, // 01 Esc
    {'1',    '!',    0,      0x7800}, // 02
    {'2',    '@',    0x0300, 0x7900}, // 03
    {'3',    '#',    0,      0x7A00}, // 04
    {'4',    '$',    0,      0x7B00}, // 05
    {'5',    '%',    0,      0x7C00}, // 06
    {'6',    '^',    0x001E, 0x7D00}, // 07
    {'7',    '&',    0x001F, 0x7E00}, // 08
    {'8',    '+',    0,      0x7F00}, // 09
    {'9',    '(',    0,      0x8000}, // 0A
    {'0',    ')',    0,      0x8100}, // 0B
    {'-',    '_',    0x001F, 0x8200}, // 0C
    {'=',    '+',    0,      0x8300}, // 0D
    {0x0008, 0x0008, 0x007F, 0xE000}, // 0E Backspace
    {0x0009, 0x0F00, 0x9400, 0x0F00}, // 0F Tab
    {'q',    'Q',    0x0011, 0x1000}, // 10
    {'w',    'W',    0x0017, 0x1100}, // 11
    {'e',    'E',    0x0005, 0x1200}, // 12
    {'r',    'R',    0x0012, 0x1300}, // 13
    {'t',    'T',    0x0014, 0x1400}, // 14
    {'y',    'Y',    0x0019, 0x1500}, // 15
    {'u',    'U',    0x0015, 0x1600}, // 16
    {'i',    'I',    0x0009, 0x1700}, // 17
    {'o',    'O',    0x000F, 0x1800}, // 18
    {'p',    'P',    0x0010, 0x1900}, // 19
    {'[',    '{',    0x001B, 0x1A00}, // 1A
    {']',    '}',    0x001D, 0x1B00}, // 1B
    {0x000D, 0x000D, 0x000A, 0x1C00}, // 1C Enter
    {0,      0,      0,      0     }, // 1D Ctrl
    {'a',    'A',    0x0001, 0x1E00}, // 1E
    {'s',    'S',    0x0013, 0x1F00}, // 1F
    {'d',    'D',    0x0004, 0x2000}, // 20
    {'f',    'F',    0x0006, 0x2100}, // 21
    {'g',    'G',    0x0007, 0x2200}, // 22
    {'h',    'H',    0x0008, 0x2300}, // 23
    {'j',    'J',    0x000A, 0x2400}, // 24
    {'k',    'K',    0x000B, 0x2500}, // 25
    {'l',    'L',    0x000C, 0x2600}, // 26
    {';',    ':',    0,      0x2700}, // 27
    {'\'',   '"',    0,      0x2800}, // 28
    {'`',    '~',    0,      0x2900}, // 29
    {0,      0,      0,      0     }, // 2A left Shift
    {'\\',   '|',    0x001C, 0     }, // 2B
    {'z',    'Z',    0x001A, 0x2C00}, // 2C
    {'x',    'X',    0x0018, 0x2D00}, // 2D
    {'c',    'C',    0x0003, 0x2E00}, // 2E
    {'v',    'V',    0x0016, 0x2F00}, // 2F
    {'b',    'B',    0x0002, 0x3000}, // 30
    {'n',    'N',    0x000E, 0x3100}, // 31
    {'m',    'M',    0x000D, 0x3200}, // 32
    {',',    '<',    0,      0x3300}, // 33
    {'.',    '>',    0,      0x3400}, // 34
    {'/',    '?',    0,      0x3500}, // 35
    {0,      0,      0,      0     }, // 36 right Shift
    {'*',    0,      0x0072, 0     }, // 37 keypad *
    {0,      0,      0,      0     }, // 38 Alt
    {' ',    ' ',    ' ',    ' '   }, // 39 Space
    {0,      0,      0,      0     }, // 3A Caps Lock
    {0x3B00, 0x5400, 0x5E00, 0x6800}, // 3B F1
    {0x3C00, 0x5500, 0x5F00, 0x6900}, // 3C F2
    {0x3D00, 0x5600, 0x6000, 0x6A00}, // 3D F3
    {0x3E00, 0x5700, 0x6100, 0x6B00}, // 3E F4
    {0x3F00, 0x5800, 0x6200, 0x6C00}, // 3F F5
    {0x4000, 0x5900, 0x6300, 0x6D00}, // 40 F6
    {0x4100, 0x5A00, 0x6400, 0x6E00}, // 41 F7
    {0x4200, 0x5B00, 0x6500, 0x6F00}, // 42 F8
    {0x4300, 0x5C00, 0x6600, 0x7000}, // 43 F9
    {0x4400, 0x5D00, 0x6700, 0x7100}, // 44 F10
    {0,      0,      0,      0     }, // 45 Num Lock
    {0,      0,      0,      0     }, // 46 Scroll Lock
    {0x4700, '7',    0x7700, 0     }, // 47 keypad 7 / Home
    {0x4800, '8',    0x8D00, 0     }, // 48 keypad 8 / Up
    {0x4900, '9',    0x8400, 0     }, // 49 keypad 9 / Page Up
    {0,      '-',    0,      0     }, // 4A keypad -
    {0x4B00, '4',    0x7300, 0     }, // 4B keypad 4 / Left
    {0x4C00, '5',    0x8F00, 0x4C00}, // 4C keypad 5
    {0x4D00, '6',    0x7400, 0     }, // 4D keypad 6 / Right
    {0,      '+',    0,      0     }, // 4E keypad +
    {0x4F00, '1',    0x7500, 0     }, // 4F keypad 1 / End
    {0x5000, '2',    0x9100, 0     }, // 50 keypad 2 / Down
    {0x5100, '3',    0x7600, 0     }, // 51 keypad 3 / Page Down
    {0x5200, '0',    0x9200, 0     }, // 52 keypad 0 / Insert
    {0x5300, '.',    0x9300, 0     }, // 53 keypad . / Delete
    {0,      0,      0,      0     }, // 54
    {0,      0,      0,      0     }, // 55
    {0,      0,      0,      0     }, // 56
    {0x8500, 0x8700, 0x8900, 0x8B00}, // 57 F11
    {0x8600, 0x8800, 0x8A00, 0x8C00}, // 58 F12
}};

constexpr std::array<EnhancedKey, 12> enhanced_keys{{
    {0x1C, {0x000D, 0x000D, 0x000A, 0xA600}}, // keypad Enter
    {0x35, {0x002F, 0x003F, 0x9500, 0xA400}}, // keypad /
    {0x47, {0x4700, 0x4700, 0x7700, 0x9700}}, // Home
    {0x48, {0x4800, 0x4800, 0x8D00, 0x9800}}, // Up
    {0x49, {0x4900, 0x4900, 0x8400, 0x9900}}, // Page Up
    {0x4B, {0x4B00, 0x4B00, 0x7300, 0x9B00}}, // Left
    {0x4D, {0x4D00, 0x4D00, 0x7400, 0x9D00}}, // Right
    {0x4F, {0x4F00, 0x4F00, 0x7500, 0x9F00}}, // End
    {0x50, {0x5000, 0x5000, 0x9100, 0xA000}}, // Down
    {0x51, {0x5100, 0x5100, 0x7600, 0xA100}}, // Page Down
    {0x52, {0x5200, 0x5200, 0x9200, 0xA200}}, // Insert
    {0x53, {0x5300, 0x5300, 0x9300, 0xA300}}, // Delete
}};

// Scan codes in decimal. The first row (Esc) is answered before the table is searched.
constexpr std::array<VirtualKeyRow, 86> virtual_keys{{
    {1, vk::escape, 0},
    {2, '1', 0}, {3, '2', 0}, {4, '3', 0}, {5, '4', 0}, {6, '5', 0},
    {7, '6', 0}, {8, '7', 0}, {9, '8', 0}, {10, '9', 0}, {11, '0', 0},
    {12, vk::oem_minus, vk::subtract},
    {13, vk::oem_plus, 0},
    {14, vk::back, 0},
    {15, vk::tab, 0},
    {16, 'Q', 0}, {17, 'W', 0}, {18, 'E', 0}, {19, 'R', 0}, {20, 'T', 0},
    {21, 'Y', 0}, {22, 'U', 0}, {23, 'I', 0}, {24, 'O', 0}, {25, 'P', 0},
    {26, vk::oem_4, 0},
    {27, vk::oem_6, 0},
    {28, vk::return_key, 0},
    {29, vk::control, 0},
    {30, 'A', 0}, {31, 'S', 0}, {32, 'D', 0}, {33, 'F', 0}, {34, 'G', 0},
    {35, 'H', 0}, {36, 'J', 0}, {37, 'K', 0}, {38, 'L', 0},
    {39, vk::oem_1, 0},
    {40, vk::oem_7, 0},
    {41, vk::oem_3, 0},
    {42, vk::shift, 0},
    {43, vk::oem_5, 0},
    {44, 'Z', 0}, {45, 'X', 0}, {46, 'C', 0}, {47, 'V', 0}, {48, 'B', 0},
    {49, 'N', 0}, {50, 'M', 0},
    {51, vk::oem_comma, 0},
    {52, vk::oem_period, 0},
    {53, vk::oem_2, vk::divide},
    {54, vk::shift, 0},
    {55, vk::multiply, 0},
    {56, vk::menu, 0},
    {57, vk::space, 0},
    {58, vk::capital, 0},
    {59, vk::f1, 0}, {60, vk::f1 + 1, 0}, {61, vk::f1 + 2, 0}, {62, vk::f1 + 3, 0},
    {63, vk::f1 + 4, 0}, {64, vk::f1 + 5, 0}, {65, vk::f1 + 6, 0}, {66, vk::f1 + 7, 0},
    {67, vk::f1 + 8, 0}, {68, vk::f10, 0},
    {69, vk::numlock, 0},
    {70, vk::scroll, 0},
    {71, vk::home, vk::numpad0 + 7},
    {72, vk::up, vk::numpad0 + 8},
    {73, vk::prior, vk::numpad0 + 9},
    {75, vk::left, vk::numpad0 + 4},
    {77, vk::right, vk::numpad0 + 6},
    {78, vk::add, 0},
    {79, vk::end, vk::numpad0 + 1},
    {80, vk::down, vk::numpad0 + 2},
    {81, vk::next, vk::numpad0 + 3},
    {82, vk::insert, vk::numpad0},
    {83, vk::delete_key, vk::decimal},
    {87, vk::f11, 0},
    {88, vk::f12, 0},
    {91, vk::lwin, 0},
    {92, vk::rwin, 0},
    {93, vk::apps, 0},
}};
// clang-format on
// A short initialiser would leave zero rows at the end.
static_assert(virtual_keys.back().scan_code == 93);

} // namespace

std::span<const KeyCodes, scan_code_table_size> scan_code_table() {
    return scan_codes;
}
std::span<const EnhancedKey> enhanced_key_table() {
    return enhanced_keys;
}
std::span<const VirtualKeyRow> virtual_key_table() {
    return virtual_keys;
}

} // namespace rt
