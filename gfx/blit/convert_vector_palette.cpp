// The palettised vector members. The palette's display pixels come from the kept palette tables;
// each line is then looked up in one of three ways, the fastest the processor and the frame allow:
// - byte permutes over the palette's planes, 64 pixels a step (AVX-512 VBMI);
// - the two-pixel table, one load for two pixels, where it is ready for this palette or the dirty
//   pixels of a palette kept since the last conversion pay for building it;
// - one load per pixel from the 256-entry table, eight indices fetched at a time. Storing each
//   pixel on its own beats assembling wider words: the loads and stores then overlap.
#include <algorithm>

#include "gfx/blit/convert.h"
#include "gfx/blit/palette_lines.h"
#include "gfx/blit/palette_tables.h"
#include "gfx/core/block_ops.h"

#if defined(__SSE2__)

namespace zered {

namespace {

template <int Depth>
void single_line(std::uint8_t* out, const std::uint8_t* in, int width, const LineInput& input) {
    const std::uint32_t* table = input.palette;
    constexpr int size = Depth == 15 ? 2 : Depth / 8;
    // A 24-bit pixel goes out as a 32-bit word whose fourth byte the next pixel overwrites, so
    // the grouped loop stops while at least one pixel follows it.
    const int end = size == 3 ? width - 1 : width;
    int i = 0;
    for (; i + 8 <= end; i += 8) {
        const std::uint64_t indices = load64(in + i);
        for (int k = 0; k < 8; ++k) {
            const std::uint32_t pixel = table[(indices >> (8 * k)) & 0xFF];
            if constexpr (size == 2) {
                store16(out + 2 * (i + k), pixel);
            } else {
                store32(out + size * (i + k), pixel);
            }
        }
    }
    lookup_palette_line<Depth>(out + i * size, in + i, width - i, input);
}

// Two pixels a load: the entry of the word that two indices make (see palette_tables.h).
template <int Depth>
void pair_line(std::uint8_t* out, const std::uint8_t* in, int width, const LineInput& input) {
    const std::uint8_t* pairs = input.pairs;
    constexpr int size = Depth == 15 ? 2 : Depth / 8;
    // A 24-bit pair goes out as 8 bytes whose last two the next pair overwrites, so the grouped
    // loop stops while at least one pixel follows it.
    const int end = size == 3 ? width - 1 : width;
    int i = 0;
    for (; i + 8 <= end; i += 8) {
        const std::uint64_t indices = load64(in + i);
        for (int k = 0; k < 4; ++k) {
            const std::size_t pair = (indices >> (16 * k)) & 0xFFFF;
            if constexpr (size == 2) {
                store32(out + 2 * i + 4 * k, load32(pairs + 4 * pair));
            } else {
                store64(out + size * (i + 2 * k), load64(pairs + 8 * pair));
            }
        }
    }
    lookup_palette_line<Depth>(out + i * size, in + i, width - i, input);
}

std::size_t dirty_pixels(const ScreenState& screen) {
    const auto lines = std::min(static_cast<std::size_t>(std::max(screen.height, 0)),
                                screen.dirty.size());
    const auto dirty = std::count_if(screen.dirty.begin(),
                                     screen.dirty.begin() + static_cast<std::ptrdiff_t>(lines),
                                     [](std::uint8_t flag) { return flag != 0; });
    return static_cast<std::size_t>(dirty) * static_cast<std::size_t>(std::max(screen.width, 0));
}

template <int Depth, bool Swap>
void run_palette(void* destination, std::int32_t destination_pitch) {
    const ScreenState* screen = current_screen();
    if (screen == nullptr) {
        return;
    }
    PaletteTableLease lease(*screen, Depth, Swap);
    LineInput input = line_input(*screen);
    input.palette = lease.tables().pixels;
    LineFn line = single_line<Depth>;
    if (vector_level() >= vector_level_avx512) {
        input.palette_tables = &lease.tables_with_planes();
        line = permute_palette_line(Depth);
    } else {
        input.pairs = lease.pairs(false);
        if (input.pairs == nullptr && pair_table_pays(dirty_pixels(*screen))) {
            input.pairs = lease.pairs(true);
        }
        if (input.pairs != nullptr) {
            line = pair_line<Depth>;
        }
    }
    convert_dirty_lines(*screen, destination, destination_pitch, line, input);
}

} // namespace

void convert_pal_to_15_rl_mmx(void* d, std::int32_t p) {
    run_palette<15, false>(d, p);
}
void convert_pal_to_16_rl_mmx(void* d, std::int32_t p) {
    run_palette<16, false>(d, p);
}
void convert_pal_to_24_rl_mmx(void* d, std::int32_t p) {
    run_palette<24, false>(d, p);
}
void convert_pal_to_32_rl_mmx(void* d, std::int32_t p) {
    run_palette<32, false>(d, p);
}
void convert_pal_to_15_bl_mmx(void* d, std::int32_t p) {
    run_palette<15, true>(d, p);
}
void convert_pal_to_16_bl_mmx(void* d, std::int32_t p) {
    run_palette<16, true>(d, p);
}
void convert_pal_to_24_bl_mmx(void* d, std::int32_t p) {
    run_palette<24, true>(d, p);
}
void convert_pal_to_32_bl_mmx(void* d, std::int32_t p) {
    run_palette<32, true>(d, p);
}

} // namespace zered

#endif
