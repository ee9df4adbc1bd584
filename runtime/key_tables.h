// The keyboard's fixed data: virtual-key numbers, the modifier bits of a key message, and the
// tables that turn a key into a key code or a scan code. The window layer and the console key
// input share them.
//
// Scan codes are PC keyboard set-1 make codes. Virtual keys are the Windows virtual-key numbers,
// defined here under names of our own so that the device-independent code needs no platform
// header (and so that the names do not collide with the platform's macros where it is included).
#pragma once

#include <cstdint>
#include <span>

namespace rt {

namespace vk {
inline constexpr std::uint8_t cancel = 0x03; // Ctrl+Break
inline constexpr std::uint8_t back = 0x08;
inline constexpr std::uint8_t tab = 0x09;
inline constexpr std::uint8_t return_key = 0x0D;
inline constexpr std::uint8_t shift = 0x10;
inline constexpr std::uint8_t control = 0x11;
inline constexpr std::uint8_t menu = 0x12; // Alt
inline constexpr std::uint8_t capital = 0x14;
inline constexpr std::uint8_t escape = 0x1B;
inline constexpr std::uint8_t space = 0x20;
inline constexpr std::uint8_t prior = 0x21; // Page Up
inline constexpr std::uint8_t next = 0x22;  // Page Down
inline constexpr std::uint8_t end = 0x23;
inline constexpr std::uint8_t home = 0x24;
inline constexpr std::uint8_t left = 0x25;
inline constexpr std::uint8_t up = 0x26;
inline constexpr std::uint8_t right = 0x27;
inline constexpr std::uint8_t down = 0x28;
inline constexpr std::uint8_t insert = 0x2D;
inline constexpr std::uint8_t delete_key = 0x2E;
// The digit keys and the letter keys are their ASCII codes, '0' to '9' and 'A' to 'Z'.
inline constexpr std::uint8_t lwin = 0x5B;
inline constexpr std::uint8_t rwin = 0x5C;
inline constexpr std::uint8_t apps = 0x5D;
inline constexpr std::uint8_t numpad0 = 0x60; // numpad1 to numpad9 follow
inline constexpr std::uint8_t multiply = 0x6A;
inline constexpr std::uint8_t add = 0x6B;
inline constexpr std::uint8_t subtract = 0x6D;
inline constexpr std::uint8_t decimal = 0x6E;
inline constexpr std::uint8_t divide = 0x6F;
inline constexpr std::uint8_t f1 = 0x70; // f2 to f12 follow
inline constexpr std::uint8_t f10 = 0x79;
inline constexpr std::uint8_t f11 = 0x7A;
inline constexpr std::uint8_t f12 = 0x7B;
inline constexpr std::uint8_t numlock = 0x90;
inline constexpr std::uint8_t scroll = 0x91;
inline constexpr std::uint8_t oem_1 = 0xBA; // ;:
inline constexpr std::uint8_t oem_plus = 0xBB;
inline constexpr std::uint8_t oem_comma = 0xBC;
inline constexpr std::uint8_t oem_minus = 0xBD;
inline constexpr std::uint8_t oem_period = 0xBE;
inline constexpr std::uint8_t oem_2 = 0xBF;   // /?
inline constexpr std::uint8_t oem_3 = 0xC0;   // `~
inline constexpr std::uint8_t oem_4 = 0xDB;   // [{
inline constexpr std::uint8_t oem_5 = 0xDC;   // \|
inline constexpr std::uint8_t oem_6 = 0xDD;   // ]}
inline constexpr std::uint8_t oem_7 = 0xDE;   // '"
inline constexpr std::uint8_t oem_102 = 0xE2; // the extra key of 102-key keyboards
} // namespace vk

// Modifier bits of a key message, in the layout of a console key event's control state.
using KeyModifiers = std::uint32_t;
inline constexpr KeyModifiers KEYMOD_RIGHT_ALT = 0x1;
inline constexpr KeyModifiers KEYMOD_LEFT_ALT = 0x2;
inline constexpr KeyModifiers KEYMOD_RIGHT_CTRL = 0x4;
inline constexpr KeyModifiers KEYMOD_LEFT_CTRL = 0x8;
inline constexpr KeyModifiers KEYMOD_SHIFT = 0x10;
inline constexpr KeyModifiers KEYMOD_ENHANCED = 0x100;
inline constexpr KeyModifiers KEYMOD_ALT = KEYMOD_RIGHT_ALT | KEYMOD_LEFT_ALT;
inline constexpr KeyModifiers KEYMOD_CTRL = KEYMOD_RIGHT_CTRL | KEYMOD_LEFT_CTRL;

// What a key gives plain and with each modifier. Below 256 a character, from 256 on an extended
// code times 256 (low byte 0), 0 nothing.
struct KeyCodes {
    std::uint16_t plain;
    std::uint16_t shift;
    std::uint16_t ctrl;
    std::uint16_t alt;
};

// Indexed by scan code, 0 to 88.
inline constexpr int scan_code_table_size = 89;
std::span<const KeyCodes, scan_code_table_size> scan_code_table();

// Keys that arrive with the enhanced bit: the navigation block, keypad Enter and keypad slash.
struct EnhancedKey {
    std::uint8_t scan_code;
    KeyCodes codes;
};
std::span<const EnhancedKey> enhanced_key_table();

// A key's scan code and the virtual keys that name it (secondary 0 where there is only one).
// Used both ways: virtual key to scan code for key events, and scan code to virtual keys for the
// key-state array.
struct VirtualKeyRow {
    std::uint8_t scan_code;
    std::uint8_t primary;
    std::uint8_t secondary;
};
std::span<const VirtualKeyRow> virtual_key_table();

} // namespace rt
