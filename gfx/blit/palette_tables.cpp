// The palette-derived tables of the palettised vector members, kept for the last palette and
// display format they were asked for.
#include "gfx/blit/palette_tables.h"

#include <algorithm>
#include <memory>

#include "gfx/blit/convert_lines.h"

namespace zered {

namespace {

struct Cache {
    std::mutex mutex;
    bool valid = false;
    int depth = 0;
    bool swap = false;
    std::uint32_t palette[palette_size] = {}; // the palette the tables were made from
    PaletteTables tables = {};
    bool planes_valid = false;
    // Allocated on the first build and kept for the process's life, like the unpacked fonts.
    std::unique_ptr<std::uint8_t[]> pairs;
    bool pairs_valid = false;
};

Cache& cache() {
    static Cache c;
    return c;
}

template <int Depth, bool Swap> void fill_pixels(const std::uint32_t* palette, std::uint32_t* out) {
    for (int index = 0; index < palette_size; ++index) {
        out[index] = display_pixel<Depth, Swap>(palette[index]);
    }
}

void fill_pixels(int depth, bool swap, const std::uint32_t* palette, std::uint32_t* out) {
    using Fill = void (*)(const std::uint32_t*, std::uint32_t*);
    static constexpr Fill fills[2][4] = {
        {fill_pixels<15, false>, fill_pixels<16, false>, fill_pixels<24, false>,
         fill_pixels<32, false>},
        {fill_pixels<15, true>, fill_pixels<16, true>, fill_pixels<24, true>,
         fill_pixels<32, true>}};
    const int column = depth == 15 ? 0 : depth == 16 ? 1 : depth == 24 ? 2 : 3;
    fills[swap][column](palette, out);
}

// One row of the two-pixel table per second index: the entries of a row share its pixel in
// their high half.
template <int EntrySize, int Shift>
void build_pairs(const std::uint32_t* pixels, std::uint8_t* entries) {
    for (int b = 0; b < palette_size; ++b) {
        const std::uint64_t high = std::uint64_t{pixels[b]} << Shift;
        std::uint8_t* row = entries + b * palette_size * EntrySize;
        for (int a = 0; a < palette_size; ++a) {
            if constexpr (EntrySize == 4) {
                store32(row + 4 * a, static_cast<std::uint32_t>(pixels[a] | high));
            } else {
                store64(row + 8 * a, pixels[a] | high);
            }
        }
    }
}

} // namespace

PaletteTableLease::PaletteTableLease(const ScreenState& screen, int depth, bool swap)
    : lock_(cache().mutex) {
    Cache& c = cache();
    const std::uint32_t* palette = screen.device_palette.data();
    if (c.valid && c.depth == depth && c.swap == swap &&
        std::equal(palette, palette + palette_size, c.palette)) {
        return;
    }
    changed_ = true;
    std::copy(palette, palette + palette_size, c.palette);
    c.depth = depth;
    c.swap = swap;
    fill_pixels(depth, swap, palette, c.tables.pixels);
    c.valid = true;
    c.planes_valid = false;
    c.pairs_valid = false;
}

const PaletteTables& PaletteTableLease::tables() const {
    return cache().tables;
}

const PaletteTables& PaletteTableLease::tables_with_planes() {
    Cache& c = cache();
    if (!c.planes_valid) {
        for (int k = 0; k < 4; ++k) {
            for (int i = 0; i < palette_size; ++i) {
                c.tables.planes[k][i] = static_cast<std::uint8_t>(c.tables.pixels[i] >> (8 * k));
            }
        }
        c.planes_valid = true;
    }
    return c.tables;
}

const std::uint8_t* PaletteTableLease::pairs(bool build) {
    Cache& c = cache();
    if (!c.pairs_valid && build && !changed_) {
        if (c.pairs == nullptr) {
            c.pairs = std::make_unique<std::uint8_t[]>(pair_count * 8);
        }
        if (c.depth <= 16) {
            build_pairs<4, 16>(c.tables.pixels, c.pairs.get());
        } else if (c.depth == 24) {
            build_pairs<8, 24>(c.tables.pixels, c.pairs.get());
        } else {
            build_pairs<8, 32>(c.tables.pixels, c.pairs.get());
        }
        c.pairs_valid = true;
    }
    return c.pairs_valid ? c.pairs.get() : nullptr;
}

bool pair_table_pays(std::size_t dirty_pixels) {
    // Building takes 10 to 15 us here, which the table earns back over about 120,000 pixels of a
    // frame whose indices come in runs (see bench/README.md, "Palette changes").
    return dirty_pixels >= 120000;
}

} // namespace zered
