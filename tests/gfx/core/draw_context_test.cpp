#include "gfx/core/draw_context.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "gfx/core/block_ops.h"
#include "gfx/core/test_screen.h"

namespace {

using namespace zered;
using test::TestScreen;

TEST(DrawContext, EachDepthGetsItsDefaultsPixelSizeAndWholeScreen) {
    struct Row {
        int depth;
        std::uint32_t fg, bg, stored; // stored: what is kept of 0xA1B2C3D4
    };
    for (const Row& row :
         {Row{1, 1, 0, 0xD4}, Row{2, 3, 0, 0xD4}, Row{4, 15, 0, 0xD4}, Row{8, 15, 0, 0xD4},
          Row{16, 0xFFFF, 0, 0xC3D4}, Row{32, 0xFFFFFFFF, 0xFF000000, 0xA1B2C3D4}}) {
        TestScreen screen({.width = 5, .height = 3, .depth = row.depth, .pages = 2});
        DrawContext& context = context_get();
        EXPECT_EQ(context.fg_colour, row.fg) << row.depth;
        EXPECT_EQ(context.bg_colour, row.bg) << row.depth;
        EXPECT_EQ(context.view_w * context.view_h, 15);
        ASSERT_EQ(context.line_table.size(), 3u);
        EXPECT_EQ(context.line_table[2], screen.pixel_address(0, 0, 2));
        EXPECT_EQ(context.get_pixel(context, 4, 2), row.bg); // pages cleared to the background
        context.put_pixel(context, 4, 2, 0xA1B2C3D4);
        EXPECT_EQ(context.get_pixel(context, 4, 2), row.stored) << row.depth;
        // Outside the framebuffer: dropped, read as 0; (5, 0) would otherwise land on (0, 1).
        for (auto [x, y] : {std::pair{5, 0}, {0, 3}, {-1, -1}}) {
            context.put_pixel(context, x, y, 0x77);
            EXPECT_EQ(context.get_pixel(context, x, y), 0u);
        }
        EXPECT_EQ(context.get_pixel(context, 0, 1), row.bg);
        // copy_pixels counts in the screen's pixel size.
        copy_pixels(screen.pixel_address(1, 0, 0), screen.pixel_address(0, 3, 2), 2);
        EXPECT_EQ(*screen.pixel_address(1, 1, 0), *screen.pixel_address(0, 4, 2));
    }
}

TEST(DrawContext, ANewScreenRebuildsTheContextButTheSameScreenKeepsIt) {
    TestScreen first({.width = 30, .pages = 2});
    DrawContext& context = context_get();
    context.work_page = 1;
    context.fg_colour = 7;
    context.view_w = 4;
    context.view_h = 1;
    context.flags |= CONTEXT_VIEW_SET;
    EXPECT_EQ(context_get().work_page, 1);
    view_reset(context);
    EXPECT_EQ(std::pair(context.view_w, context.view_h), std::pair(30, current_screen()->height));
    EXPECT_EQ(context.flags, 0u);
    TestScreen second({.height = 300});
    EXPECT_EQ(context_get().work_page, 0);
    EXPECT_EQ(context_get().fg_colour, 15u);
    EXPECT_EQ(context_get().line_table.size(), 300u);
}

// A work page the screen does not have (left from elsewhere) falls back to page 0.
TEST(DrawContext, AWorkPageOutsideTheScreenFallsBackToPageZero) {
    TestScreen screen({.width = 4, .height = 2, .pages = 2});
    DrawContext& context = context_get();
    for (const int page : {-1, 2, 7}) {
        context.work_page = page;
        context_point_at_work_page(context, *current_screen());
        EXPECT_EQ(context.work_page, 0) << page;
        EXPECT_EQ(context.line_table[1], screen.pixel_address(0, 0, 1)) << page;
    }
}

TEST(DrawContext, ViewResetWithoutAScreenChangesNothing) {
    ASSERT_EQ(current_screen(), nullptr);
    DrawContext context;
    context.view_w = 3;
    context.flags = CONTEXT_VIEW_SET;
    view_reset(context);
    EXPECT_EQ(context.view_w, 3);
    EXPECT_EQ(context.flags, CONTEXT_VIEW_SET);
}

TEST(DrawContext, BlendingOnlyFor32BitAlphaScreensAndTranslucentColours) {
    const std::uint32_t under = 0xFF204060, translucent = 0x80FF0000;
    struct Case {
        int depth;
        std::uint32_t flags, colour;
        bool blends;
    };
    for (bool vector : {false, true}) {
        force_plain_routines(!vector);
        for (const Case& c :
             {Case{32, STATE_ALPHA_PRIMITIVES, translucent, true}, Case{32, 0, translucent, false},
              Case{32, STATE_ALPHA_PRIMITIVES, translucent | 0xFF000000, false},
              Case{16, STATE_ALPHA_PRIMITIVES, translucent, false}}) {
            TestScreen screen({.width = 8, .height = 2, .depth = c.depth, .state_flags = c.flags});
            EXPECT_EQ((screen->flags & STATE_HAS_MMX) != 0, vector);
            DrawContext& context = context_get(); // solid primitives after the reset
            context.put_pixel(context, 1, 0, under);
            context.fill_span(context.line_table[1], under, 8);
            context_pick_primitives(context, c.colour);
            const std::uint32_t expected = !c.blends ? c.colour & screen->colour_mask
                                           : vector  ? blend_pixel_bytes(under, c.colour)
                                                     : blend_pixel(under, c.colour);
            context.put_pixel(context, 1, 0, c.colour);
            EXPECT_EQ(context.get_pixel(context, 1, 0), expected) << c.depth << " " << c.flags;
            context.fill_span(context.line_table[1], c.colour, 7);
            EXPECT_EQ(context.get_pixel(context, 6, 1), expected) << c.depth << " " << c.flags;
            EXPECT_EQ(context.get_pixel(context, 7, 1), under & screen->colour_mask);
        }
    }
    force_plain_routines(false);
}

TEST(DrawContext, TextGridsAreBlankOnTheWorkPageZeroElsewhereAndFillsAreClipped) {
    TestScreen screen({.pages = 3, .text_cols = 4, .text_rows = 2});
    DrawContext& context = context_get();
    context.work_page = 1;
    context.fg_colour = 9;
    text_cells_reset(context, true);
    ASSERT_EQ(screen->text_cells.size(), 3u);
    EXPECT_EQ(screen->text_cells[1][7].character, 32u);
    EXPECT_EQ(screen->text_cells[1][7].foreground, 9u);
    EXPECT_EQ(screen->text_cells[2][7].character, 0u);

    text_cells_fill(1, 1, 3, 2, 0, 'x', 1, 2); // columns 1 and 2 of row 1
    text_cells_fill(3, -5, 99, 99, 2, 'z', 1, 2);
    text_cells_fill(0, 0, 4, 2, 7, 'q', 1, 2); // no such page
    text_cells_fill(0, 0, 4, 2, 3, 'q', 1, 2); // the first page past the last
    const auto& page0 = screen->text_cells[0];
    EXPECT_EQ(page0[4].character, 0u);
    EXPECT_EQ(page0[6].character, std::uint32_t{'x'});
    EXPECT_EQ(page0[7].character, 0u);
    EXPECT_EQ(screen->text_cells[2][2].character, 0u);
    EXPECT_EQ(screen->text_cells[2][7].character, std::uint32_t{'z'});

    text_cells_reset(context, false);
    EXPECT_TRUE(screen->text_cells.empty());

    // Without a screen there are no grids to make.
    set_current_screen(nullptr);
    text_cells_reset(context, true);
    set_current_screen(&screen.screen());
    EXPECT_TRUE(screen->text_cells.empty());

    // A grid without rows, or without columns, has no cells on any page.
    for (const auto& [cols, rows] : {std::pair{4, 0}, std::pair{0, 2}}) {
        screen->text_cols = cols, screen->text_rows = rows;
        text_cells_reset(context, true);
        ASSERT_EQ(screen->text_cells.size(), 3u);
        for (const auto& grid : screen->text_cells) EXPECT_TRUE(grid.empty()) << cols << rows;
    }
}

} // namespace
