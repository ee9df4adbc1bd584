#include "gfx/core/builtin_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace zered {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Packs 12-bit codes two to three bytes; a lone last code takes two bytes.
Bytes pack(const std::vector<unsigned>& codes) {
    Bytes out;
    for (std::size_t i = 0; i < codes.size(); i += 2) {
        const unsigned first = codes[i];
        const unsigned second = i + 1 < codes.size() ? codes[i + 1] : 0;
        out.push_back(static_cast<std::uint8_t>(first));
        out.push_back(static_cast<std::uint8_t>(first >> 8 | (second & 0x0F) << 4));
        if (i + 1 < codes.size()) out.push_back(static_cast<std::uint8_t>(second >> 4));
    }
    return out;
}

struct Decoded {
    int result;
    std::size_t written;
    Bytes bytes;
};

// Decodes from a heap copy of exactly length bytes into a heap buffer of exactly capacity bytes,
// so that ASan sees any read or write past either. The buffer starts out as a pattern the area
// does not have, so that bytes claimed but not written show.
Decoded unpack(const std::uint8_t* source, std::size_t length, std::size_t capacity) {
    auto copy = std::make_unique<std::uint8_t[]>(length);
    if (length) std::memcpy(copy.get(), source, length);
    auto buffer = std::make_unique<std::uint8_t[]>(capacity);
    if (capacity) std::memset(buffer.get(), 0xA5, capacity);
    std::size_t written = capacity;
    const int result = lzw_unpack(copy.get(), length, buffer.get(), &written);
    EXPECT_LE(written, capacity);
    return {result, written, Bytes(buffer.get(), buffer.get() + std::min(written, capacity))};
}

Decoded unpack(const Bytes& block, std::size_t capacity) {
    return unpack(block.data(), block.size(), capacity);
}

Bytes builtin_block() {
    return Bytes(builtin_packed_block, builtin_packed_block + builtin_packed_size);
}

TEST(BuiltinData, BlockEndsOnTheEndCodeAfterTheWholeArea) {
    const Decoded roomy = unpack(builtin_block(), builtin_area_size + 100);
    EXPECT_EQ(roomy.result, 0);
    EXPECT_EQ(roomy.written, builtin_area_size);

    const Decoded exact = unpack(builtin_block(), builtin_area_size);
    EXPECT_EQ(exact.result, 0);
    EXPECT_EQ(exact.bytes, roomy.bytes);
}

TEST(BuiltinData, FontsHoldCodePage437Glyphs) {
    unpack_builtin_data();
    const std::array<std::vector<std::uint8_t>, 3> capital_a{{
        {0x0C, 0x1E, 0x33, 0x33, 0x3F, 0x33, 0x33, 0x00},
        {0x00, 0x00, 0x08, 0x1C, 0x36, 0x63, 0x63, 0x7F, 0x63, 0x63, 0x63, 0x00, 0x00, 0x00},
        {0x00, 0x00, 0x08, 0x1C, 0x36, 0x63, 0x63, 0x7F, 0x63, 0x63, 0x63, 0x63, 0x00, 0x00,
         0x00, 0x00},
    }};
    const std::uint8_t* const area = builtin_font(0)->data;
    const std::array<std::ptrdiff_t, 3> offsets{0, 2048, 5632};
    for (int f = 0; f < builtin_font_count; ++f) {
        SCOPED_TRACE("font " + std::to_string(f));
        const FontDesc* font = builtin_font(f);
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(font->width, 8);
        ASSERT_EQ(static_cast<std::size_t>(font->height), capital_a[f].size());
        EXPECT_EQ(font->data - area, offsets[f]);
        EXPECT_EQ(font_for_height(font->height), f);

        const auto glyph = [&](int g) {
            const std::uint8_t* rows = font->data + g * font->height;
            return Bytes(rows, rows + font->height);
        };
        EXPECT_EQ(glyph(65), capital_a[f]);
        EXPECT_EQ(glyph(219), Bytes(capital_a[f].size(), 0xFF));
        EXPECT_NE(glyph(1), Bytes(capital_a[f].size(), 0x00)) << "the face is blank";
        for (const int blank : {0, 32, 255}) // NUL, space and no-break space: empty cells
            EXPECT_EQ(glyph(blank), Bytes(capital_a[f].size(), 0x00)) << "glyph " << blank;
    }
    EXPECT_EQ(builtin_font(3), nullptr);
    EXPECT_EQ(builtin_font(-1), nullptr);
    EXPECT_EQ(font_for_height(12), -1);
    EXPECT_EQ(font_for_height(9), -1);
}

