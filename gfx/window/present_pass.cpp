#include "gfx/window/present_pass.h"

#include <algorithm>

namespace zered {

std::span<std::uint8_t> pass_dirty_flags(ScreenState& screen, int display_lines) {
    const auto count =
        std::min(screen.dirty.size(), static_cast<std::size_t>(std::max(display_lines, 0)));
    return {screen.dirty.data(), count};
}

DirtyBand find_dirty_band(std::span<const std::uint8_t> dirty) {
    const auto first = std::ranges::find_if(dirty, [](std::uint8_t flag) { return flag != 0; });
    if (first == dirty.end()) return {};
    auto last = dirty.end() - 1;
    while (*last == 0)
        --last;
    return {static_cast<int>(first - dirty.begin()), static_cast<int>(last - first + 1)};
}

DirtyBand band_display_rows(DirtyBand band, int scanline_size, int display_lines) {
    const int repeat = std::max(scanline_size, 1);
    const int first = band.first * repeat;
    return {first, std::min(band.count * repeat, display_lines - first)};
}

void run_pass_loop(const PassLoop& loop) {
    while (loop.running()) {
        loop.lock();
        loop.pass();
        loop.unlock();
        loop.sleep(pass_period_ms);
    }
}

} // namespace zered
