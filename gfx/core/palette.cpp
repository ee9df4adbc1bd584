#include "gfx/core/palette.h"

#include <algorithm>
#include <array>
#include <span>

#include "gfx/core/builtin_data.h"
#include "gfx/core/display_driver.h"
#include "gfx/core/framebuffer.h"

namespace zered {

namespace {

// The default-palette entries that numbered modes show for their pixel values.
constexpr std::array<std::array<std::uint8_t, 4>, 4> mode1_maps{{
    {0, 11, 13, 15}, // index -1
    {0, 10, 12, 14}, // index -2
    {0, 3, 5, 7},    // index -3
    {0, 2, 4, 6},    // index -4 and below
}};
constexpr std::array<std::uint8_t, 2> mode2_map{0, 15};
constexpr std::array<std::uint8_t, 16> identity_map{0, 1, 2,  3,  4,  5,  6,  7,
                                                    8, 9, 10, 11, 12, 13, 14, 15};
constexpr std::array<std::uint8_t, 16> mode9_map{0,  1,  2,  3,  4,  5,  20, 7,
                                                 56, 57, 58, 59, 60, 61, 62, 63};

std::span<const std::uint8_t> colour_map_for(int mode, int index) {
    switch (mode) {
    case 1:
        return mode1_maps[index <= -4 ? 3 : static_cast<std::size_t>(-index - 1)];
    case 2:
        return mode2_map;
    case 7:
    case 8:
        return identity_map;
    case 9:
        return mode9_map;
    default:
        return {};
    }
}

int default_colours(const ScreenState& screen) {
    return screen.default_palette ? std::clamp(screen.default_palette->colours, 0, palette_size)
                                  : 0;
}

std::uint32_t default_entry(const PaletteDesc& palette, int entry) {
    const std::uint8_t* rgb = palette.rgb + 3 * entry;
    return palette_pack(rgb[0], rgb[1], rgb[2]);
}

void palette_reset(ScreenState& screen, int index) {
    const std::span<const std::uint8_t> map = colour_map_for(screen.mode_num, index);
    const int colours = default_colours(screen);
    const int shown = 1 << screen.depth;
    for (int i = 0; i < colours; ++i) {
        screen.source_palette[static_cast<std::size_t>(i)] =
            default_entry(*screen.default_palette, i);
        if (i >= shown) continue;
        int entry = i;
        if (static_cast<std::size_t>(i) < map.size() &&
            map[static_cast<std::size_t>(i)] < colours) {
            entry = map[static_cast<std::size_t>(i)];
            screen.colour_map[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(entry);
        }
        palette_store(screen, i, default_entry(*screen.default_palette, entry));
    }
}

// The 6-bit component c as 0-255.
int widen6(std::uint32_t c) {
    return static_cast<int>((c & 0x3F) * 255 / 63);
}

} // namespace

// Every built-in palette's size is a power of two; without a palette the device palette's 256
// entries bound the values.
int entry_mask(const ScreenState& screen) {
    const int colours = default_colours(screen);
    return (colours > 0 ? colours : palette_size) - 1;
}

void palette_store(ScreenState& screen, int value, std::uint32_t entry) {
    value &= palette_size - 1;
    screen.device_palette[static_cast<std::size_t>(value)] = entry;
    if (screen.driver && screen.driver->set_palette)
        screen.driver->set_palette(value, palette_red(entry), palette_green(entry),
                                   palette_blue(entry));
}

void palette_set(int index, int colour, int green, int blue) {
    ScreenState* screen = current_screen();
    if (!screen || screen->depth > 8) return;
    screen_lock();
    if (index < 0)
        palette_reset(*screen, index);
    else if (green < 0 || blue < 0)
        palette_set_value(index, static_cast<std::uint32_t>(colour));
    else
        palette_set_rgb(index, colour, green, blue);
    mark_all_dirty(*screen);
    screen_unlock(1, 0);
}

void palette_set_rgb(int value, int red, int green, int blue) {
    ScreenState* screen = current_screen();
    if (!screen) return;
    palette_store(*screen, value & entry_mask(*screen), palette_pack(red, green, blue));
}

void palette_set_value(int value, std::uint32_t packed) {
    if (!current_screen()) return;
    ScreenState& screen = *current_screen();
    const int mask = entry_mask(screen);
    value &= mask;
    if (screen.default_palette == vga_palette()) {
        palette_store(screen, value,
                      palette_pack(widen6(packed), widen6(packed >> 8), widen6(packed >> 16)));
        return;
    }
    const auto entry = static_cast<std::size_t>(packed & static_cast<std::uint32_t>(mask));
    // A 64-colour palette admits pixel values up to 63, but the map has 16 entries.
    if (value < colour_map_size)
        screen.colour_map[static_cast<std::size_t>(value)] = static_cast<std::uint8_t>(entry);
    palette_store(screen, value, screen.source_palette[entry]);
}

void palette_resend() {
    ScreenState* screen = current_screen();
    if (!screen) return;
    for (int v = 0; v < palette_size; ++v)
        palette_store(*screen, v, screen->device_palette[static_cast<std::size_t>(v)]);
}

std::uint32_t colour_from_rgb(int bytes_per_pixel, std::uint32_t colour, int red, int green,
                              int blue) {
    if (bytes_per_pixel != 2) return colour;
    const auto r = static_cast<std::uint32_t>(red);
    const auto g = static_cast<std::uint32_t>(green);
    const auto b = static_cast<std::uint32_t>(blue);
    return (b >> 3) | ((g << 3) & 0x7E0u) | ((r << 8) & 0xF800u);
}

std::uint32_t colour_to_depth(int bytes_per_pixel, std::uint32_t colour) {
    switch (bytes_per_pixel) {
    case 1:
        return colour & 0xFFu;
    case 2:
        return ((colour >> 8) & 0xF800u) | ((colour >> 5) & 0x7E0u) | ((colour & 0xFFu) >> 3);
    default:
        return colour;
    }
}

} // namespace zered
