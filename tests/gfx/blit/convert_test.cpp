#include "gfx/blit/convert.h"
#include "at_vector_level.h"
#include "gfx/core/block_ops.h"
#include "gfx/core/screen_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using namespace zered;

constexpr std::uint8_t untouched = 0xA5;
constexpr int display_depths[4] = {15, 16, 24, 32};

int display_bytes(int depth) {
    return depth == 15 ? 2 : depth / 8;
}

// A screen with its own pixels, made the open screen for the test's lifetime.
struct TestScreen {
    ScreenState state;
    std::vector<std::uint8_t> pixels;

    TestScreen(int depth, int width, int height, int scanline_size = 1, bool vector = true) {
        state.depth = depth;
        state.width = width;
        state.height = height;
        state.bytes_per_pixel = depth <= 8 ? 1 : depth == 16 ? 2 : 4;
        state.pitch = width * state.bytes_per_pixel;
        state.scanline_size = scanline_size;
        state.flags = vector ? STATE_HAS_MMX : 0;
        state.dirty.assign(static_cast<std::size_t>(height * scanline_size), 1);
        pixels.assign(static_cast<std::size_t>(state.pitch * height), 0);
        state.visible_fb = pixels.data();
        set_current_screen(&state);
    }
    ~TestScreen() { set_current_screen(nullptr); }

    void set_pixel(int index, std::uint32_t value) {
        for (int b = 0; b < state.bytes_per_pixel; ++b) {
            pixels[static_cast<std::size_t>(index * state.bytes_per_pixel + b)] =
                static_cast<std::uint8_t>(value >> (8 * b));
        }
    }
    std::uint32_t pixel(int index) const {
        std::uint32_t v = 0;
        for (int b = 0; b < state.bytes_per_pixel; ++b) {
            v |= std::uint32_t{pixels[static_cast<std::size_t>(index * state.bytes_per_pixel + b)]}
                 << (8 * b);
        }
        return v;
    }
    void randomise(std::mt19937& random) {
        for (auto& byte : pixels) {
            byte = static_cast<std::uint8_t>(random());
        }
        for (auto& entry : state.device_palette) {
            entry = random() & 0xFFFFFF;
        }
        // Any non-zero flag means dirty, not only 1.
        for (int line = 0; line < state.height; ++line) {
            state.dirty[static_cast<std::size_t>(line)] =
                random() % 3 == 0 ? 0 : static_cast<std::uint8_t>(1 + random() % 255);
        }
    }
};

// Runs fn into a destination of untouched bytes whose lines are by default 8 bytes longer than
// the converted pixels, so that a write past the end of a line shows. A bottom-up destination
// (display line 0 last in memory, a negative pitch) comes back with its lines in top-down order.
std::vector<std::uint8_t> run(ConvertFn fn, const TestScreen& screen, int bytes_per_pixel,
                              int padding = 8, bool bottom_up = false) {
    const int pitch = screen.state.width * bytes_per_pixel + padding;
    const int lines = screen.state.height * screen.state.scanline_size;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(pitch * lines), untouched);
    const std::vector<std::uint8_t> dirty = screen.state.dirty;
    if (!bottom_up) {
        fn(out.data(), pitch);
    } else if (lines > 0) {
        fn(out.data() + static_cast<std::ptrdiff_t>(pitch) * (lines - 1), -pitch);
        std::vector<std::uint8_t> flipped(out.size());
        for (int d = 0; d < lines; ++d) {
            std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(pitch) * (lines - 1 - d), pitch,
                        flipped.begin() + static_cast<std::ptrdiff_t>(pitch) * d);
        }
        out = flipped;
    }
    EXPECT_EQ(dirty, screen.state.dirty) << "converters leave the dirty flags alone";
    return out;
}

