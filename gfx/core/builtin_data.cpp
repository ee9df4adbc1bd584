#include "gfx/core/builtin_data.h"

#include <array>

namespace zered {

namespace {

// Layout of the unpacked area.
inline constexpr std::size_t font8_offset = 0;
inline constexpr std::size_t font14_offset = 2048;
inline constexpr std::size_t font16_offset = 5632;
inline constexpr std::size_t palette2_offset = 9728;
inline constexpr std::size_t palette16_offset = 9734;
inline constexpr std::size_t palette64_offset = 9782;
inline constexpr std::size_t palette256_offset = 9974;
static_assert(palette256_offset + 256 * 3 == builtin_area_size);

// Written once by unpack_builtin_data, read-only ever after; the tables point into it.
std::array<std::uint8_t, builtin_area_size> area{};
bool unpacked = false;
int decode_count = 0;

const std::array<FontDesc, builtin_font_count> fonts{{
    {8, 8, area.data() + font8_offset},
    {8, 14, area.data() + font14_offset},
    {8, 16, area.data() + font16_offset},
}};

const std::array<PaletteDesc, builtin_palette_count> palettes{{
    {2, area.data() + palette2_offset},
    {16, area.data() + palette16_offset},
    {64, area.data() + palette64_offset},
    {256, area.data() + palette256_offset},
}};

} // namespace

const FontDesc* builtin_font(int index) {
    return index >= 0 && index < builtin_font_count ? &fonts[static_cast<std::size_t>(index)]
                                                     : nullptr;
}

const PaletteDesc* builtin_palette(int index) {
    return index >= 0 && index < builtin_palette_count
               ? &palettes[static_cast<std::size_t>(index)]
               : nullptr;
}

const PaletteDesc* vga_palette() { return &palettes[3]; }

int font_for_height(int height) {
    switch (height) {
    case 8:
        return 0;
    case 14:
        return 1;
    case 16:
        return 2;
    default:
        return -1;
    }
}

void unpack_builtin_data() {
    if (unpacked) return;
    std::size_t capacity = area.size();
    // A damaged block leaves whatever was decoded; the data counts as unpacked all the same.
    (void)lzw_unpack(builtin_packed_block, builtin_packed_size, area.data(), &capacity);
    ++decode_count;
    unpacked = true;
}

int builtin_data_decode_count() { return decode_count; }

} // namespace zered
