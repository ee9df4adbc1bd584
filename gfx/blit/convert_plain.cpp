// The plain converters: the line walk every member shares and the members that work on any
// width and any scanline_size.
#include <algorithm>

#include "gfx/blit/convert.h"
#include "gfx/blit/convert_lines.h"
#include "gfx/core/block_ops.h"

namespace zered {

LineInput line_input(const ScreenState& screen) {
    return {screen.device_palette.data(), &expand_tables(), expand_tables_red_low(), screen.pitch};
}

namespace {

// Calls run(first, count) for each run of consecutive dirty framebuffer lines.
template <class Run> void for_dirty_runs(const ScreenState& screen, const Run& run) {
    if (screen.width <= 0 || screen.height <= 0 || screen.scanline_size <= 0 ||
        screen.visible_fb == nullptr) {
        return;
    }
    // dirty is never shorter than height in a screen set-up made; if it were, the lines without a
    // flag count as clean rather than being read out of bounds.
    const auto lines = std::min(static_cast<std::size_t>(screen.height), screen.dirty.size());
    std::size_t line = 0;
    while (line < lines) {
        if (screen.dirty[line] == 0) {
            ++line;
            continue;
        }
        const std::size_t first = line;
        while (line < lines && screen.dirty[line] != 0) {
            ++line;
        }
        run(static_cast<std::ptrdiff_t>(first), static_cast<std::ptrdiff_t>(line - first));
    }
}

// The one place where converters copy memory unchanged.
void copy_block(std::uint8_t* out, const std::uint8_t* in, std::size_t bytes) {
    copy_bytes(out, in, bytes);
}

} // namespace

void convert_dirty_lines(const ScreenState& screen, void* destination,
                         std::int32_t destination_pitch, LineFn fn, const LineInput& input) {
    const std::ptrdiff_t repeat = screen.scanline_size;
    auto* out = static_cast<std::uint8_t*>(destination);
    for_dirty_runs(screen, [&](std::ptrdiff_t first, std::ptrdiff_t count) {
        for (std::ptrdiff_t line = first; line < first + count; ++line) {
            const std::uint8_t* in = screen.visible_fb + line * screen.pitch;
            for (std::ptrdiff_t d = line * repeat; d < (line + 1) * repeat; ++d) {
                fn(out + d * destination_pitch, in, screen.width, input);
            }
        }
    });
}

void convert_open_screen(void* destination, std::int32_t destination_pitch, LineFn fn) {
    if (const ScreenState* screen = current_screen()) {
        convert_dirty_lines(*screen, destination, destination_pitch, fn, line_input(*screen));
    }
}

namespace {

void copy_line(std::uint8_t* out, const std::uint8_t* in, int, const LineInput& input) {
    copy_block(out, in, static_cast<std::size_t>(input.line_bytes));
}

std::uint32_t clear_top(std::uint32_t p) {
    return p & 0x00FFFFFF;
}

void clear_top_line(std::uint8_t* out, const std::uint8_t* in, int width, const LineInput&) {
    store_pixels<32>(out, width, [=](int i) { return clear_top(load32(in + 4 * i)); });
}

} // namespace

// Where the display lines lie exactly like the framebuffer's, a run of dirty lines is one block.
void convert_copy(void* destination, std::int32_t destination_pitch) {
    const ScreenState* screen = current_screen();
    if (screen == nullptr) {
        return;
    }
    if (screen->scanline_size != 1 || destination_pitch != screen->pitch) {
        convert_open_screen(destination, destination_pitch, copy_line);
        return;
    }
    auto* out = static_cast<std::uint8_t*>(destination);
    for_dirty_runs(*screen, [&](std::ptrdiff_t first, std::ptrdiff_t count) {
        copy_block(out + first * screen->pitch, screen->visible_fb + first * screen->pitch,
                   static_cast<std::size_t>(count * screen->pitch));
    });
}
void convert_32_clear_top(void* d, std::int32_t p) {
    convert_open_screen(d, p, clear_top_line);
}

// A palette entry has red in byte 0, a 32-bit pixel blue: red-low displays keep the palette's
// byte order and swap the pixel's, blue-low displays the other way round.
void convert_pal_to_15_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, palette_line<15, false>);
}
void convert_pal_to_16_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, palette_line<16, false>);
}
void convert_pal_to_24_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, palette_line<24, false>);
}
void convert_pal_to_32_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, palette_line<32, false>);
}
void convert_pal_to_15_bl(void* d, std::int32_t p) {
    convert_open_screen(d, p, palette_line<15, true>);
}
void convert_pal_to_16_bl(void* d, std::int32_t p) {
    convert_open_screen(d, p, palette_line<16, true>);
}
void convert_pal_to_24_bl(void* d, std::int32_t p) {
    convert_open_screen(d, p, palette_line<24, true>);
}
void convert_pal_to_32_bl(void* d, std::int32_t p) {
    convert_open_screen(d, p, palette_line<32, true>);
}

void convert_32_to_15_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb32_line<15, true>);
}
void convert_32_to_16_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb32_line<16, true>);
}
void convert_32_to_24_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb32_line<24, true>);
}
void convert_32_to_32_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb32_line<32, true>);
}
void convert_32_to_15_bl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb32_line<15, false>);
}
void convert_32_to_16_bl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb32_line<16, false>);
}
void convert_32_to_24_bl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb32_line<24, false>);
}

void convert_16_to_15_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb16_line<rgb16_to_15_rl>);
}
void convert_16_to_16_rl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb16_line<rgb16_to_16_rl>);
}
void convert_16_to_15_bl(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb16_line<rgb16_to_15_bl>);
}
void convert_16_to_24(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb16_expand_line<24>);
}
void convert_16_to_32(void* d, std::int32_t p) {
    convert_open_screen(d, p, rgb16_expand_line<32>);
}

} // namespace zered
