#include "gfx/console/console_ports.h"

#include <algorithm>
#include <cstdint>

#include "gfx/core/builtin_data.h"
#include "gfx/core/display_driver.h"
#include "gfx/core/framebuffer.h"
#include "gfx/core/palette.h"

namespace zered {

namespace {

// Components travel as 6-bit values at bits 2, 10 and 18 of a 0x00BBGGRR entry, so that the
// entry's bytes hold red, green and blue times 4.
inline constexpr int first_component_shift = 2;
inline constexpr int component_step = 8;
inline constexpr int last_component_shift = first_component_shift + 2 * component_step;
inline constexpr std::uint32_t component_mask = 0x3F;

struct PortState {
    int dac_index = 0;
    int dac_shift = first_component_shift;
    std::uint32_t dac_value = 0;
};

PortState& ports() {
    static PortState state;
    return state;
}

void next_entry(PortState& state, const ScreenState& screen) {
    state.dac_shift = first_component_shift;
    state.dac_value = 0;
    state.dac_index = (state.dac_index + 1) & entry_mask(screen);
}

// A default-palette colour changed on a screen that maps pixel values to default-palette
// entries: every value mapped to the entry shows the new colour.
void store_source_colour(ScreenState& screen, int entry, std::uint32_t colour) {
    screen_lock();
    screen.source_palette[static_cast<std::size_t>(entry)] = colour;
    // The map has an entry for each of the first 16 values, which is every value these screens
    // (1 to 4 bits deep; the ports serve none deeper than 8) have.
    const int values = std::min(1 << screen.depth, colour_map_size);
    for (int v = 0; v < values; ++v)
        if (screen.colour_map[static_cast<std::size_t>(v)] == entry)
            palette_store(screen, v, colour);
    mark_all_dirty(screen);
    screen_unlock(1, 0);
}

} // namespace

int port_in(int port) {
    ScreenState* screen = current_screen();
    if (!screen) return -1;
    port &= 0xFFFF;
    if (port == PORT_INPUT_STATUS) {
        if (screen->driver && screen->driver->wait_vsync) screen->driver->wait_vsync();
        return STATUS_RETRACE;
    }
    if (port != PORT_DAC_DATA || screen->depth > 8) return -1;
    PortState& state = ports();
    const int entry = state.dac_index & entry_mask(*screen);
    const auto component = static_cast<int>(
        (screen->source_palette[static_cast<std::size_t>(entry)] >> state.dac_shift) &
        component_mask);
    state.dac_shift += component_step;
    if (state.dac_shift > last_component_shift) next_entry(state, *screen);
    return component;
}

int port_out(int port, int value) {
    ScreenState* screen = current_screen();
    port &= 0xFFFF;
    if (!screen || screen->depth > 8 || port < PORT_DAC_READ_INDEX || port > PORT_DAC_DATA)
        return -1;
    // Only the low 8 bits count, and both masks below keep no more.
    PortState& state = ports();
    if (port != PORT_DAC_DATA) {
        state.dac_index = value & entry_mask(*screen);
        state.dac_shift = first_component_shift;
        state.dac_value = 0;
        return 0;
    }
    state.dac_value += (static_cast<std::uint32_t>(value) & component_mask) << state.dac_shift;
    state.dac_shift += component_step;
    if (state.dac_shift <= last_component_shift) return 0;
    const int entry = state.dac_index & entry_mask(*screen);
    if (screen->default_palette == vga_palette())
        palette_set(entry, static_cast<int>((state.dac_value >> 2) & 0x3F3F3Fu), -1, -1);
    else
        store_source_colour(*screen, entry, state.dac_value);
    next_entry(state, *screen);
    return 0;
}

void port_state_reset() { ports() = PortState{}; }

} // namespace zered
