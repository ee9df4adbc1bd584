#include "gfx/blit/palette_tables.h"
#include "at_vector_level.h"

#include "gfx/blit/convert.h"
#include "gfx/core/block_ops.h"
#include "gfx/core/screen_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using namespace zered;

// The palettised entries of the converter tables: red-low 0-3, blue-low 12-15.
constexpr int palettised[] = {0, 1, 2, 3, 12, 13, 14, 15};

int display_bytes(int index) {
    return index % 4 == 0 ? 2 : index % 4 == 1 ? 2 : index % 4 == 2 ? 3 : 4;
}

// An 8-bit screen of random indices and palette, made the open screen for the test's lifetime.
struct IndexedScreen {
    ScreenState state;
    std::vector<std::uint8_t> pixels;
    std::mt19937 random{77};

    IndexedScreen(int width, int height) {
        state.depth = 8;
        state.width = width;
        state.height = height;
        state.bytes_per_pixel = 1;
        state.pitch = width;
        state.scanline_size = 1;
        state.flags = STATE_HAS_MMX;
        state.dirty.assign(static_cast<std::size_t>(height), 1);
        pixels.resize(static_cast<std::size_t>(width * height));
        for (auto& p : pixels) {
            p = static_cast<std::uint8_t>(random());
        }
        for (auto& e : state.device_palette) {
            e = random() & 0xFFFFFF;
        }
        state.visible_fb = pixels.data();
        set_current_screen(&state);
    }
    ~IndexedScreen() { set_current_screen(nullptr); }

    std::vector<std::uint8_t> convert(ConvertFn fn, int bytes) const {
        std::vector<std::uint8_t> out(static_cast<std::size_t>(state.width * bytes * state.height),
                                      0xA5);
        fn(out.data(), state.width * bytes);
        return out;
    }
    // Bit 15 of a 15-bit pixel carries nothing; the members may differ there.
    static void mask_free_bits(std::vector<std::uint8_t>& out, int index) {
        if (index % 4 == 0) {
            for (std::size_t i = 1; i < out.size(); i += 2) {
                out[i] &= 0x7F;
            }
        }
    }
    std::vector<std::uint8_t> expected(int index) const {
        auto out = convert(converter_table_plain[static_cast<std::size_t>(index)],
                           display_bytes(index));
        mask_free_bits(out, index);
        return out;
    }
    std::vector<std::uint8_t> vector(int index) const {
        auto out = convert(converter_table_mmx[static_cast<std::size_t>(index)],
                           display_bytes(index));
        mask_free_bits(out, index);
        return out;
    }
};

using PaletteAtLevel = AtVectorLevel;

INSTANTIATE_TEST_SUITE_P(Levels, PaletteAtLevel,
                         testing::Values(vector_level_sse2, vector_level_avx2,
                                         vector_level_avx512));

// Every palettised member gives the plain member's pixels across palette changes, changes of
// display format with the same palette, whole frames (where the two-pixel table pays for itself)
// and a few lines (where it does not), widths with every kind of tail.
TEST_P(PaletteAtLevel, VectorMembersFollowEveryPaletteChange) {
    for (const int width : {644, 648, 700}) {
        IndexedScreen screen(width, 200);
        for (const int index : palettised) {
            const auto check = [&] {
                ASSERT_EQ(screen.vector(index), screen.expected(index)) << index << " " << width;
            };
            screen.state.dirty.assign(200, 1);
            check();
            check(); // below AVX-512 the kept palette now gets its two-pixel table
            // A few lines of the same palette, then whole frames and a few lines after changes of
            // the first pixel's colour: the kept tables must follow.
            screen.state.dirty.assign(200, 0);
            screen.state.dirty[0] = screen.state.dirty[199] = 1;
            check();
            screen.state.device_palette[screen.pixels[0]] ^= 0x10204;
            screen.state.dirty.assign(200, 1);
            check();
            screen.state.device_palette[screen.pixels[0]] ^= 0x80;
            screen.state.dirty.assign(200, 0);
            screen.state.dirty[0] = screen.state.dirty[199] = 1;
            check();
        }
    }
}

// The two-pixel table is built for a conversion whose dirty pixels pay for it, once the palette
// has stayed the same since the last conversion, and kept for the next one of the same palette
// and format; a palette or format change drops it, a conversion of a few lines does not build it.
TEST(PaletteTables, PairTableBuiltWhereItPaysAndDroppedOnChange) {
    limit_vector_level(vector_level_avx2);
    IndexedScreen screen(640, 200); // 128,000 pixels
    const auto ready = [&](int depth, bool swap) {
        return PaletteTableLease(screen.state, depth, swap).pairs(false) != nullptr;
    };
    screen.vector(13);
    EXPECT_FALSE(ready(16, true)) << "not on the conversion after a change";
    screen.vector(13);
    EXPECT_TRUE(ready(16, true));
    EXPECT_FALSE(ready(16, false)) << "another order, other pixels";
    EXPECT_FALSE(ready(16, true)) << "asking for another format replaced the tables";

    screen.state.dirty.assign(200, 0);
    screen.state.dirty[5] = 1;
    screen.vector(13);
    screen.vector(13);
    EXPECT_FALSE(ready(16, true)) << "one line does not pay for the table";
    screen.state.dirty.assign(200, 1);
    screen.vector(13);
    EXPECT_TRUE(ready(16, true));
    screen.state.device_palette[3] ^= 1;
    EXPECT_FALSE(ready(16, true)) << "a palette change drops the table";
    // A palette that changes before every conversion never gets one.
    for (int frame = 0; frame < 3; ++frame) {
        screen.state.device_palette[3] ^= 1;
        screen.vector(14);
    }
    EXPECT_FALSE(ready(24, true));
    screen.vector(14);
    EXPECT_TRUE(ready(24, true)) << "kept for one conversion, the palette earns its table";
    limit_vector_level(vector_level_highest);

    EXPECT_FALSE(pair_table_pays(119999));
    EXPECT_TRUE(pair_table_pays(120000));
}

} // namespace
