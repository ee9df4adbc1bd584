// Line converters of the palettised vector members. Every one reads the display pixels of
// input.palette (a table of palette_tables.h), so they differ only in how they fetch them.
#pragma once

#include "gfx/blit/convert_lines.h"

namespace zered {

// Pixel by pixel from the 256-entry table: the reference the others must equal, and their tail.
template <int Depth>
void lookup_palette_line(std::uint8_t* out, const std::uint8_t* in, int width,
                         const LineInput& input) {
    const std::uint32_t* pixels = input.palette;
    store_pixels<Depth>(out, width, [=](int i) { return pixels[in[i]]; });
}

// Sixty-four pixels a step by byte permutes over the planes of input.palette_tables (AVX-512
// VBMI); the line for display depth 15, 16, 24 or 32. Only for processors at vector_level_avx512.
LineFn permute_palette_line(int depth);

} // namespace zered
