#include "gfx/blit/convert.h"
#include "gfx/core/screen_state.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

using namespace zered;

// With no screen open a converter has nothing to read: the display stays as it was.
TEST(ConvertEdge, WithoutAScreenNothingIsWritten) {
    ASSERT_EQ(current_screen(), nullptr);
    for (const ConvertFn convert :
         {convert_copy, convert_32_clear_top, convert_pal_to_15_rl, convert_pal_to_32_bl,
          convert_16_to_24, convert_32_to_16_rl, convert_pal_to_16_rl_mmx, convert_16_to_32_mmx}) {
        std::array<std::uint8_t, 64> display;
        display.fill(0xA5);
        convert(display.data(), 16);
        for (const std::uint8_t byte : display) ASSERT_EQ(byte, 0xA5);
    }
}

} // namespace