TEST(BuiltinData, PalettesHoldTheDefaultColours) {
    unpack_builtin_data();
    const std::array<int, 4> sizes{2, 16, 64, 256};
    for (int p = 0; p < builtin_palette_count; ++p) EXPECT_EQ(builtin_palette(p)->colours, sizes[p]);
    EXPECT_EQ(builtin_palette(4), nullptr);
    EXPECT_EQ(vga_palette(), builtin_palette(3));
    // The area ends with the palettes, back to back.
    EXPECT_EQ(builtin_palette(3)->rgb + 768, builtin_font(0)->data + builtin_area_size);

    const auto rgb = [](int palette, int entry) {
        const std::uint8_t* c = builtin_palette(palette)->rgb + entry * 3;
        return std::array<int, 3>{c[0], c[1], c[2]};
    };
    using C = std::array<int, 3>;
    EXPECT_EQ(rgb(0, 1), (C{255, 255, 255}));
    EXPECT_EQ(rgb(1, 6), (C{170, 85, 0}));
    EXPECT_EQ(rgb(1, 9), (C{85, 85, 255}));
    EXPECT_EQ(rgb(2, 20), (C{170, 85, 0}));
    EXPECT_EQ(rgb(2, 43), (C{85, 170, 255}));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(rgb(3, i), rgb(1, i)) << i;
    EXPECT_EQ(rgb(3, 16), (C{0, 0, 0}));
    EXPECT_EQ(rgb(3, 23), (C{97, 97, 97}));
    EXPECT_EQ(rgb(3, 31), (C{255, 255, 255}));
    // One entry of each of the nine hue runs, at a different place in the circle each time.
    EXPECT_EQ(rgb(3, 32), (C{0, 0, 255}));
    EXPECT_EQ(rgb(3, 60), (C{255, 125, 255}));
    EXPECT_EQ(rgb(3, 89), (C{255, 198, 182}));
    EXPECT_EQ(rgb(3, 117), (C{85, 113, 0}));
    EXPECT_EQ(rgb(3, 145), (C{56, 113, 68}));
    EXPECT_EQ(rgb(3, 174), (C{80, 97, 113}));
    EXPECT_EQ(rgb(3, 182), (C{64, 0, 32}));
    EXPECT_EQ(rgb(3, 211), (C{64, 56, 32}));
    EXPECT_EQ(rgb(3, 247), (C{44, 48, 64}));
    EXPECT_EQ(rgb(3, 248), (C{0, 0, 0}));
    EXPECT_EQ(rgb(3, 255), (C{0, 0, 0}));
    // Every component is a 6-bit DAC value widened to 8 bits.
    for (int i = 0; i < 768; ++i) {
        const int c = builtin_palette(3)->rgb[i];
        EXPECT_EQ(c, (c * 63 + 127) / 255 * 255 / 63) << "component " << i;
    }
}

TEST(BuiltinData, UnpacksOnlyOnce) {
    unpack_builtin_data();
    const std::uint8_t* data = builtin_font(0)->data;
    const Bytes before(data, data + builtin_area_size);
    unpack_builtin_data();
    EXPECT_EQ(builtin_data_decode_count(), 1);
    EXPECT_EQ(builtin_font(0)->data, data);
    EXPECT_EQ(Bytes(data, data + builtin_area_size), before);
}

TEST(LzwUnpack, CodeAboutToBeDefinedRepeatsThePreviousStringsFirstByte) {
    // "a", then 256 before it exists: "a" + "a".
    EXPECT_EQ(unpack(pack({'a', 256, 4095}), 16).bytes, Bytes({'a', 'a', 'a'}));
    // a b ab(256) then 258, the code the reader is about to define: "ab" + "a".
    const Decoded d = unpack(pack({'a', 'b', 256, 258, 4095}), 16);
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()), "abababa");
    // A destination that ends inside a string gets as much of it as fits, first byte included.
    for (std::size_t room = 1; room < 7; ++room) {
        const Decoded cut = unpack(pack({'a', 'b', 256, 258, 4095}), room);
        EXPECT_EQ(cut.result, -1);
        EXPECT_EQ(std::string(cut.bytes.begin(), cut.bytes.end()), std::string("abababa", room));
    }
    // An end code first is an empty block.
    EXPECT_EQ(unpack(pack({4095}), 4).result, 0);
    EXPECT_EQ(unpack(pack({4095}), 4).written, 0u);
}

