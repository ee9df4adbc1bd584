// The converter tables, the expansion tables of the 16-bit sources and the choice of a converter
// for a pair of formats.
#include <atomic>

#include "gfx/blit/convert.h"
#include "gfx/blit/convert_lines.h"

namespace zered {

namespace {

// A 5-bit field becomes the top 5 bits of its byte and the 6-bit green the top 6; the low bits
// stay zero. The index is the low byte of a pixel for expand16_low, its high byte for
// expand16_high. Green straddles the two bytes and lands in byte 1 for either order.
constexpr ExpandTables make_expand_tables(bool red_low) {
    ExpandTables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        if (red_low) {
            tables.expand16_low[i] = ((i & 0xE0) << 5) | ((i & 0x1F) << 19);
            tables.expand16_high[i] = ((i << 13) & 0xFFFF) | (i & 0xF8);
        } else {
            tables.expand16_low[i] = ((i & 0xE0) << 5) | ((i << 3) & 0xFF);
            tables.expand16_high[i] = ((i & 0xF8) << 16) | ((i << 13) & 0xFFFF);
        }
    }
    return tables;
}

// The expansion tables of both orders are constant data of the converters; select_converter
// only records which order the display it was last asked for wants. Only one screen is open at a
// time, and a driver selects on its starting thread before it converts anything.
constexpr ExpandTables expand_tables_of[2] = {make_expand_tables(false), make_expand_tables(true)};
std::atomic<bool> expand_red_low{false};

// Position of a display depth within a source group of the tables, or -1.
int display_index(int display_depth) {
    switch (display_depth) {
    case 15:
        return 0;
    case 16:
        return 1;
    case 24:
        return 2;
    case 32:
        return 3;
    default:
        return -1;
    }
}

} // namespace

const ExpandTables& expand_tables() {
    return expand_tables_of[expand_tables_red_low()];
}
bool expand_tables_red_low() {
    return expand_red_low.load(std::memory_order_relaxed);
}

const ConverterTable converter_table_plain = {
    convert_pal_to_15_rl, convert_pal_to_16_rl, convert_pal_to_24_rl, convert_pal_to_32_rl,
    convert_16_to_15_rl,  convert_16_to_16_rl,  convert_16_to_24,     convert_16_to_32,
    convert_32_to_15_rl,  convert_32_to_16_rl,  convert_32_to_24_rl,  convert_32_to_32_rl,
    convert_pal_to_15_bl, convert_pal_to_16_bl, convert_pal_to_24_bl, convert_pal_to_32_bl,
    convert_16_to_15_bl,  convert_copy,         convert_16_to_24,     convert_16_to_32,
    convert_32_to_15_bl,  convert_32_to_16_bl,  convert_32_to_24_bl,  convert_copy,
};

#if defined(__SSE2__)
const ConverterTable converter_table_mmx = {
    convert_pal_to_15_rl_mmx, convert_pal_to_16_rl_mmx, convert_pal_to_24_rl_mmx,
    convert_pal_to_32_rl_mmx, convert_16_to_15_rl_mmx,  convert_16_to_16_rl_mmx,
    convert_16_to_24_mmx,     convert_16_to_32_mmx,     convert_32_to_15_rl_mmx,
    convert_32_to_16_rl_mmx,  convert_32_to_24_rl_mmx,  convert_32_to_32_rl_mmx,
    convert_pal_to_15_bl_mmx, convert_pal_to_16_bl_mmx, convert_pal_to_24_bl_mmx,
    convert_pal_to_32_bl_mmx, convert_16_to_15_bl_mmx,  convert_copy,
    convert_16_to_24_mmx,     convert_16_to_32_mmx,     convert_32_to_15_bl_mmx,
    convert_32_to_16_bl_mmx,  convert_32_to_24_bl_mmx,  convert_copy,
};
#else
const ConverterTable converter_table_mmx = converter_table_plain;
#endif

ConvertFn select_converter(int display_depth, bool red_low) {
    const ScreenState* screen = current_screen();
    if (screen == nullptr) {
        return nullptr;
    }
    expand_red_low.store(red_low, std::memory_order_relaxed);

    const bool vector = (screen->flags & STATE_HAS_MMX) != 0 && screen->scanline_size == 1 &&
                        screen->width % 4 == 0;
    const ConverterTable& table = vector ? converter_table_mmx : converter_table_plain;
    const int order_base = red_low ? 0 : 12;

    int source_group;
    switch (screen->depth) {
    case 1:
    case 2:
    case 4:
    case 8:
        if (display_depth == 8) {
            return convert_copy;
        }
        source_group = 0;
        break;
    case 15:
    case 16:
        source_group = 1;
        break;
    case 24:
    case 32:
        source_group = 2;
        break;
    default:
        return nullptr;
    }
    const int display = display_index(display_depth);
    if (display < 0) {
        return nullptr;
    }
    return table[static_cast<std::size_t>(order_base + 4 * source_group + display)];
}

} // namespace zered
