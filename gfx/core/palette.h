// The palette of the open screen (depths 1 to 8) and the colour conversions.
//
// Palette entries are 0x00BBGGRR: red in the low byte, each component 0 to 255. device_palette
// holds the colour shown for each pixel value and every change of it reaches the driver's
// set_palette; source_palette holds the default palette's colours; colour_map, on numbered modes
// that have one, the default-palette entry each pixel value shows.
#pragma once

#include <cstdint>

#include "gfx/core/screen_state.h"

namespace zered {

constexpr std::uint32_t palette_pack(int red, int green, int blue) {
    return (static_cast<std::uint32_t>(red) & 0xFF) |
           (static_cast<std::uint32_t>(green) & 0xFF) << 8 |
           (static_cast<std::uint32_t>(blue) & 0xFF) << 16;
}
constexpr int palette_red(std::uint32_t entry) {
    return static_cast<int>(entry & 0xFF);
}
constexpr int palette_green(std::uint32_t entry) {
    return static_cast<int>((entry >> 8) & 0xFF);
}
constexpr int palette_blue(std::uint32_t entry) {
    return static_cast<int>((entry >> 16) & 0xFF);
}

// Without a screen, or on one deeper than 8 bits, nothing. Otherwise under screen_lock, and
// marking every line dirty afterwards:
// - index < 0 resets the palette: source_palette takes the default palette's colours and every
//   pixel value below 2^depth shows its default entry, or on modes 1, 2, 7, 8 and 9 the entry of
//   the mode's colour map (mode 1 has four: index -1, -2, -3, and -4 or below);
// - index >= 0 with green or blue negative is palette_set_value(index, colour);
// - otherwise palette_set_rgb(index, colour, green, blue), colour being the red component.
void palette_set(int index, int colour, int green, int blue);

// The mask that brings a pixel value or entry number into the screen's default palette: its
// colour count minus 1, 255 without a default palette.
int entry_mask(const ScreenState& screen);

// Sets the colour pixel value v shows, v masked with the default palette's entry count minus 1
// (255 without a default palette), and tells the driver. No lock and no dirty marking of its
// own.
void palette_set_rgb(int value, int red, int green, int blue);

// Sets pixel value v (masked as above) from a packed value. On a screen whose default palette is
// the built-in 256-colour one the value holds three 6-bit components (red in bits 0-5, green
// 8-13, blue 16-21), each scaled to 0-255 by * 255 / 63 rounding down. Otherwise it names a
// default-palette entry e (masked likewise): v shows source_palette[e], and colour_map[v] = e for
// the 16 values that the map has.
void palette_set_value(int value, std::uint32_t packed);

// Sends all 256 device_palette entries to the driver's set_palette, in order; for a display that
// lost its palette (a switch between window and full screen).
void palette_resend();

// Stores entry as the colour of pixel value (0 to 255) and, if the driver has set_palette, sends
// it. The building block of every palette change; the caller holds screen_lock.
void palette_store(ScreenState& screen, int value, std::uint32_t entry);

// The colour for the context: at 2 bytes per pixel the 5-6-5 pixel of red, green and blue (0 to
// 255); at any other size colour unchanged.
std::uint32_t colour_from_rgb(int bytes_per_pixel, std::uint32_t colour, int red, int green,
                              int blue);

// A colour 0x00RRGGBB in a pixel size: 5-6-5 at 2 bytes per pixel; then the low 8 bits are kept
// at 1 byte, the low 16 at 2, all 32 at 4.
std::uint32_t colour_to_depth(int bytes_per_pixel, std::uint32_t colour);

} // namespace zered