TEST(LzwUnpack, FullDictionaryKeepsCode4094AndDefinesNoMore) {
    // Each code is the one about to be defined, so code c stands for c - 254 bytes of 'a'; the
    // last, 4094, is the longest string the dictionary can hold.
    std::vector<unsigned> codes{'a'};
    std::size_t total = 1;
    for (unsigned c = 256; c <= 4094; ++c) {
        codes.push_back(c);
        total += c - 254;
    }
    codes.push_back(4094);
    codes.push_back(4095);
    const Bytes block = pack(codes);
    const std::size_t expected = total + 3840;

    const Decoded d = unpack(block, expected);
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.written, expected);
    EXPECT_EQ(d.bytes, Bytes(expected, 'a'));

    const Decoded short_by_one = unpack(block, expected - 1);
    EXPECT_EQ(short_by_one.result, -1);
    EXPECT_EQ(short_by_one.written, expected - 1);
}

TEST(LzwUnpack, DamagedBlocksStopWithinBounds) {
    // A code beyond the next free code, also as the first code.
    EXPECT_EQ(unpack(pack({'a', 257, 4095}), 16).result, -1);
    EXPECT_EQ(unpack(pack({'a', 257, 4095}), 16).written, 1u);
    EXPECT_EQ(unpack(pack({256, 4095}), 16).result, -1);
    EXPECT_EQ(unpack(pack({'a', 4095}), 0).result, -1);
    EXPECT_EQ(lzw_unpack(builtin_packed_block, builtin_packed_size, nullptr, nullptr), -1);

    const Bytes block = builtin_block();
    const Bytes area = unpack(block, builtin_area_size).bytes;
    const auto is_prefix = [&](const Bytes& b) {
        return std::equal(b.begin(), b.end(), area.begin());
    };

    // Every truncation, including a cut inside a three-byte pair, runs out of source; what was
    // written is the start of the area, and grows with the source.
    std::size_t before = 0;
    for (std::size_t length = 0; length < block.size(); length += 1 + length / 512) {
        const Decoded d = unpack(block.data(), length, builtin_area_size);
        ASSERT_EQ(d.result, -1) << "length " << length;
        ASSERT_TRUE(is_prefix(d.bytes)) << "length " << length;
        ASSERT_GE(d.written, length < 3 ? 0u : std::max<std::size_t>(before, 1)) << length;
        before = d.written;
    }
    // Too small a destination.
    const Decoded small = unpack(block, builtin_area_size - 1);
    EXPECT_EQ(small.result, -1);
    EXPECT_EQ(small.written, builtin_area_size - 1);
    EXPECT_TRUE(is_prefix(small.bytes));

    // A code midway replaced by one the dictionary cannot hold yet.
    Bytes corrupt = block;
    corrupt[3000] = 0xFE;
    corrupt[3001] = static_cast<std::uint8_t>((corrupt[3001] & 0xF0) | 0x0F);
    const Decoded d = unpack(corrupt, builtin_area_size);
    EXPECT_EQ(d.result, -1);
    EXPECT_GT(d.written, 0u);
    EXPECT_TRUE(is_prefix(d.bytes));

    // Random blocks and random damage to the real one: any result, never out of bounds.
    std::mt19937 random(20240607);
    for (int round = 0; round < 3000; ++round) {
        Bytes noise(random() % 700);
        for (auto& b : noise) b = static_cast<std::uint8_t>(random());
        const Decoded n = unpack(noise, random() % 3000);
        ASSERT_TRUE(n.result == 0 || n.result == -1);

        Bytes damaged = block;
        for (int k = 0; k < 3; ++k) damaged[random() % damaged.size()] ^= 1u << (random() % 8);
        const Decoded m = unpack(damaged, builtin_area_size);
        ASSERT_TRUE(m.result == 0 || m.result == -1);
    }
}

} // namespace
} // namespace zered