// Clears the bits nothing reads: bit 15 of 15-bit pixels, byte 3 of red-low 32-bit pixels from a
// 32-bit framebuffer.
void mask_free_bits(std::vector<std::uint8_t>& out, int index, int bytes_per_line) {
    const int depth = display_depths[index % 4];
    const int pitch = bytes_per_line + 8;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto column = static_cast<int>(i % static_cast<std::size_t>(pitch));
        if (column >= bytes_per_line) {
            continue;
        }
        if (depth == 15 && column % 2 == 1) {
            out[i] &= 0x7F;
        } else if (index == 11 && column % 4 == 3) {
            out[i] = 0;
        }
    }
}

// Table index to the framebuffer depth it serves.
int source_depth(int index) {
    return (index % 12) / 4 == 0 ? 8 : (index % 12) / 4 == 1 ? 16 : 32;
}

// The display pixel for framebuffer pixel v, written from the formulas of each family.
std::uint32_t reference_pixel(int index, std::uint32_t v, const ScreenState& screen) {
    const bool red_low = index < 12;
    const int depth = display_depths[index % 4];
    if (source_depth(index) == 16) {
        const std::uint32_t r5 = v >> 11, g6 = (v >> 5) & 0x3F, b5 = v & 0x1F;
        if (depth == 15) {
            return red_low ? b5 << 10 | (g6 >> 1) << 5 | r5 : r5 << 10 | (g6 >> 1) << 5 | b5;
        }
        if (depth == 16) {
            return red_low ? b5 << 11 | g6 << 5 | r5 : v;
        }
        // Each field at the top of its byte, the low bits zero.
        const std::uint32_t r = r5 << 3, g = g6 << 2, b = b5 << 3;
        return red_low ? r | g << 8 | b << 16 : b | g << 8 | r << 16;
    }
    if (index == 23) {
        return v; // blue-low 32-bit framebuffer on a blue-low 32-bit display: a copy
    }
    std::uint32_t r, g, b;
    if (source_depth(index) == 8) {
        const std::uint32_t e = screen.device_palette[v];
        r = e & 0xFF, g = (e >> 8) & 0xFF, b = (e >> 16) & 0xFF;
    } else {
        b = v & 0xFF, g = (v >> 8) & 0xFF, r = (v >> 16) & 0xFF;
    }
    const std::uint32_t low = red_low ? r : b, high = red_low ? b : r;
    if (depth == 15) {
        return (high >> 3) << 10 | (g >> 3) << 5 | low >> 3;
    }
    if (depth == 16) {
        return (high >> 3) << 11 | (g >> 2) << 5 | low >> 3;
    }
    return low | g << 8 | high << 16;
}

// What a converter must leave in the destination: every display line of a dirty framebuffer line
// holds its pixels, everything else is untouched.
std::vector<std::uint8_t> reference(const TestScreen& screen, int bytes_per_pixel,
                                    std::uint32_t (*pixel)(int, std::uint32_t, const ScreenState&),
                                    int index, int padding = 8) {
    const ScreenState& s = screen.state;
    const int pitch = s.width * bytes_per_pixel + padding;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(pitch * s.height * s.scanline_size),
                                  untouched);
    for (int d = 0; d < s.height * s.scanline_size; ++d) {
        const int line = d / s.scanline_size;
        if (s.dirty[static_cast<std::size_t>(line)] == 0) {
            continue;
        }
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t p = pixel(index, screen.pixel(line * s.width + x), s);
            for (int b = 0; b < bytes_per_pixel; ++b) {
                out[static_cast<std::size_t>(d * pitch + x * bytes_per_pixel + b)] =
                    static_cast<std::uint8_t>(p >> (8 * b));
            }
        }
    }
    return out;
}

