#include "gfx/x11/x11_keys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <utility>

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

    // Every key whose make code starts with 0xE0, by its X keycode.
    const std::pair<unsigned, int> extended[] = {
        {104, 0x1C}, {105, 0x1D}, {106, 0x35}, {107, 0x37}, {108, 0x38}, {110, 0x47},
        {111, 0x48}, {112, 0x49}, {113, 0x4B}, {114, 0x4D}, {115, 0x4F}, {116, 0x50},
        {117, 0x51}, {118, 0x52}, {119, 0x53}, {133, 0x5B}, {134, 0x5C}, {135, 0x5D}};
    for (const auto& [keycode, scan_code] : extended) {
        EXPECT_EQ(x11_key_of(keycode).scan_code, scan_code) << "keycode " << keycode;
        EXPECT_TRUE(x11_key_of(keycode).extended) << "keycode " << keycode;
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
}

TEST(X11Keys, CharactersAreCodePage437BytesOrNone) {
    EXPECT_EQ(x11_character(XK_a), 'a');
    EXPECT_EQ(x11_character(XK_Return), '\r');
    EXPECT_EQ(x11_character(XK_ISO_Left_Tab), '\t');
    EXPECT_EQ(x11_character(XK_KP_Multiply), '*');
    EXPECT_EQ(x11_character(XK_KP_9), '9');
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
    EXPECT_EQ(x11_character(0x7F), no_character);
    EXPECT_EQ(x11_character(XK_nobreakspace), 0xFF);
    EXPECT_EQ(x11_character(XK_exclamdown), 0xAD);
    EXPECT_EQ(x11_character(XK_ydiaeresis), 0x98);
    EXPECT_EQ(x11_character(0x100), no_character);
    EXPECT_EQ(x11_character(XK_Shift_L), no_character);
}

} // namespace
} // namespace zered
