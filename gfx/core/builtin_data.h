// The built-in bitmap fonts and default palettes. They are kept packed and unpacked once, the
// first time a screen is set up, into one area that lives until the process ends.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zered {

// A bitmap font: 256 glyphs of height rows, (width + 7) / 8 bytes a row, rows top to bottom,
// bit 0 of a byte the leftmost pixel.
struct FontDesc {
    std::int32_t width;
    std::int32_t height;
    const std::uint8_t* data;
};

// A default palette: colours RGB triplets, one byte a component, 0 to 255.
struct PaletteDesc {
    std::int32_t colours;
    const std::uint8_t* rgb;
};

inline constexpr int builtin_font_count = 3;    // 8x8, 8x14, 8x16
inline constexpr int builtin_palette_count = 4; // 2, 16, 64, 256 colours
inline constexpr std::size_t builtin_area_size = 10742;

// Indexed 0 to 2 and 0 to 3. The data pointers are valid once unpack_builtin_data has run.
const FontDesc* builtin_font(int index);
const PaletteDesc* builtin_palette(int index);
// The 256-colour palette, which the palette operations treat specially.
const PaletteDesc* vga_palette();

// The font for a glyph height, or -1: heights 8, 14 and 16 have one.
int font_for_height(int height);

// Unpacks the packed block into the area; only the first call does any work.
void unpack_builtin_data();

// Decodes 12-bit LZW codes (two codes per three bytes, 4095 ends, no clear code). capacity is
// the destination's size in, the bytes written out. 0 when the end code was reached; -1 for a
// damaged block (a code beyond the dictionary, source used up, destination full). Never reads or
// writes outside the given buffers.
int lzw_unpack(const std::uint8_t* source, std::size_t source_length, std::uint8_t* destination,
               std::size_t* capacity);

} // namespace zered