TEST(Convert, WorkedValuesOnEveryFormatAndBothTables) {
    struct Case {
        int fb_depth;
        std::uint32_t value;
        int display;
        bool red_low;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {8, 0x00FF8040, 16, false, 0x441F},   {8, 0x00FF8040, 16, true, 0xFC08},
        {8, 0x00FF8040, 15, false, 0x221F},   {8, 0x00FF8040, 15, true, 0x7E08},
        {8, 0x00FF8040, 24, false, 0x4080FF}, {8, 0x00FF8040, 24, true, 0xFF8040},
        {8, 0x00FF8040, 32, false, 0x4080FF}, {8, 0x00FF8040, 32, true, 0x00FF8040},
        {32, 0xFF123456, 16, false, 0x11AA},  {32, 0xFF123456, 16, true, 0x51A2},
        {32, 0xFF123456, 15, false, 0x08CA},  {32, 0xFF123456, 15, true, 0x28C2},
        {16, 0xFFFF, 32, false, 0x00F8FCF8},  {16, 0xFFFF, 32, true, 0x00F8FCF8},
        {16, 0x0000, 32, false, 0},           {16, 0x0000, 32, true, 0},
        {16, 0xFFFF, 24, true, 0xF8FCF8},     {32, 0xFF123456, 32, false, 0xFF123456},
    };
    for (const Case& c : cases) {
        for (const bool vector : {false, true}) {
            TestScreen screen(c.fb_depth, 4, 1, 1, vector);
            for (int x = 0; x < 4; ++x) {
                screen.set_pixel(x, c.fb_depth == 8 ? 7 : c.value);
            }
            screen.state.device_palette[7] = c.value;
            const ConvertFn fn = select_converter(c.display, c.red_low);
            ASSERT_NE(fn, nullptr);
            const int bytes = display_bytes(c.display);
            const std::vector<std::uint8_t> out = run(fn, screen, bytes);
            for (int x = 0; x < 4; ++x) {
                std::uint32_t got = 0;
                for (int b = 0; b < bytes; ++b) {
                    got |= std::uint32_t{out[static_cast<std::size_t>(x * bytes + b)]} << (8 * b);
                }
                EXPECT_EQ(got, c.expected)
                    << std::hex << "value " << c.value << " display " << std::dec << c.display
                    << " red_low " << c.red_low << " vector " << vector;
            }
        }
    }

    // Byte 3 of the shaped-window converter's output is cleared, the rest copied.
    TestScreen screen(32, 3, 1);
    screen.set_pixel(0, 0xFF123456);
    const std::vector<std::uint8_t> out = run(convert_32_clear_top, screen, 4);
    EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24, 0x00123456);
}

TEST(Convert, EmptyScreensWriteNothing) {
    std::vector<ConvertFn> all(converter_table_plain.begin(), converter_table_plain.end());
    all.insert(all.end(), converter_table_mmx.begin(), converter_table_mmx.end());
    all.push_back(convert_32_clear_top);
    for (const auto& [width, height] : {std::pair{0, 4}, std::pair{8, 0}}) {
        TestScreen screen(32, width, height);
        ASSERT_NE(select_converter(32, true), nullptr); // tables exist for the 16-bit members
        std::vector<std::uint8_t> out(256, untouched);
        for (const ConvertFn fn : all) {
            fn(out.data(), 64);
        }
        EXPECT_EQ(out, std::vector<std::uint8_t>(256, untouched));
    }
}

