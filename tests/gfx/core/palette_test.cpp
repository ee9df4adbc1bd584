#include "gfx/core/palette.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "gfx/core/test_screen.h"

namespace {

using namespace zered;
using test::PaletteCall;
using test::TestScreen;

// Palettes of the built-in sizes with colours of our own (entry i is colour(i), 0x00BBGGRR): the
// built-in data is not needed to check how entries are picked.
template <int N> struct OwnPalette {
    std::array<std::uint8_t, 3 * N> rgb{};
    PaletteDesc desc{N, rgb.data()};
    explicit OwnPalette(std::uint32_t (*colour)(int)) {
        for (std::size_t i = 0; i < 3 * N; ++i)
            rgb[i] = static_cast<std::uint8_t>(colour(static_cast<int>(i / 3)) >> (8 * (i % 3)));
    }
};

std::uint32_t distinct(int i) {
    return (static_cast<std::uint32_t>(i) * 0x010305 + 0x102030) & 0xFFFFFF;
}
std::uint32_t ega64(int i) {
    const auto level = [i](int high, int low) {
        return (i >> high & 1) * 170 + (i >> low & 1) * 85;
    };
    return palette_pack(level(2, 5), level(1, 4), level(0, 3));
}

TEST(Palette, ResetShowsTheDefaultPaletteUnderTheLockAndRepaintsEverything) {
    OwnPalette<256> palette(distinct);
    TestScreen screen({.height = 12, .palette = &palette.desc});
    screen.clear_dirty();
    palette_set(-1, 0, 0, 0);
    EXPECT_EQ(screen.driver().locks, 1);
    EXPECT_EQ(screen.driver().unlocks, 1);
    EXPECT_EQ(screen.dirty_lines(), 12);
    ASSERT_EQ(screen.driver().palette_calls.size(), 256u);
    const std::uint32_t c = distinct(200);
    EXPECT_EQ(screen.driver().palette_calls[200],
              (PaletteCall{200, palette_red(c), palette_green(c), palette_blue(c), true}));
    EXPECT_EQ(screen->device_palette[255], distinct(255));
    EXPECT_EQ(screen->source_palette[255], distinct(255));
}

TEST(Palette, ShallowScreensShowOnlyTheirValuesThroughTheModesColourMaps) {
    OwnPalette<256> p256(distinct);
    OwnPalette<64> p64(ega64);
    OwnPalette<16> p16(distinct);
    { // 1 bit by pixel size: two values, the first two entries; the source has all 256.
        TestScreen screen({.depth = 1, .palette = &p256.desc});
        EXPECT_EQ(screen->device_palette[1], distinct(1));
        EXPECT_EQ(screen->device_palette[2], 0u);
        EXPECT_EQ(screen.driver().palette_calls.size(), 0u); // cleared after set-up
        EXPECT_EQ(screen->source_palette[255], distinct(255));
    }
    { // 16 colours through modes 7 and 8 as they are, through mode 9 to the 64 EGA colours.
        using Map = std::array<std::uint8_t, 16>;
        const Map identity{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
        const Map ega{0, 1, 2, 3, 4, 5, 20, 7, 56, 57, 58, 59, 60, 61, 62, 63};
        for (auto [mode, palette, map] : {std::tuple{7, &p16.desc, identity},
                                          {8, &p16.desc, identity}, {9, &p64.desc, ega}}) {
            TestScreen screen({.depth = 4, .mode_num = mode, .palette = palette});
            EXPECT_EQ(screen->colour_map, map) << mode;
            for (int v = 0; v < 16; ++v) {
                const std::uint32_t shown = mode == 9 ? ega64(map[static_cast<std::size_t>(v)])
                                                      : distinct(v);
                EXPECT_EQ(screen->device_palette[static_cast<std::size_t>(v)], shown) << v;
            }
        }
        EXPECT_EQ(ega64(20), palette_pack(170, 85, 0));
    }
    {
        TestScreen screen({.depth = 1, .mode_num = 2, .palette = &p16.desc});
        EXPECT_EQ(screen->device_palette[1], distinct(15));
        EXPECT_EQ(screen->device_palette[0], distinct(0));
    }
    { // Mode 1 has one colour set per reset index; -4 and anything below share the last.
        TestScreen screen({.depth = 2, .mode_num = 1, .palette = &p16.desc});
        const std::array<int, 5> indexes{-1, -2, -3, -4, -2147483647 - 1};
        const std::array<std::array<int, 4>, 5> sets{
            {{0, 11, 13, 15}, {0, 10, 12, 14}, {0, 3, 5, 7}, {0, 2, 4, 6}, {0, 2, 4, 6}}};
        for (std::size_t k = 0; k < sets.size(); ++k) {
            palette_set(indexes[k], 0, 0, 0);
            for (int v = 0; v <= 3; ++v) {
                EXPECT_EQ(screen->device_palette[v], distinct(sets[k][v])) << indexes[k];
                EXPECT_EQ(screen->colour_map[v], sets[k][v]);
            }
            EXPECT_EQ(screen->device_palette[4], 0u);
        }
    }
}

TEST(Palette, WithoutAScreenCallsDoNothing) {
    ASSERT_EQ(current_screen(), nullptr);
    palette_set(-1, 0, 0, 0);
    palette_set(3, 1, 2, 3);
    palette_set_rgb(3, 1, 2, 3);
    palette_set_value(3, 0x010203);
    palette_resend();
    EXPECT_EQ(current_screen(), nullptr);
}

TEST(Palette, DeepScreensIgnorePaletteCalls) {
    TestScreen screen({.depth = 16});
    palette_set(-1, 0, 0, 0);
    palette_set(3, 1, 2, 3);
    EXPECT_EQ(screen.driver().locks + screen.dirty_lines(), 0);
    EXPECT_EQ(screen->device_palette[3], 0u);
}

TEST(Palette, EntriesAreMaskedAndSixBitValuesWidened) {
    TestScreen screen({.height = 4}); // the built-in 256-colour palette
    palette_set(5, 0x3F003F, -1, -1);
    EXPECT_EQ(screen->device_palette[5], palette_pack(255, 0, 255));
    EXPECT_EQ(screen.driver().palette_calls.back(), (PaletteCall{5, 255, 0, 255, true}));
    EXPECT_EQ(screen.dirty_lines(), 4);
    palette_set(6, 0xFFE0C1, 0, -1); // the top two bits of each component are dropped
    EXPECT_EQ(screen->device_palette[6], palette_pack(4, 129, 255));
    palette_set(300, 10, 20, 30);
    EXPECT_EQ(screen->device_palette[44], palette_pack(10, 20, 30));
    EXPECT_EQ(screen.driver().unlocks, 3);
    palette_resend();
    ASSERT_EQ(screen.driver().palette_calls.size(), 3u + 256u);
    EXPECT_EQ(screen.driver().palette_calls.back(), (PaletteCall{255, 0, 0, 0, false}));
    EXPECT_EQ(screen.driver().palette_calls[3 + 44], (PaletteCall{44, 10, 20, 30, false}));
}

TEST(Palette, ValuesNameDefaultEntriesOnOtherPalettes) {
    OwnPalette<64> p64(ega64);
    TestScreen screen({.depth = 4, .mode_num = 9, .palette = &p64.desc});
    palette_set(6 + 64, 20 + 128, -1, -1);
    EXPECT_EQ(screen->colour_map[6], 20);
    EXPECT_EQ(screen->device_palette[6], ega64(20));
    // A value past the 16-entry map changes its colour and nothing else of the screen record.
    const auto record = [&] {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&screen.screen());
        return std::vector<unsigned char>(bytes, bytes + sizeof(ScreenState));
    };
    const auto before = record();
    palette_set(40, 5, -1, -1);
    EXPECT_EQ(screen->device_palette[40], ega64(5));
    screen->device_palette[40] = 0;
    EXPECT_EQ(record(), before);
}

TEST(Palette, EntriesAreMaskedToTheDefaultPalettesSize) {
    OwnPalette<16> p16(distinct);
    OwnPalette<64> p64(ega64);
    struct Case {
        const PaletteDesc* palette;
        int index, value; // value names a default entry
        int entry, named;
    };
    for (const Case& c :
         {Case{&p16.desc, 16 + 5, 16 + 7, 5, 7}, Case{&p16.desc, 255, 31, 15, 15},
          Case{&p64.desc, 64 + 9, 64 + 40, 9, 40}, Case{&p64.desc, 127, 100, 63, 36}}) {
        SCOPED_TRACE(c.index);
        TestScreen screen({.palette = c.palette}); // 8 bits: every entry is shown
        const auto before = screen->device_palette;
        palette_set(c.index, 1, 2, 3);
        EXPECT_EQ(screen->device_palette[static_cast<std::size_t>(c.entry)], palette_pack(1, 2, 3));
        palette_set(c.index, c.value, -1, -1);
        EXPECT_EQ(screen->device_palette[static_cast<std::size_t>(c.entry)],
                  screen->source_palette[static_cast<std::size_t>(c.named)]);
        auto after = screen->device_palette;
        after[static_cast<std::size_t>(c.entry)] = before[static_cast<std::size_t>(c.entry)];
        EXPECT_EQ(after, before) << "no other entry changed";
        if (c.entry < 16) {
            EXPECT_EQ(screen->colour_map[static_cast<std::size_t>(c.entry)], c.named);
        }
    }
}

TEST(Palette, ColourConversions) {
    EXPECT_EQ(colour_from_rgb(2, 0, 0xFF, 0x80, 0x08), 0xFC01u);
    EXPECT_EQ(colour_from_rgb(2, 0, 0x07, 0xFC, 0xFF), 0x07FFu) << "all six green bits";
    EXPECT_EQ(colour_from_rgb(4, 0x123456, 0xFF, 0xFF, 0xFF), 0x123456u);
    EXPECT_EQ(colour_to_depth(2, 0xAB00001F), 0x0003u);
    EXPECT_EQ(colour_to_depth(2, 0x00FF8008), 0xFC01u);
    EXPECT_EQ(colour_to_depth(1, 0x12345678), 0x78u);
    EXPECT_EQ(colour_to_depth(4, 0x12345678), 0x12345678u);
    // Each bit of 0xRRGGBB alone: only the top 5, 6 and 5 bits of the channels reach 5:6:5.
    for (int bit = 0; bit < 24; ++bit) {
        const std::uint32_t channel_bit = bit % 8, kept = bit < 8 ? 5 : bit < 16 ? 6 : 5;
        const std::uint32_t field = bit < 8 ? 0 : bit < 16 ? 5 : 11;
        const std::uint32_t expected =
            channel_bit >= 8 - kept ? 1u << (field + channel_bit - (8 - kept)) : 0;
        EXPECT_EQ(colour_to_depth(2, 1u << bit), expected) << "bit " << bit;
    }
}

} // namespace
