// The presentation pass that every thread-based display driver runs, whatever the window system:
// every pass_period_ms, under the driver lock, present the band of lines that changed, then
// handle the window's input; the lock is free while the loop sleeps, which is when the program's
// thread draws.
#pragma once

#include <cstdint>
#include <span>

#include "gfx/console/key_tables.h"
#include "gfx/core/ddraw_modes.h"
#include "gfx/core/screen_state.h"

namespace zered {

inline constexpr int pass_period_ms = 10;

// The lines a pass has to present: first to first + count - 1, framebuffer lines. The clean lines
// between the first and the last dirty one are part of the band. count 0: nothing changed.
struct DirtyBand {
    int first = 0;
    int count = 0;
    bool operator==(const DirtyBand&) const = default;
};

// The dirty flags a pass looks at: one per framebuffer line of a window display_lines high, as
// far as the screen has flags.
std::span<std::uint8_t> pass_dirty_flags(ScreenState& screen, int display_lines);

// The band of the flags given; clears nothing.
DirtyBand find_dirty_band(std::span<const std::uint8_t> dirty);

// The display rows that show a band of framebuffer lines: scanline_size rows a line, cut at the
// window's display_lines. A count of 0 or less: no row to draw.
DirtyBand band_display_rows(DirtyBand band, int scanline_size, int display_lines);

// The driver's side of one loop: all slots are needed.
struct PassLoop {
    bool (*running)();  // tested before every pass
    void (*lock)();     // the driver lock
    void (*unlock)();
    void (*pass)();     // presents and handles input, with the lock held
    void (*sleep)(int milliseconds);
};

// Runs passes until running() answers false: lock, pass, unlock, sleep pass_period_ms.
void run_pass_loop(const PassLoop& loop);

// Folds the down state of virtual keys into the screen's key states: key_state[s] is 1 while the
// primary or the secondary virtual key of the table row with scan code s is down (so both Shift
// keys show as held when either is). Scan codes without a row keep their entries.
template <typename VirtualKeyDown>
void fold_key_states(std::uint8_t* key_state, VirtualKeyDown down) {
    for (const VirtualKeyRow& row : virtual_key_table()) {
        if (row.scan_code >= key_state_size) continue;
        const bool held = down(row.primary) || (row.secondary != 0 && down(row.secondary));
        store_key_state(key_state[row.scan_code], held);
    }
}

} // namespace zered
