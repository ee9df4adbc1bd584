#include "gfx/core/draw_context.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "gfx/core/block_ops.h"
#include "gfx/core/test_screen.h"

namespace {

using namespace zered;
using test::TestScreen;

std::uint32_t read32(const std::uint8_t* at) {
    std::uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

TEST(DrawContext, ResetGivesEachDepthItsDefaultsAndTheWholeScreen) {
    struct Row {
        int depth;
        std::uint32_t fg, bg;
    };
    for (const Row& row : {Row{1, 1, 0}, Row{2, 3, 0}, Row{4, 15, 0}, Row{8, 15, 0},
                           Row{16, 0xFFFF, 0}, Row{32, 0xFFFFFFFF, 0xFF000000}}) {
        TestScreen screen({.width = 40, .height = 10, .depth = row.depth, .pages = 2});
        DrawContext& context = context_get();
        EXPECT_EQ(context.fg_colour, row.fg) << row.depth;
        EXPECT_EQ(context.bg_colour, row.bg) << row.depth;
        EXPECT_EQ(context.serial, screen->serial);
        EXPECT_EQ(context.flags, 0u);
        EXPECT_EQ(context.view_w, 40);
        EXPECT_EQ(context.view_h, 10);
        ASSERT_EQ(context.line_table.size(), 10u);
        EXPECT_EQ(context.line_table[9], screen.pixel_address(0, 0, 9));
        // The set-up cleared both pages to the background.
        EXPECT_EQ(context.get_pixel(context, 39, 9), row.bg) << row.depth;
        if (row.depth == 32) {
            EXPECT_EQ(read32(screen.pixel_address(1, 39, 9)), row.bg);
        }
    }
}

TEST(DrawContext, ANewScreenRebuildsTheContextButTheSameScreenKeepsIt) {
    TestScreen first({.pages = 2});
    DrawContext& context = context_get();
    context.work_page = 1;
    context.fg_colour = 7;
    EXPECT_EQ(context_get().work_page, 1);
    {
        TestScreen second({.height = 300});
        EXPECT_EQ(context_get().work_page, 0);
        EXPECT_EQ(context_get().fg_colour, 15u);
        EXPECT_EQ(context_get().line_table.size(), 300u);
    }
}

TEST(DrawContext, PixelsRoundTripAtEverySizeAndStayInsideTheFramebuffer) {
    for (int depth : {8, 16, 32}) {
        TestScreen screen({.width = 5, .height = 3, .depth = depth});
        DrawContext& context = context_get();
        context.put_pixel(context, 4, 2, 0xA1B2C3D4);
        const std::uint32_t stored = depth == 8 ? 0xD4 : depth == 16 ? 0xC3D4 : 0xA1B2C3D4;
        EXPECT_EQ(context.get_pixel(context, 4, 2), stored);
        // Past the right edge, below the bottom, negative: dropped, read as 0.
        context.put_pixel(context, 5, 0, 0xFF);
        context.put_pixel(context, 0, 3, 0xFF);
        context.put_pixel(context, -1, -1, 0xFF);
        EXPECT_EQ(context.get_pixel(context, 5, 0), 0u);
        EXPECT_EQ(*screen.pixel_address(0, 0, 1), 0); // where (5, 0) would have wrapped to
    }
}

TEST(DrawContext, BlendingOnlyFor32BitAlphaScreensAndTranslucentColours) {
    const std::uint32_t under = 0xFF204060, colour = 0x80FF0000;
    struct Case {
        int depth;
        std::uint32_t flags, colour;
        bool blends;
    };
    for (bool vector : {false, true}) {
        force_plain_routines(!vector);
        for (const Case& c : {Case{32, STATE_ALPHA_PRIMITIVES, colour, true},
                              Case{32, 0, colour, false},
                              Case{32, STATE_ALPHA_PRIMITIVES, colour | 0xFF000000, false},
                              Case{16, STATE_ALPHA_PRIMITIVES, colour, false}}) {
            TestScreen screen({.width = 8, .height = 2, .depth = c.depth, .state_flags = c.flags});
            EXPECT_EQ((screen->flags & STATE_HAS_MMX) != 0, vector);
            DrawContext& context = context_get(); // solid primitives after the reset
            context.put_pixel(context, 1, 0, under);
            context.fill_span(context.line_table[1], under, 8);
            context_pick_primitives(context, c.colour);
            const std::uint32_t blended =
                vector ? blend_pixel_bytes(under, c.colour) : blend_pixel(under, c.colour);
            const std::uint32_t expected =
                c.blends ? blended : c.colour & screen->colour_mask;
            context.put_pixel(context, 1, 0, c.colour);
            EXPECT_EQ(context.get_pixel(context, 1, 0), expected) << c.depth << " " << c.flags;
            context.fill_span(context.line_table[1], c.colour, 7);
            EXPECT_EQ(context.get_pixel(context, 6, 1), expected) << c.depth << " " << c.flags;
            EXPECT_EQ(context.get_pixel(context, 7, 1), under & screen->colour_mask);
        }
    }
    force_plain_routines(false);
}

TEST(DrawContext, TextGridsAreBlankOnTheWorkPageAndZeroElsewhere) {
    TestScreen screen({.width = 32, .height = 16, .pages = 3, .text_cols = 4, .text_rows = 2});
    DrawContext& context = context_get();
    context.work_page = 1;
    context.fg_colour = 9;
    text_cells_reset(context, true);
    ASSERT_EQ(screen->text_cells.size(), 3u);
    EXPECT_EQ(screen->text_cells[1][7].character, 32u);
    EXPECT_EQ(screen->text_cells[1][7].foreground, 9u);
    EXPECT_EQ(screen->text_cells[0][0].character, 0u);
    EXPECT_EQ(screen->text_cells[2][7].character, 0u);

    // Columns 1 to 2 of row 1; rectangles reaching outside the grid are clipped.
    text_cells_fill(1, 1, 3, 2, 0, 'x', 1, 2);
    text_cells_fill(-5, -5, 1, 1, 2, 'y', 1, 2);
    text_cells_fill(3, 0, 99, 99, 2, 'z', 1, 2);
    text_cells_fill(0, 0, 4, 2, 7, 'q', 1, 2); // no such page
    const auto& page0 = screen->text_cells[0];
    EXPECT_EQ(page0[4].character, 0u);
    EXPECT_EQ(page0[5].character, std::uint32_t{'x'});
    EXPECT_EQ(page0[6].background, 2u);
    EXPECT_EQ(page0[7].character, 0u);
    const auto& page2 = screen->text_cells[2];
    EXPECT_EQ(page2[0].character, std::uint32_t{'y'});
    EXPECT_EQ(page2[1].character, 0u);
    EXPECT_EQ(page2[3].character, std::uint32_t{'z'});
    EXPECT_EQ(page2[7].character, std::uint32_t{'z'});

    text_cells_reset(context, false);
    EXPECT_TRUE(screen->text_cells.empty());
}

TEST(DrawContext, ViewResetRestoresTheWholeScreen) {
    TestScreen screen({.width = 30, .height = 20});
    DrawContext& context = context_get();
    context.view_x = 3;
    context.view_w = 4;
    context.flags |= CONTEXT_VIEW_SET;
    view_reset(context);
    EXPECT_EQ(context.view_x, 0);
    EXPECT_EQ(context.view_w, 30);
    EXPECT_EQ(context.view_h, 20);
    EXPECT_EQ(context.flags & CONTEXT_VIEW_SET, 0u);
}

} // namespace
