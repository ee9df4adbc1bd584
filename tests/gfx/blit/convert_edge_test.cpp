#include "gfx/blit/convert.h"
#include "gfx/core/screen_state.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

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

// Called on their own, the vector members finish a line that is no multiple of four pixels as the
// plain ones do: the last pixels are read from where they lie in the framebuffer.
TEST(ConvertEdge, VectorMembersAgreeWithPlainOnesAtAnyWidth) {
    struct Pair {
        int depth;
        ConvertFn plain, vector;
        int out_bytes;
    };
    std::mt19937 random(7);
    for (const Pair& pair : {Pair{16, convert_16_to_32, convert_16_to_32_mmx, 4},
                             Pair{32, convert_32_to_16_rl, convert_32_to_16_rl_mmx, 2},
                             Pair{32, convert_32_to_24_rl, convert_32_to_24_rl_mmx, 3}}) {
        for (const int width : {5, 6, 7, 23}) {
            ScreenState screen;
            screen.depth = pair.depth;
            screen.width = width;
            screen.height = 2;
            screen.bytes_per_pixel = pair.depth / 8;
            screen.pitch = width * screen.bytes_per_pixel;
            screen.scanline_size = 1;
            screen.dirty.assign(2, 1);
            std::vector<std::uint8_t> pixels(static_cast<std::size_t>(screen.pitch * 2));
            for (auto& byte : pixels) byte = static_cast<std::uint8_t>(random());
            screen.visible_fb = pixels.data();
            set_current_screen(&screen);
            const int pitch = width * pair.out_bytes + 8;
            std::vector<std::uint8_t> plain(static_cast<std::size_t>(pitch * 2), 0xA5);
            std::vector<std::uint8_t> vector = plain;
            pair.plain(plain.data(), pitch);
            pair.vector(vector.data(), pitch);
            set_current_screen(nullptr);
            EXPECT_EQ(vector, plain) << pair.depth << " to " << pair.out_bytes * 8 << ", " << width;
        }
    }
}

} // namespace
