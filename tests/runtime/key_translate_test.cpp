#include "runtime/key_layout.h"
#include "runtime/key_translate.h"

#include <gtest/gtest.h>

namespace {

using namespace rt;

constexpr std::int32_t none = -1;

std::int32_t key(std::int32_t ch, std::int32_t scan, std::uint32_t vkey, KeyModifiers mods = 0) {
    return translate_key(ch, scan, vkey, mods, 0);
}

TEST(TranslateKey, FunctionKeysGiveTheirModifiedExtendedCodes) {
    EXPECT_EQ(key(0, 0x3B, vk::f1), 0x3BFF);
    EXPECT_EQ(key(0, 0x3B, vk::f1, KEYMOD_SHIFT), 0x54FF);
    EXPECT_EQ(key(0, 0x3B, vk::f1, KEYMOD_RIGHT_ALT | KEYMOD_LEFT_CTRL), 0x68FF) << "Alt first";
    EXPECT_EQ(key(0, 0x58, vk::f12, KEYMOD_RIGHT_CTRL), 0x8AFF);
}

TEST(TranslateKey, CharactersStayUnlessTheyAreTheKeysOwn) {
    EXPECT_EQ(key('a', 0x1E, 'A'), 'a');
    EXPECT_EQ(key('!', 0x02, '1', KEYMOD_SHIFT), '!');
    // Alt+X: the key's own letter in either case becomes the extended code.
    EXPECT_EQ(key('x', 0x2D, 'X', KEYMOD_LEFT_ALT), 0x2DFF);
    EXPECT_EQ(key('X', 0x2D, 'X', KEYMOD_LEFT_ALT | KEYMOD_SHIFT), 0x2DFF);
    EXPECT_EQ(key(0, 0x2D, 'X', KEYMOD_LEFT_ALT), none);
    // Ctrl+2 gives the extended code 3 from the table row.
    EXPECT_EQ(key('2', 0x03, '2', KEYMOD_LEFT_CTRL), 0x03FF);
    EXPECT_EQ(key(0, 0x2A, vk::shift, KEYMOD_SHIFT), none) << "Shift alone";
}

TEST(TranslateKey, EnhancedKeysUseTheirOwnTable) {
    EXPECT_EQ(key(13, 0x1C, vk::return_key, KEYMOD_ENHANCED), 13);
    EXPECT_EQ(key(0, 0x1C, vk::return_key, KEYMOD_ENHANCED | KEYMOD_LEFT_ALT), 0xA6FF);
    EXPECT_EQ(key(0, 0x48, vk::up, KEYMOD_ENHANCED), 0x48FF);
    EXPECT_EQ(key(0, 0x48, vk::up, KEYMOD_ENHANCED | KEYMOD_RIGHT_CTRL), 0x8DFF);
    EXPECT_EQ(key(0, 0x1D, vk::control, KEYMOD_ENHANCED | KEYMOD_RIGHT_CTRL), none);
    // The same scan code without the enhanced bit is the keypad key (Num Lock off).
    EXPECT_EQ(key(0, 0x48, vk::up), 0x48FF);
    EXPECT_EQ(key(0, 0x48, vk::up, KEYMOD_LEFT_ALT), none);
    EXPECT_EQ(key('8', 0x48, vk::numpad0 + 8, KEYMOD_SHIFT), '8');
}

TEST(TranslateKey, UnusualInput) {
    // Beyond the table only a character survives.
    EXPECT_EQ(key(0, 0x5B, vk::lwin), none);
    EXPECT_EQ(key('q', 0x5B, vk::lwin), 'q');
    EXPECT_EQ(key('q', -5, 'Q'), 'q');
    // Only the low byte of the character counts, so 0xFF read as signed is still a key.
    EXPECT_EQ(key(-126, 0x10, 'Q'), 0x82);
    EXPECT_EQ(key(-1, 0x10, 'Q'), 0xFF);
    EXPECT_EQ(key(0x161, 0x1E, 'A'), 'a');
    // force: table codes only.
    EXPECT_EQ(translate_key('a', 0x1E, 'A', 0, 1), none);
    EXPECT_EQ(translate_key('q', 0x5B, vk::lwin, 0, 1), none);
    EXPECT_EQ(translate_key(0, 0x3B, vk::f1, 0, 1), 0x3BFF);
}

TEST(ScanCodeOf, FindsTheFirstMatchingRow) {
    EXPECT_EQ(scan_code_of(0), 1);
    EXPECT_EQ(scan_code_of(vk::escape), 1);
    EXPECT_EQ(scan_code_of('A'), 30);
    EXPECT_EQ(scan_code_of(vk::shift), 42) << "left Shift comes first";
    EXPECT_EQ(scan_code_of(vk::subtract), 12);
    EXPECT_EQ(scan_code_of(vk::divide), 53);
    EXPECT_EQ(scan_code_of(vk::numpad0 + 7), 71);
    EXPECT_EQ(scan_code_of(vk::f12), 88);
    EXPECT_EQ(scan_code_of(vk::apps), 93);
    EXPECT_EQ(scan_code_of(0xFF), 0);
}

// The three tables and the layout must agree: a key of the main block that types a character has
// that character (in either case) as its plain code, and Alt with a letter gives the letter's
// scan code. (The keypad, from 0x47 on, has its own plain codes.)
TEST(KeyTables, AgreeWithEachOtherAndTheLayout) {
    const auto codes = scan_code_table();
    for (const VirtualKeyRow& row : virtual_key_table()) {
        if (row.scan_code >= 0x47) continue;
        const std::uint32_t typed = map_virtual_key_char(row.primary);
        if (typed <= ' ' || typed > '~') continue;
        const std::uint32_t plain = codes[row.scan_code].plain;
        const bool letter = typed >= 'A' && typed <= 'Z';
        EXPECT_EQ(plain, letter ? typed + ('a' - 'A') : typed) << "scan code " << +row.scan_code;
        if (letter) {
            EXPECT_EQ(codes[row.scan_code].shift, typed);
            EXPECT_EQ(codes[row.scan_code].alt, row.scan_code * 256u);
        }
    }
    for (int f = 0; f < 10; ++f) {
        const KeyCodes& c = codes[static_cast<std::size_t>(0x3B + f)];
        EXPECT_EQ(c.plain, 0x3B00 + f * 0x100);
        EXPECT_EQ(c.shift, 0x5400 + f * 0x100);
        EXPECT_EQ(c.ctrl, 0x5E00 + f * 0x100);
        EXPECT_EQ(c.alt, 0x6800 + f * 0x100);
    }
}

} // namespace
