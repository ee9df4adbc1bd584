#include "runtime/key_layout.h"
#include "runtime/key_tables.h"

#include <gtest/gtest.h>

namespace {

// The layout outside Windows is a US keyboard.
TEST(KeyLayout, AUsKeyboardsUnshiftedCharacters) {
    using namespace rt;
    const struct {
        std::uint32_t virtual_key, character;
    } cases[] = {
        {'0', '0'},
        {'9', '9'},
        {'A', 'A'},
        {'Z', 'Z'},
        {vk::numpad0, '0'},
        {vk::numpad0 + 9, '9'},
        {vk::back, '\b'},
        {vk::cancel, 0x03},
        {vk::oem_102, '\\'},
        {vk::oem_2, '/'},
        {vk::decimal, '.'},
        {'/', 0},
        {':', 0},
        {'@', 0},
        {'[', 0},
        {vk::numpad0 - 1, 0},
        {vk::numpad0 + 10, '*'},
        {vk::f1, 0},
        {vk::shift, 0},
        {0x1FF, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(map_virtual_key_char(c.virtual_key), c.character) << c.virtual_key;
}

} // namespace
