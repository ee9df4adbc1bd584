#include "gfx/core/framebuffer.h"

#include <algorithm>
#include <cstdint>

#include "gfx/core/block_ops.h"
#include "gfx/core/display_driver.h"
#include "gfx/core/draw_context.h"

namespace zered {

namespace {

// Room to move a page's start up to the next 16-byte boundary (15 bytes at most), and a little
// slack past its end.
inline constexpr std::size_t page_slack = 18;

} // namespace

int depth_bytes_per_pixel(int depth) {
    if (depth == 15 || depth == 16) return 2;
    if (depth == 24 || depth == 32) return 4;
    return (depth + 7) / 8;
}

void framebuffer_set_geometry(ScreenState& screen, int width, int height, int depth) {
    screen.width = width;
    screen.height = height;
    screen.bytes_per_pixel = depth_bytes_per_pixel(depth);
    if (screen.bytes_per_pixel == 2) {
        screen.depth = 16;
        screen.colour_mask = 0xFFFFu;
    } else if (screen.bytes_per_pixel == 4) {
        screen.depth = 32;
        screen.colour_mask = 0xFFFFFFFFu;
    } else {
        screen.depth = depth;
        screen.colour_mask = (1u << depth) - 1;
    }
    screen.pitch = width * screen.bytes_per_pixel;
}

PageBuffer allocate_page(std::size_t bytes) {
    PageBuffer page;
    page.storage = std::make_unique<std::uint8_t[]>(bytes + page_slack);
    void* start = page.storage.get();
    std::size_t space = bytes + page_slack;
    page.pixels = static_cast<std::uint8_t*>(std::align(page_alignment, bytes, start, space));
    return page;
}

void allocate_pages(ScreenState& screen, int count) {
    count = std::max(count, 1);
    const auto bytes =
        static_cast<std::size_t>(screen.pitch) * static_cast<std::size_t>(screen.height);
    screen.pages.clear();
    for (int i = 0; i < count; ++i)
        screen.pages.push_back(allocate_page(bytes));
    screen.page_count = count;
    screen.visible_page = 0;
    screen.visible_fb = screen.pages.front().pixels;
}

void allocate_dirty_flags(ScreenState& screen) {
    screen.dirty.assign(static_cast<std::size_t>(screen.height) *
                            static_cast<std::size_t>(std::max(screen.scanline_size, 1)),
                        0);
}

void mark_dirty(ScreenState& screen, int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, screen.height - 1);
    if (first > last) return;
    fill_bytes(screen.dirty.data() + first, 1, static_cast<std::size_t>(last - first + 1));
}

void mark_all_dirty(ScreenState& screen) {
    mark_dirty(screen, 0, screen.height - 1);
}

void screen_lock() {
    ScreenState* screen = current_screen();
    if (!screen) return;
    if (screen->lock_count == 0 && screen->driver && screen->driver->lock) screen->driver->lock();
    ++screen->lock_count;
}

void screen_unlock(int first, int last) {
    const DrawContext& context = context_get();
    ScreenState* screen = current_screen();
    if (!screen) return;
    if (last < 0) last = screen->height - 1;
    if (context.work_page == screen->visible_page) {
        if (first < 0) first = 0;
        if (first <= last && last < screen->height) mark_dirty(*screen, first, last);
    }
    if (screen->lock_count == 0) return;
    if (--screen->lock_count == 0 && screen->driver && screen->driver->unlock)
        screen->driver->unlock();
}

} // namespace zered