TEST(Convert, SelectionFollowsDepthsOrderAndGeometry) {
    // Rows by source group (palettised, 16-bit, 32-bit), columns by display depth 15 to 32.
    const ConvertFn plain[2][3][4] = {
        {{convert_pal_to_15_rl, convert_pal_to_16_rl, convert_pal_to_24_rl, convert_pal_to_32_rl},
         {convert_16_to_15_rl, convert_16_to_16_rl, convert_16_to_24, convert_16_to_32},
         {convert_32_to_15_rl, convert_32_to_16_rl, convert_32_to_24_rl, convert_32_to_32_rl}},
        {{convert_pal_to_15_bl, convert_pal_to_16_bl, convert_pal_to_24_bl, convert_pal_to_32_bl},
         {convert_16_to_15_bl, convert_copy, convert_16_to_24, convert_16_to_32},
         {convert_32_to_15_bl, convert_32_to_16_bl, convert_32_to_24_bl, convert_copy}}};
    const ConvertFn vector[2][3][4] = {
        {{convert_pal_to_15_rl_mmx, convert_pal_to_16_rl_mmx, convert_pal_to_24_rl_mmx,
          convert_pal_to_32_rl_mmx},
         {convert_16_to_15_rl_mmx, convert_16_to_16_rl_mmx, convert_16_to_24_mmx,
          convert_16_to_32_mmx},
         {convert_32_to_15_rl_mmx, convert_32_to_16_rl_mmx, convert_32_to_24_rl_mmx,
          convert_32_to_32_rl_mmx}},
        {{convert_pal_to_15_bl_mmx, convert_pal_to_16_bl_mmx, convert_pal_to_24_bl_mmx,
          convert_pal_to_32_bl_mmx},
         {convert_16_to_15_bl_mmx, convert_copy, convert_16_to_24_mmx, convert_16_to_32_mmx},
         {convert_32_to_15_bl_mmx, convert_32_to_16_bl_mmx, convert_32_to_24_bl_mmx,
          convert_copy}}};
    for (int i = 0; i < converter_table_size; ++i) {
        EXPECT_EQ(converter_table_plain[i], plain[i / 12][i % 12 / 4][i % 4]) << i;
        EXPECT_EQ(converter_table_mmx[i], vector[i / 12][i % 12 / 4][i % 4]) << i;
    }

    EXPECT_EQ(select_converter(16, false), nullptr) << "no screen open";
    for (const int fb_depth : {-1, 0, 1, 2, 3, 4, 8, 12, 15, 16, 24, 32, 33}) {
        const int group = fb_depth == 1 || fb_depth == 2 || fb_depth == 4 || fb_depth == 8 ? 0
                          : fb_depth == 15 || fb_depth == 16                               ? 1
                          : fb_depth == 24 || fb_depth == 32                               ? 2
                                                                                           : -1;
        for (const int display : {0, 7, 8, 12, 15, 16, 24, 32, 64}) {
            const int column = display == 15   ? 0
                               : display == 16 ? 1
                               : display == 24 ? 2
                               : display == 32 ? 3
                                               : -1;
            for (const bool red_low : {true, false}) {
                for (const bool mmx : {false, true}) {
                    TestScreen screen(fb_depth, 8, 2, 1, mmx);
                    ConvertFn expected = nullptr;
                    if (group == 0 && display == 8) {
                        expected = convert_copy;
                    } else if (group >= 0 && column >= 0) {
                        expected = (mmx ? vector : plain)[red_low ? 0 : 1][group][column];
                    }
                    EXPECT_EQ(select_converter(display, red_low), expected)
                        << fb_depth << " on " << display << " red_low " << red_low;
                }
            }
        }
    }

    // The vector members need whole groups of 4 pixels and one display line per line.
    const auto chosen = [](int width, int scanline_size) {
        TestScreen screen(32, width, 2, scanline_size);
        return select_converter(16, false);
    };
    EXPECT_EQ(chosen(324, 1), convert_32_to_16_bl_mmx);
    EXPECT_EQ(chosen(322, 1), convert_32_to_16_bl);
    EXPECT_EQ(chosen(324, 2), convert_32_to_16_bl);
}

// Every vector member against the plain member of the same index, for each vector extension the
// processor has, on random pixels and random dirty lines.
using ConvertAtLevel = AtVectorLevel;

INSTANTIATE_TEST_SUITE_P(Levels, ConvertAtLevel,
                         testing::Values(vector_level_sse2, vector_level_ssse3, vector_level_avx2,
                                         vector_level_avx512));

