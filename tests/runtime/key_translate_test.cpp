#include "runtime/key_layout.h"
#include "runtime/key_translate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string_view>

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
    EXPECT_EQ(key('a', 0x1E, 'A', KEYMOD_RIGHT_ALT), 0x1EFF) << "the first letter";
    EXPECT_EQ(key('z', 0x2C, 'Z', KEYMOD_RIGHT_ALT), 0x2CFF) << "the last letter";
    // Ctrl+2 gives the extended code 3 from the table row.
    EXPECT_EQ(key('2', 0x03, '2', KEYMOD_LEFT_CTRL), 0x03FF);
    EXPECT_EQ(key(0, 0x2A, vk::shift, KEYMOD_SHIFT), none) << "Shift alone";
    // Alt+Esc: the extended code 1, the smallest there is.
    EXPECT_EQ(key(0x1B, 0x01, vk::escape, KEYMOD_LEFT_ALT), 0x01FF);
    // Case changes only letters: 0x11 is not the 1 key's own character, with or without Alt.
    EXPECT_EQ(key(0x11, 0x02, '1', KEYMOD_LEFT_ALT), 0x11);
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
    EXPECT_EQ(key(0, 89, vk::f1, KEYMOD_LEFT_ALT), none) << "the first scan code past the table";
    EXPECT_EQ(key('q', 89, 'Q', KEYMOD_LEFT_ALT), 'q');
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
    const struct {
        std::uint32_t virtual_key;
        std::int32_t scan_code;
    } cases[] = {
        {0, 1},
        {vk::escape, 1},
        {'A', 30},
        {vk::shift, 42}, // left first
        {vk::subtract, 12},
        {vk::divide, 53},
        {vk::numpad0 + 7, 71},
        {vk::f1 + 1, 60},
        {vk::f12, 88},
        {vk::control, 29},
        {vk::menu, 56},
        {vk::capital, 58},
        {vk::numlock, 69},
        {vk::scroll, 70},
        {vk::lwin, 91},
        {vk::rwin, 92},
        {vk::apps, 93},
        {0xFF, 0},
        {1, 0},
        {2, 0}, // mouse buttons
    };
    for (const auto& c : cases)
        EXPECT_EQ(scan_code_of(c.virtual_key), c.scan_code) << c.virtual_key;
}

// The virtual-key table: one row per scan code, in order; a second virtual key only for keys of
// the keypad (a stray one would make some other key report that scan code); the function keys
// in order.
TEST(KeyTables, VirtualKeyRowsNameEachScanCodeOnce) {
    const auto rows = virtual_key_table();
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_LT(rows[i - 1].scan_code, rows[i].scan_code) << "row " << i;
    for (const VirtualKeyRow& row : rows) {
        EXPECT_TRUE(row.secondary == 0 ||
                    (row.secondary >= vk::numpad0 && row.secondary <= vk::divide))
            << "scan code " << +row.scan_code;
        const bool function_key = row.primary >= vk::f1 && row.primary <= vk::f12;
        if (function_key) {
            const int f = row.primary - vk::f1; // 0 for F1
            EXPECT_EQ(row.scan_code, f < 10 ? 59 + f : 87 + f - 10) << "F" << f + 1;
        }
    }
}

// The tables and the layout must agree: a key that types a character has that character (letters
// in lower case) as its plain code, and a keypad key's digit is its code with Shift (Num Lock).
TEST(KeyTables, AgreeWithEachOtherAndTheLayout) {
    const auto codes = scan_code_table();
    for (const VirtualKeyRow& row : virtual_key_table()) {
        const KeyCodes& c = codes[std::min<std::size_t>(row.scan_code, codes.size() - 1)];
        // (Windows' layouts do not map the keypad's digit keys to characters.)
        if (row.secondary >= vk::numpad0 && row.secondary <= vk::numpad0 + 9) {
            EXPECT_EQ(c.shift, '0' + (row.secondary - vk::numpad0))
                << "scan code " << +row.scan_code;
        }
        if (row.scan_code >= 0x47) continue; // the keypad's plain codes are extended codes
        const std::uint32_t typed = map_virtual_key_char(row.primary);
        if (typed == 0 || typed > '~') continue;
        const bool letter = typed >= 'A' && typed <= 'Z';
        EXPECT_EQ(c.plain, letter ? typed + ('a' - 'A') : typed) << "scan code " << +row.scan_code;
    }
}

