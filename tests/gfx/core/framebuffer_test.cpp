#include "gfx/core/framebuffer.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "gfx/core/draw_context.h"
#include "gfx/core/test_screen.h"

namespace {

using namespace zered;
using test::TestScreen;

TEST(Framebuffer, GeometryNormalisesTheDepth) {
    struct Row {
        int asked, depth, bytes;
        std::uint32_t mask;
    };
    for (const Row& row : {Row{1, 1, 1, 1}, Row{2, 2, 1, 3}, Row{4, 4, 1, 15}, Row{8, 8, 1, 255},
                           Row{15, 16, 2, 0xFFFF}, Row{16, 16, 2, 0xFFFF},
                           Row{24, 32, 4, 0xFFFFFFFF}, Row{32, 32, 4, 0xFFFFFFFF}}) {
        ScreenState screen;
        framebuffer_set_geometry(screen, 400, 80, row.asked);
        EXPECT_EQ(screen.depth, row.depth) << row.asked;
        EXPECT_EQ(screen.bytes_per_pixel, row.bytes) << row.asked;
        EXPECT_EQ(screen.colour_mask, row.mask) << row.asked;
        EXPECT_EQ(screen.pitch, 400 * row.bytes) << row.asked;
    }
}

TEST(Framebuffer, PagesStartOn16BytesAndDirtyFlagsCoverEveryDisplayLine) {
    ScreenState screen;
    framebuffer_set_geometry(screen, 13, 7, 8); // odd sizes: nothing lines up by chance
    screen.scanline_size = 2;
    for (int attempt = 0; attempt < 8; ++attempt) {
        allocate_pages(screen, 3);
        ASSERT_EQ(screen.page_count, 3);
        for (const PageBuffer& page : screen.pages)
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(page.pixels) % 16, 0u);
        EXPECT_EQ(screen.visible_fb, screen.pages[0].pixels);
        // Every byte of the last page is writable (ASan watches this).
        for (int i = 0; i < 13 * 7; ++i) screen.pages[2].pixels[i] = 0xEE;
    }
    allocate_pages(screen, -5);
    EXPECT_EQ(screen.page_count, 1);
    allocate_dirty_flags(screen);
    EXPECT_EQ(screen.dirty.size(), 14u);
}

TEST(Framebuffer, NestedLocksReachTheDriverOnlyAtTheOuterLevel) {
    TestScreen screen;
    screen.clear_dirty(); // the set-up's palette reset marked everything
    screen_lock();
    screen_lock();
    EXPECT_EQ(screen.driver().locks, 1);
    EXPECT_EQ(screen->lock_count, 2);
    screen_unlock(1, 0);
    EXPECT_EQ(screen.driver().unlocks, 0);
    screen_unlock(1, 0);
    EXPECT_EQ(screen.driver().unlocks, 1);
    EXPECT_EQ(screen->lock_count, 0);
    EXPECT_EQ(screen.dirty_lines(), 0);

    // An unlock without a lock still marks, but neither underflows nor calls the driver.
    screen_unlock(3, 4);
    EXPECT_EQ(screen->lock_count, 0);
    EXPECT_EQ(screen.driver().unlocks, 1);
    EXPECT_EQ(screen.dirty_lines(), 2);
}

TEST(Framebuffer, UnlockMarksItsLineRangeOnTheVisiblePageOnly) {
    TestScreen screen({.height = 16, .pages = 2});
    struct Case {
        int first, last, marked_from, marked;
    };
    for (const Case& c : {Case{-1, -1, 0, 16}, Case{-7, 3, 0, 4}, Case{5, -1, 5, 11},
                          Case{2, 2, 2, 1}, Case{1, 0, 0, 0}, Case{15, 16, 0, 0},
                          Case{16, 20, 0, 0}}) {
        screen.clear_dirty();
        screen_lock();
        screen_unlock(c.first, c.last);
        EXPECT_EQ(screen.dirty_lines(), c.marked) << c.first << ".." << c.last;
        if (c.marked) {
            EXPECT_EQ(screen->dirty[c.marked_from], 1);
            EXPECT_EQ(screen->dirty[c.marked_from + c.marked - 1], 1);
        }
    }
    screen.clear_dirty();
    context_get().work_page = 1; // drawing elsewhere: nothing to present
    screen_lock();
    screen_unlock(-1, -1);
    EXPECT_EQ(screen.dirty_lines(), 0);
    EXPECT_EQ(screen.driver().unlocks, 8);
}

TEST(Framebuffer, LockAndUnlockWithoutAScreenDoNothing) {
    ASSERT_EQ(current_screen(), nullptr);
    screen_lock();
    screen_unlock(-1, -1);
}

} // namespace