TEST_P(ConvertAtLevel, VectorMembersMatchPlainMembers) {
    std::mt19937 random(1234);
    std::vector<int> widths;
    for (int w = 4; w <= 64; w += 4) {
        widths.push_back(w);
    }
    // And widths the selector never gives them: the pixels after the last group of 4 go through
    // the plain line converter. One short of a vector step (16, 32, 64, 128 pixels) shows a step
    // that advances by less than it writes: its last step would run past the line.
    widths.insert(widths.end(), {1, 3, 7, 15, 18, 31, 63, 67, 99, 127, 131, 320, 324, 640, 1920});
    for (int index = 0; index < converter_table_size; ++index) {
        const int bytes = display_bytes(display_depths[index % 4]);
        for (const int width : widths) {
            TestScreen screen(source_depth(index), width, 3);
            screen.randomise(random);
            ASSERT_NE(select_converter(display_depths[index % 4], index < 12), nullptr);
            std::vector<std::uint8_t> plain = run(converter_table_plain[index], screen, bytes);
            std::vector<std::uint8_t> vector = run(converter_table_mmx[index], screen, bytes);
            mask_free_bits(plain, index, width * bytes);
            mask_free_bits(vector, index, width * bytes);
            ASSERT_EQ(plain, vector) << "index " << index << " width " << width;
        }
    }
}

// The plain members against the formulas, on widths that leave every kind of remainder, with
// one and two display lines per framebuffer line. Clean lines must stay untouched.
TEST(Convert, PlainMembersFollowTheFormulas) {
    std::mt19937 random(99);
    for (const int scanline_size : {1, 2}) {
        for (int width = 1; width <= 18; ++width) {
            for (int index = 0; index < converter_table_size; ++index) {
                const int bytes = display_bytes(display_depths[index % 4]);
                TestScreen screen(source_depth(index), width, 4, scanline_size);
                screen.randomise(random);
                ASSERT_NE(select_converter(display_depths[index % 4], index < 12), nullptr);
                std::vector<std::uint8_t> got = run(converter_table_plain[index], screen, bytes);
                std::vector<std::uint8_t> expected =
                    reference(screen, bytes, reference_pixel, index);
                mask_free_bits(got, index, width * bytes);
                mask_free_bits(expected, index, width * bytes);
                ASSERT_EQ(got, expected) << "index " << index << " width " << width
                                         << " scanline_size " << scanline_size;
            }

            // The palettised copy and the shaped-window converter, by the same rule.
            TestScreen indexed(8, width, 4, scanline_size);
            indexed.randomise(random);
            const auto copy = [](int, std::uint32_t v, const ScreenState&) { return v; };
            for (const int padding : {0, 8}) { // equal pitches copy whole runs of lines
                EXPECT_EQ(run(convert_copy, indexed, 1, padding),
                          reference(indexed, 1, copy, 0, padding));
            }
            TestScreen rgb(32, width, 4, scanline_size);
            rgb.randomise(random);
            const auto clear = [](int, std::uint32_t v, const ScreenState&) {
                return v & 0xFFFFFF;
            };
            EXPECT_EQ(run(convert_32_clear_top, rgb, 4), reference(rgb, 4, clear, 0));
        }
    }
}

// A bottom-up display (negative pitch, the destination at its last line) gets the same lines as
// a top-down one, for every member of both tables, the copy with its whole-run path and the
// shaped-window converter.
TEST(Convert, BottomUpDisplaysGetTheSameLines) {
    std::mt19937 random(5);
    for (const int scanline_size : {1, 2}) {
        for (int index = 0; index < converter_table_size; ++index) {
            const int bytes = display_bytes(display_depths[index % 4]);
            for (const ConvertFn fn : {converter_table_plain[index], converter_table_mmx[index]}) {
                TestScreen screen(source_depth(index), 20, 5, scanline_size);
                screen.randomise(random);
                ASSERT_NE(select_converter(display_depths[index % 4], index < 12), nullptr);
                EXPECT_EQ(run(fn, screen, bytes, 8, true), run(fn, screen, bytes, 8))
                    << "index " << index << " scanline_size " << scanline_size;
            }
        }
        TestScreen indexed(8, 20, 5, scanline_size);
        indexed.randomise(random);
        for (const int padding : {0, 8}) {
            EXPECT_EQ(run(convert_copy, indexed, 1, padding, true),
                      run(convert_copy, indexed, 1, padding));
        }
        TestScreen rgb(32, 20, 5, scanline_size);
        rgb.randomise(random);
        EXPECT_EQ(run(convert_32_clear_top, rgb, 4, 8, true), run(convert_32_clear_top, rgb, 4, 8));
    }
}

} // namespace