// The whole scan-code table, as the keyboard's rules and a few keys of their own make it.
TEST(KeyTables, ScanCodeTableFollowsTheKeyboardsRules) {
    std::array<KeyCodes, scan_code_table_size> expected{}; // keys not set below make nothing
    const auto set = [&](int scan, int plain, int shift, int ctrl, int alt) {
        expected[static_cast<std::size_t>(scan)] = {
            static_cast<std::uint16_t>(plain), static_cast<std::uint16_t>(shift),
            static_cast<std::uint16_t>(ctrl), static_cast<std::uint16_t>(alt)};
    };
    // Letters: Ctrl gives the control character, Alt the key's own scan code.
    for (const VirtualKeyRow& row : virtual_key_table())
        if (row.primary >= 'A' && row.primary <= 'Z')
            set(row.scan_code, row.primary + 0x20, row.primary, row.primary - 0x40,
                row.scan_code << 8);
    // The digit row: Alt gives 0x78 on; Ctrl makes a code on four keys only.
    const std::string_view digits = "1234567890-=", shifted = "!@#$%^&+()_+";
    for (int i = 0; i < 12; ++i)
        set(2 + i, digits[i], shifted[i], 0, (0x78 + i) << 8);
    expected[3].ctrl = 0x0300;
    expected[7].ctrl = 0x1E;
    expected[8].ctrl = expected[12].ctrl = 0x1F;
    // Punctuation: Alt gives the key's own scan code, except on the backslash.
    const struct {
        int scan;
        char plain, shift;
        int ctrl;
    } punctuation[] = {{0x1A, '[', '{', 0x1B}, {0x1B, ']', '}', 0x1D}, {0x27, ';', ':', 0},
                       {0x28, '\'', '"', 0},   {0x29, '`', '~', 0},    {0x2B, '\\', '|', 0x1C},
                       {0x33, ',', '<', 0},    {0x34, '.', '>', 0},    {0x35, '/', '?', 0}};
    for (const auto& p : punctuation)
        set(p.scan, p.plain, p.shift, p.ctrl, p.scan == 0x2B ? 0 : p.scan << 8);
    set(0x01, 0x1B, 0x1B, 0x1B, 0x0100);     // Esc
    set(0x0E, 0x08, 0x08, 0x7F, 0xE000);     // Backspace
    set(0x0F, 0x09, 0x0F00, 0x9400, 0x0F00); // Tab
    set(0x1C, 0x0D, 0x0D, 0x0A, 0x1C00);     // Enter
    set(0x37, '*', 0, 0x72, 0);              // keypad *
    set(0x39, ' ', ' ', ' ', ' ');           // Space
    // F1 to F10 in four blocks of ten; F11 and F12 interleaved from 0x85 on.
    for (int f = 0; f < 10; ++f)
        set(0x3B + f, (0x3B + f) << 8, (0x54 + f) << 8, (0x5E + f) << 8, (0x68 + f) << 8);
    for (int f = 0; f < 2; ++f)
        set(0x57 + f, (0x85 + f) << 8, (0x87 + f) << 8, (0x89 + f) << 8, (0x8B + f) << 8);
    // The keypad: navigation plain, digits with Shift, codes of their own with Ctrl.
    const std::string_view keypad = "789-456+1230.";
    const int keypad_ctrl[] = {0x77, 0x8D, 0x84, 0,    0x73, 0x8F, 0x74,
                               0,    0x75, 0x91, 0x76, 0x92, 0x93};
    for (int i = 0; i < 13; ++i) {
        const bool operation = keypad[i] == '-' || keypad[i] == '+';
        set(0x47 + i, operation ? 0 : (0x47 + i) << 8, keypad[i], keypad_ctrl[i] << 8, 0);
    }
    expected[0x4C].alt = 0x4C00;

    const auto codes = scan_code_table();
    for (std::size_t scan = 0; scan < codes.size(); ++scan) {
        const KeyCodes& got = codes[scan];
        const KeyCodes& want = expected[scan];
        EXPECT_EQ(got.plain, want.plain) << "plain, scan code " << scan;
        EXPECT_EQ(got.shift, want.shift) << "Shift, scan code " << scan;
        EXPECT_EQ(got.ctrl, want.ctrl) << "Ctrl, scan code " << scan;
        EXPECT_EQ(got.alt, want.alt) << "Alt, scan code " << scan;
    }
}

// Enhanced keys: keypad Enter and slash type what the main keys do; the navigation block gives its
// codes with or without Shift, the keypad's codes with Ctrl and codes of its own with Alt.
TEST(KeyTables, EnhancedKeysAreTheNavigationBlockAndTwoKeypadKeys) {
    const auto codes = scan_code_table();
    const auto keys = enhanced_key_table();
    const std::uint8_t scans[] = {0x1C, 0x35, 0x47, 0x48, 0x49, 0x4B,
                                  0x4D, 0x4F, 0x50, 0x51, 0x52, 0x53};
    ASSERT_EQ(keys.size(), std::size(scans));
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const EnhancedKey& key = keys[i];
        const KeyCodes& main = codes[key.scan_code];
        EXPECT_EQ(key.scan_code, scans[i]);
        if (key.scan_code < 0x47) {
            EXPECT_EQ(key.codes.plain, main.plain) << i;
            EXPECT_EQ(key.codes.shift, main.shift) << i;
        } else {
            EXPECT_EQ(key.codes.plain, key.scan_code << 8) << i;
            EXPECT_EQ(key.codes.shift, key.scan_code << 8) << i;
            EXPECT_EQ(key.codes.alt, (key.scan_code + 0x50) << 8) << i;
        }
        if (key.scan_code != 0x35) {
            EXPECT_EQ(key.codes.ctrl, main.ctrl) << i;
        }
    }
    EXPECT_EQ(keys[0].codes.alt, 0xA600);  // keypad Enter
    EXPECT_EQ(keys[1].codes.ctrl, 0x9500); // keypad /
    EXPECT_EQ(keys[1].codes.alt, 0xA400);
}

} // namespace
