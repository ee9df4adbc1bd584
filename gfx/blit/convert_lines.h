// Inside the converters: the walk over dirty lines, the per-pixel formulas and the plain line
// converters that the vector members fall back on for the last pixels of a line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "gfx/core/screen_state.h"

namespace zered {

// The two 256-entry tables that turn a 16-bit 5:6:5 pixel Q into a 32-bit colour of the display's
// order: expand16_low[Q & 0xFF] | expand16_high[Q >> 8]. Fields keep their top bits, the low bits
// are zero, byte 3 is zero.
struct ExpandTables {
    std::array<std::uint32_t, 256> expand16_low;
    std::array<std::uint32_t, 256> expand16_high;
};
static_assert(sizeof(ExpandTables) == 2048);

struct PaletteTables;

// What a line converter reads besides the source pixels.
struct LineInput {
    const std::uint32_t* palette; // device_palette, or a table of display pixels built from it
    const ExpandTables* expand;   // the expansion tables of the order last selected
    bool expand_red_low;          // that order
    std::int32_t line_bytes;      // the framebuffer's pitch
    // Palettised vector members only: the tables of palette_tables.h, and the two-pixel table
    // when it is used (else nullptr).
    const PaletteTables* palette_tables = nullptr;
    const std::uint8_t* pairs = nullptr;
};

// Converts width pixels of one framebuffer line into one display line.
using LineFn = void (*)(std::uint8_t* destination, const std::uint8_t* source, int width,
                        const LineInput& input);

// The expansion tables of the order select_converter was last asked for (blue-low before the
// first call), and that order.
const ExpandTables& expand_tables();
bool expand_tables_red_low();

// What every member needs from the open screen to run fn over its dirty lines.
LineInput line_input(const ScreenState& screen);
// Runs fn for every display line d below height * scanline_size whose framebuffer line
// d / scanline_size is dirty. Nothing happens for an empty screen.
void convert_dirty_lines(const ScreenState& screen, void* destination,
                         std::int32_t destination_pitch, LineFn fn, const LineInput& input);
// The common member body: the open screen, if any, with its own input.
void convert_open_screen(void* destination, std::int32_t destination_pitch, LineFn fn);

// Unaligned little-endian access to pixel memory.
inline std::uint32_t load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline std::uint32_t load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store16(std::uint8_t* p, std::uint32_t v) {
    const auto w = static_cast<std::uint16_t>(v);
    std::memcpy(p, &w, sizeof w);
}
inline void store32(std::uint8_t* p, std::uint32_t v) {
    std::memcpy(p, &v, sizeof v);
}
inline void store64(std::uint8_t* p, std::uint64_t v) {
    std::memcpy(p, &v, sizeof v);
}

// Colour words: three 8-bit channels in bytes 0 to 2; byte 3 is ignored. A palette entry is a
// colour word with red in byte 0, a 32-bit framebuffer pixel one with blue in byte 0. Packing
// keeps byte 0 in the lowest field; a display of the other order wants the outer bytes swapped.
constexpr std::uint32_t swap_outer(std::uint32_t w) {
    return (w & 0xFF00) | ((w & 0xFF) << 16) | ((w >> 16) & 0xFF);
}
constexpr std::uint32_t pack_555(std::uint32_t w) {
    return ((w >> 3) & 0x1F) | ((w >> 6) & 0x3E0) | ((w >> 9) & 0x7C00);
}
constexpr std::uint32_t pack_565(std::uint32_t w) {
    return ((w >> 3) & 0x1F) | ((w >> 5) & 0x7E0) | ((w >> 8) & 0xF800);
}
// The display pixel of a colour word, for display depth 15, 16, 24 or 32.
template <int Depth, bool Swap> constexpr std::uint32_t display_pixel(std::uint32_t w) {
    static_assert(Depth == 15 || Depth == 16 || Depth == 24 || Depth == 32, "a display depth");
    if constexpr (Swap) {
        w = swap_outer(w);
    }
    if constexpr (Depth == 15) {
        return pack_555(w);
    } else if constexpr (Depth == 16) {
        return pack_565(w);
    } else {
        return w & 0xFFFFFF;
    }
}

// 5:6:5 framebuffer pixels to the 15- and 16-bit displays that differ from them.
constexpr std::uint32_t rgb16_to_15_bl(std::uint32_t q) {
    return ((q >> 1) & 0x7FE0) | (q & 0x1F);
}
constexpr std::uint32_t rgb16_to_15_rl(std::uint32_t q) {
    return ((q & 0x1F) << 10) | ((q >> 1) & 0x3E0) | (q >> 11);
}
constexpr std::uint32_t rgb16_to_16_rl(std::uint32_t q) {
    return ((q & 0x1F) << 11) | (q & 0x7E0) | (q >> 11);
}
inline std::uint32_t rgb16_expand(std::uint32_t q, const ExpandTables& tables) {
    return tables.expand16_low[q & 0xFF] | tables.expand16_high[q >> 8];
}

// Stores width display pixels, pixel(i) giving pixel i in the display's format (Depth 15 and 16
// take 2 bytes, 24 three, 32 four). Groups of four pixels go out in whole words; the pixels after
// the last group one at a time, so nothing beyond the line is written.
template <int Depth, class Pixel>
inline void store_pixels(std::uint8_t* out, int width, const Pixel& pixel) {
    static_assert(Depth == 15 || Depth == 16 || Depth == 24 || Depth == 32, "a display depth");
    int i = 0;
    for (; i + 4 <= width; i += 4) {
        const std::uint64_t p0 = pixel(i), p1 = pixel(i + 1), p2 = pixel(i + 2), p3 = pixel(i + 3);
        if constexpr (Depth == 15 || Depth == 16) {
            store64(out + 2 * i, p0 | p1 << 16 | p2 << 32 | p3 << 48);
        } else if constexpr (Depth == 24) {
            std::uint8_t* o = out + 3 * i;
            store32(o, static_cast<std::uint32_t>(p0 | p1 << 24));
            store32(o + 4, static_cast<std::uint32_t>(p1 >> 8 | p2 << 16));
            store32(o + 8, static_cast<std::uint32_t>(p2 >> 16 | p3 << 8));
        } else {
            store64(out + 4 * i, p0 | p1 << 32);
            store64(out + 4 * i + 8, p2 | p3 << 32);
        }
    }
    for (; i < width; ++i) {
        const std::uint32_t p = pixel(i);
        if constexpr (Depth == 15 || Depth == 16) {
            store16(out + 2 * i, p);
        } else if constexpr (Depth == 24) {
            out[3 * i] = static_cast<std::uint8_t>(p);
            out[3 * i + 1] = static_cast<std::uint8_t>(p >> 8);
            out[3 * i + 2] = static_cast<std::uint8_t>(p >> 16);
        } else {
            store32(out + 4 * i, p);
        }
    }
}

// Plain line converters, one per family.
template <int Depth, bool Swap>
void palette_line(std::uint8_t* out, const std::uint8_t* in, int width, const LineInput& input) {
    const std::uint32_t* palette = input.palette;
    store_pixels<Depth>(out, width,
                        [=](int i) { return display_pixel<Depth, Swap>(palette[in[i]]); });
}
template <int Depth, bool Swap>
void rgb32_line(std::uint8_t* out, const std::uint8_t* in, int width, const LineInput&) {
    store_pixels<Depth>(out, width,
                        [=](int i) { return display_pixel<Depth, Swap>(load32(in + 4 * i)); });
}
template <std::uint32_t (*Convert)(std::uint32_t)>
void rgb16_line(std::uint8_t* out, const std::uint8_t* in, int width, const LineInput&) {
    store_pixels<16>(out, width, [=](int i) { return Convert(load16(in + 2 * i)); });
}
template <int Depth>
void rgb16_expand_line(std::uint8_t* out, const std::uint8_t* in, int width,
                       const LineInput& input) {
    const ExpandTables& tables = *input.expand;
    store_pixels<Depth>(out, width,
                        [&](int i) { return rgb16_expand(load16(in + 2 * i), tables); });
}

} // namespace zered
