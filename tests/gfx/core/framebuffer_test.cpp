#include "gfx/core/framebuffer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdint>

#include "gfx/core/draw_context.h"
#include "gfx/core/test_screen.h"

namespace {

using namespace zered;
using test::TestScreen;

TEST(Framebuffer, DepthsAreNormalisedAndPagesStartOn16Bytes) {
    struct Row {
        int asked, depth, bytes;
        std::uint32_t mask;
    };
    for (const Row& row : {Row{1, 1, 1, 1}, Row{2, 2, 1, 3}, Row{4, 4, 1, 15}, Row{8, 8, 1, 255},
                           Row{15, 16, 2, 0xFFFF}, Row{16, 16, 2, 0xFFFF},
                           Row{24, 32, 4, 0xFFFFFFFF}, Row{32, 32, 4, 0xFFFFFFFF}}) {
        ScreenState screen;
        framebuffer_set_geometry(screen, 13, 7, row.asked); // odd sizes: nothing aligns by luck
        EXPECT_EQ(screen.depth, row.depth) << row.asked;
        EXPECT_EQ(screen.colour_mask, row.mask) << row.asked;
        EXPECT_EQ(screen.pitch, 13 * row.bytes) << row.asked;
        allocate_pages(screen, 3);
        for (const PageBuffer& page : screen.pages)
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(page.pixels) % 16, 0u);
        EXPECT_EQ(screen.visible_fb, screen.pages[0].pixels);
        screen.pages[2].pixels[screen.pitch * 7 - 1] = 1; // the last byte is there (ASan)
    }
}

TEST(Framebuffer, NestedLocksReachTheDriverOnlyAtTheOuterLevel) {
    screen_lock(); // no screen: nothing
    screen_unlock(-1, -1);
    TestScreen screen;
    screen_lock();
    screen_lock();
    screen_unlock(1, 0);
    EXPECT_EQ(screen.driver().locks, 1);
    EXPECT_EQ(screen.driver().unlocks, 0);
    screen_unlock(1, 0);
    EXPECT_EQ(screen.driver().unlocks, 1);
    // An unlock without a lock neither underflows nor reaches the driver.
    screen_unlock(1, 0);
    EXPECT_EQ(screen->lock_count, 0);
    EXPECT_EQ(screen.driver().unlocks, 1);
}

TEST(Framebuffer, UnlockMarksItsLineRangeOnTheVisiblePageOnly) {
    TestScreen screen({.height = 16, .pages = 2});
    struct Case {
        int first, last, from, marked;
    };
    for (const Case& c : {Case{-1, -1, 0, 16}, Case{-7, 3, 0, 4}, Case{5, -1, 5, 11},
                          Case{2, 2, 2, 1}, Case{1, 0, 0, 0}, Case{15, 16, 0, 0}}) {
        screen.clear_dirty();
        screen_unlock(c.first, c.last);
        EXPECT_EQ(screen.dirty_lines(), c.marked) << c.first << ".." << c.last;
        if (c.marked) {
            EXPECT_EQ(screen->dirty[c.from], 1);
            EXPECT_EQ(screen->dirty[c.from + c.marked - 1], 1);
        }
    }
    screen.clear_dirty();
    context_get().work_page = 1; // drawing elsewhere: nothing to present
    screen_unlock(-1, -1);
    EXPECT_EQ(screen.dirty_lines(), 0);
}

// Marks are clipped to the framebuffer's lines, also where a line is shown twice and the flags
// have room for more.
TEST(Framebuffer, MarksStayOnTheFramebuffersLines) {
    TestScreen screen({.height = 16, .scanline_size = 2});
    ASSERT_GT(screen->dirty.size(), 16u);
    for (const auto& [first, last] : {std::pair{0, 1000}, std::pair{-5, 15}, std::pair{10, 16}}) {
        std::fill(screen->dirty.begin(), screen->dirty.end(), 0);
        mark_dirty(screen.screen(), first, last);
        EXPECT_EQ(std::count(screen->dirty.begin(), screen->dirty.end(), 1),
                  std::min(last, 15) - std::max(first, 0) + 1)
            << first << ".." << last;
        EXPECT_EQ(std::count(screen->dirty.begin() + 16, screen->dirty.end(), 1), 0);
    }
    std::fill(screen->dirty.begin(), screen->dirty.end(), 0);
    mark_all_dirty(screen.screen());
    EXPECT_EQ(std::count(screen->dirty.begin(), screen->dirty.end(), 1), 16);
}

} // namespace
