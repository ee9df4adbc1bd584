#include "gfx/x11/x11_keys.h"

// Before Xlib, whose macros (None) would otherwise rewrite gtest's own names.
#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

#include <string>

#include "gfx/console/key_tables.h"

namespace zered {
namespace {

TEST(X11Keys, KeycodesGiveSetOneScanCodesAndTheExtendedKeysTheirFlag) {
    const auto scan = [](unsigned keycode) { return x11_key_of(keycode).scan_code; };
    EXPECT_EQ(scan(9), 1);   // Esc
    EXPECT_EQ(scan(38), 30); // A
    EXPECT_EQ(scan(50), 42); // left Shift
    EXPECT_EQ(scan(95), 87); // F11
    EXPECT_EQ(scan(96), 88); // F12
    EXPECT_FALSE(x11_key_of(38).extended);
    EXPECT_EQ(scan(8), 0);
    EXPECT_EQ(scan(97), 0);
    EXPECT_EQ(scan(255), 0);

    // Every key beyond the direct range, by its X keycode: scan code, extended flag and virtual
    // key together (the key's own virtual key, or its scan code's row).
    struct Other {
        unsigned keycode;
        int scan_code;
        bool extended;
        unsigned virtual_key;
    };
    const Other others[] = {
        {104, 0x1C, true, vk::return_key}, {105, 0x1D, true, vk::control},
        {106, 0x35, true, vk::oem_2},      {107, 0x37, true, 0x2C},
        {108, 0x38, true, vk::menu},       {110, 0x47, true, vk::home},
        {111, 0x48, true, vk::up},         {112, 0x49, true, vk::prior},
        {113, 0x4B, true, vk::left},       {114, 0x4D, true, vk::right},
        {115, 0x4F, true, vk::end},        {116, 0x50, true, vk::down},
        {117, 0x51, true, vk::next},       {118, 0x52, true, vk::insert},
        {119, 0x53, true, vk::delete_key}, {121, 0x20, true, 0xAD},
        {122, 0x2E, true, 0xAE},           {123, 0x30, true, 0xAF},
        {127, 0x45, false, 0x13},          {133, 0x5B, true, vk::lwin},
        {134, 0x5C, true, vk::rwin},       {135, 0x5D, true, vk::apps},
        {171, 0x19, true, 0xB0},           {172, 0x22, true, 0xB3},
        {173, 0x10, true, 0xB1},           {174, 0x24, true, 0xB2},
    };
    for (const Other& other : others) {
        SCOPED_TRACE("keycode " + std::to_string(other.keycode));
        const X11Key key = x11_key_of(other.keycode);
        EXPECT_EQ(key.scan_code, other.scan_code);
        EXPECT_EQ(key.extended, other.extended);
        EXPECT_EQ(x11_virtual_key(key, NoSymbol), other.virtual_key);
    }
    for (const unsigned keycode : {97u, 103u, 109u, 120u, 132u, 136u})
        EXPECT_EQ(x11_key_of(keycode).scan_code, 0) << "keycode " << keycode;

    const X11Key up = x11_key_of(111);
    EXPECT_EQ(up.scan_code, 0x48);
    EXPECT_TRUE(up.extended);
    EXPECT_EQ(x11_key_of(105).scan_code, 0x1D); // right Ctrl
    EXPECT_EQ(x11_key_of(104).scan_code, 0x1C); // keypad Enter
    EXPECT_EQ(x11_key_of(119).scan_code, 0x53); // Delete
    EXPECT_EQ(x11_key_of(135).scan_code, 0x5D); // Menu
}

TEST(X11Keys, VirtualKeysFollowTheKeypadsNumLockState) {
    EXPECT_EQ(x11_virtual_key({30, false}, XK_a), 'A');
    EXPECT_EQ(x11_virtual_key({0x48, true}, XK_Up), vk::up);
    EXPECT_EQ(x11_virtual_key({0x48, false}, XK_KP_8), vk::numpad0 + 8u);
    EXPECT_EQ(x11_virtual_key({0x52, false}, XK_KP_0), vk::numpad0 + 0u);
    EXPECT_EQ(x11_virtual_key({0x49, false}, XK_KP_9), vk::numpad0 + 9u);
    EXPECT_EQ(x11_virtual_key({0x48, false}, XK_KP_Up), vk::up);
    EXPECT_EQ(x11_virtual_key({0x53, false}, XK_KP_Decimal), vk::decimal);
    EXPECT_EQ(x11_virtual_key({0x35, true}, XK_KP_Divide), vk::divide);
    EXPECT_EQ(x11_virtual_key({0x35, false}, XK_slash), vk::oem_2);
    EXPECT_EQ(x11_virtual_key({0x4A, false}, XK_KP_Subtract), vk::subtract);
    EXPECT_EQ(x11_virtual_key({0x1C, true}, XK_KP_Enter), vk::return_key);
    EXPECT_EQ(x11_virtual_key({42, false}, XK_Shift_L), vk::shift);
    EXPECT_EQ(x11_virtual_key({54, false}, XK_Shift_R), vk::shift);
    EXPECT_EQ(x11_virtual_key({0x38, true}, XK_ISO_Level3_Shift), vk::menu);
    EXPECT_EQ(x11_virtual_key({0x44, false}, XK_F10), vk::f10);
    EXPECT_EQ(x11_virtual_key({0, false}, XK_VoidSymbol), 0u);
    EXPECT_EQ(x11_virtual_key({0x54, false}, NoSymbol), 0u) << "a scan code the table has no row for";
    // Keys the virtual-key table has no row for: their own virtual keys, not 0 (which would give
    // their events Esc's scan code).
    EXPECT_EQ(x11_virtual_key(x11_key_of(84), XK_KP_Begin), 0x0Cu) << "keypad 5, Num Lock off";
    EXPECT_EQ(x11_virtual_key(x11_key_of(84), XK_KP_5), vk::numpad0 + 5u);
    EXPECT_EQ(x11_virtual_key(x11_key_of(127), XK_Pause), 0x13u);
    EXPECT_EQ(x11_virtual_key(x11_key_of(127), XK_Break), vk::cancel);
    EXPECT_EQ(x11_virtual_key(x11_key_of(94), XK_less), vk::oem_102);
    EXPECT_EQ(x11_virtual_key(x11_key_of(107), XK_Print), 0x2Cu);
    EXPECT_EQ(x11_virtual_key(x11_key_of(121), NoSymbol), 0xADu);
    EXPECT_EQ(x11_virtual_key(x11_key_of(123), NoSymbol), 0xAFu);
    EXPECT_EQ(x11_virtual_key(x11_key_of(171), NoSymbol), 0xB0u);
    EXPECT_EQ(x11_virtual_key(x11_key_of(172), NoSymbol), 0xB3u);
    EXPECT_EQ(x11_virtual_key(x11_key_of(95), XK_F11), vk::f11) << "the last direct keycodes";
    EXPECT_EQ(x11_virtual_key(x11_key_of(96), XK_F12), vk::f12);
    EXPECT_EQ(x11_key_of(127).scan_code, 0x45);
    EXPECT_FALSE(x11_key_of(127).extended);
    EXPECT_EQ(x11_key_of(123).scan_code, 0x30);
    EXPECT_TRUE(x11_key_of(123).extended);
}

// What the keys of the shared key table cannot show: modifiers known only from the event's state
// or only from the keys held, the right-hand keys, AltGr.
TEST(X11Keys, ModifiersComeFromTheHeldKeysAndTheEventsState) {
    const X11ModifierKeys none{};
    const auto modifiers = [](unsigned state, const X11ModifierKeys& held, unsigned keycode = 38) {
        return x11_key_stroke(keycode, XK_a, state, held).modifiers;
    };
    EXPECT_EQ(modifiers(0, none), 0u);
    EXPECT_EQ(modifiers(ShiftMask, none), KEYMOD_SHIFT);
    EXPECT_EQ(modifiers(ControlMask, none), KEYMOD_LEFT_CTRL);
    EXPECT_EQ(modifiers(Mod1Mask, none), KEYMOD_LEFT_ALT);
    EXPECT_EQ(modifiers(LockMask | Mod2Mask | Mod4Mask, none), 0u);
    EXPECT_EQ(modifiers(0, {.right_shift = true}), KEYMOD_SHIFT);
    EXPECT_EQ(modifiers(0, {.left_shift = true}), KEYMOD_SHIFT);
    EXPECT_EQ(modifiers(0, {.left_ctrl = true}), KEYMOD_LEFT_CTRL);
    EXPECT_EQ(modifiers(ControlMask, {.right_ctrl = true}), KEYMOD_RIGHT_CTRL);
    EXPECT_EQ(modifiers(0, {.left_alt = true}), KEYMOD_LEFT_ALT);
    EXPECT_EQ(modifiers(Mod1Mask, {.right_alt = true}), KEYMOD_RIGHT_ALT);
    EXPECT_EQ(modifiers(0, none, 113), KEYMOD_ENHANCED) << "Left";
    // AltGr, X's third level: left Ctrl and right Alt, as Windows reports it.
    EXPECT_EQ(modifiers(Mod5Mask, none), KEYMOD_LEFT_CTRL | KEYMOD_RIGHT_ALT);
}

TEST(X11Keys, StrokesAsTheWindowsKeyDownAndCharacterMessagesGiveThem) {
    struct Case {
        const char* what;
        unsigned keycode;
        unsigned long keysym;
        unsigned state;
        std::int32_t code, character;
        bool system;
    };
    const Case cases[] = {
        {"a", 38, XK_a, 0, 'a', 'a', false},
        {"Ctrl+Shift+2", 11, XK_at, ControlMask | ShiftMask, -1, 0, false},
        {"Ctrl+Shift+Return", 36, XK_Return, ControlMask | ShiftMask, -1, no_character, false},
        {"Ctrl+Esc", 9, XK_Escape, ControlMask, 27, 27, false},
        {"Ctrl+Z", 52, XK_z, ControlMask, 26, 26, false},
        {"Ctrl+Shift+Z", 52, XK_Z, ControlMask | ShiftMask, 26, 26, false},
        {"Ctrl+Shift+[", 34, XK_braceleft, ControlMask | ShiftMask, -1, no_character, false},
        {"Ctrl+keypad 1", 87, XK_KP_1, ControlMask | Mod2Mask, -1, no_character, false},
        {"Alt+a", 38, XK_a, Mod1Mask, 0x1EFF, no_character, true},
        {"Alt+Return", 36, XK_Return, Mod1Mask, 0x1CFF, no_character, true},
        {"Ctrl+Alt+Return", 36, XK_Return, ControlMask | Mod1Mask, -1, no_character, false},
        {"AltGr+q typing @", 24, XK_at, Mod5Mask, '@', '@', false},
        {"e acute", 26, XK_eacute, 0, 0x82, -126, false},
        {"Delete", 119, XK_Delete, 0, 0x53FF, no_character, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const X11KeyStroke stroke = x11_key_stroke(c.keycode, c.keysym, c.state, {});
        EXPECT_EQ(stroke.code, c.code);
        EXPECT_EQ(stroke.character, c.character);
        EXPECT_EQ(stroke.system, c.system);
    }
}

TEST(X11Keys, CharactersAreCodePage437BytesOrNone) {
    EXPECT_EQ(x11_character(XK_a), 'a');
    EXPECT_EQ(x11_character(XK_Return), '\r');
    EXPECT_EQ(x11_character(XK_ISO_Left_Tab), '\t');
    EXPECT_EQ(x11_character(XK_KP_Multiply), '*');
    EXPECT_EQ(x11_character(XK_KP_9), '9');
    EXPECT_EQ(x11_character(XK_Break), 3);
    EXPECT_EQ(x11_character(XK_eacute), 0x82) << "not its Latin-1 byte";
    EXPECT_EQ(x11_character(0x1002591), 0xB0) << "a Unicode keysym";
    // Keys that type nothing on Windows, though Xlib gives them a byte.
    EXPECT_EQ(x11_character(XK_Delete), no_character);
    EXPECT_EQ(x11_character(XK_KP_Delete), no_character);
    EXPECT_EQ(x11_character(XK_Clear), no_character);
    EXPECT_EQ(x11_character(XK_EuroSign), no_character);
    // The ends of the Latin-1 keysyms.
    EXPECT_EQ(x11_character(XK_space), ' ');
    EXPECT_EQ(x11_character(XK_asciitilde), '~');
    EXPECT_EQ(x11_character(0x1F), no_character);
    EXPECT_EQ(x11_character(NoSymbol), no_character) << "a key without a keysym";
    EXPECT_EQ(x11_character(0x7F), no_character);
    EXPECT_EQ(x11_character(XK_nobreakspace), 0xFF);
    EXPECT_EQ(x11_character(XK_exclamdown), 0xAD);
    EXPECT_EQ(x11_character(XK_ydiaeresis), 0x98);
    EXPECT_EQ(x11_character(0x100), no_character);
    EXPECT_EQ(x11_character(XK_Shift_L), no_character);
}

} // namespace
} // namespace zered
