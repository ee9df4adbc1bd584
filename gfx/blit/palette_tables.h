// Tables the palettised vector members derive from the palette: the display pixel of every index,
// the same pixels split into byte planes, and the two-pixel table. They are kept between
// conversions and rebuilt only when the palette or the display format differs from the one they
// were made for, so a frame that only redraws pays nothing for them and a palette change pays
// once, on the next conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "gfx/core/screen_state.h"

namespace zered {

struct PaletteTables {
    // Display pixel of each index, in the display's format, unused high bytes zero.
    alignas(64) std::uint32_t pixels[palette_size];
    // Byte k of pixels[i] at planes[k][i]: the byte-permute members look up one plane at a time.
    alignas(64) std::uint8_t planes[4][palette_size];
};

// The two-pixel table has an entry for every pair of indices a, b as the little-endian word
// a | b << 8 reads them from the framebuffer: the display pixels of a and b, a's first, back to back
// in the low bytes of the entry. Entries are 32 bits for 15- and 16-bit displays (256 KiB) and 64
// bits for 24- and 32-bit ones (512 KiB; a 24-bit entry's top two bytes are zero).
inline constexpr std::size_t pair_count = 65536;

// Keeps the tables of the one open screen's palette and one display format. Only one conversion
// uses them at a time: a lease holds them (the driver thread converts while the program's thread
// waits for its lock anyway).
class PaletteTableLease {
  public:
    // Depth 15, 16, 24 or 32; swap: the display's order is the reverse of the palette's (blue-low).
    PaletteTableLease(const ScreenState& screen, int depth, bool swap);
    PaletteTableLease(const PaletteTableLease&) = delete;
    PaletteTableLease& operator=(const PaletteTableLease&) = delete;

    // The display pixels; the planes are filled only by tables_with_planes.
    const PaletteTables& tables() const;
    const PaletteTables& tables_with_planes();
    // The two-pixel table for these pixels, or nullptr when it is not ready and may not be built
    // now. It is built when build is true and the tables were not just made anew: a program that
    // changes its palette every frame never pays for it, one that keeps its palette pays once.
    const std::uint8_t* pairs(bool build);

  private:
    std::unique_lock<std::mutex> lock_;
    bool changed_ = false; // the palette or format differed from the last lease's
};

// Whether converting dirty_pixels pixels of a palettised framebuffer pays for building the
// two-pixel table. Once built it is as fast as single lookups on random indices and up to 1.75
// times as fast where indices repeat (measured).
bool pair_table_pays(std::size_t dirty_pixels);

} // namespace zered
