// The drawing context: the one record through which text output and clearing draw on the open
// screen (work page, line table, view, colours, pixel primitives), the selection of primitives
// for a pixel size, and the per-page text grids.
//
// Only the program's thread draws. Every drawing operation takes the context with context_get
// (which points it at the open screen) and chooses its primitives with context_pick_primitives
// before it draws, under screen_lock.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/core/screen_state.h"

namespace zered {

struct DrawContext;

// Stores colour (the target's pixel format, low bits used) at pixel x of line y of the work
// page. A point outside the framebuffer is dropped.
using PutPixelFn = void (*)(DrawContext& context, int x, int y, std::uint32_t colour);
// Reads pixel x of line y, zero-extended; 0 for a point outside the framebuffer.
using GetPixelFn = std::uint32_t (*)(const DrawContext& context, int x, int y);
// Writes count pixels of one colour from line (any address inside a line). count <= 0: nothing.
// The caller keeps the span inside the page.
using FillSpanFn = void (*)(void* line, std::uint32_t colour, int count);

// DrawContext flags.
inline constexpr std::uint32_t CONTEXT_VIEW_SET = 0x10; // a graphics view has been set

struct DrawContext {
    std::int32_t serial = 0;    // serial of the screen the context was built for
    std::int32_t work_page = 0; // page drawn on
    // Start of each line of the work page; its size is the line capacity.
    std::vector<std::uint8_t*> line_table;
    std::int32_t bytes_per_pixel = 0;
    std::int32_t pitch = 0;
    float last_x = 0, last_y = 0; // the last graphics point
    // The graphics view: the rectangle that clearing the view fills.
    std::int32_t view_x = 0, view_y = 0, view_w = 0, view_h = 0;
    // Pixel values in the target's format.
    std::uint32_t fg_colour = 0;
    std::uint32_t bg_colour = 0;
    PutPixelFn put_pixel = nullptr;
    GetPixelFn get_pixel = nullptr;
    FillSpanFn fill_span = nullptr;
    std::uint32_t flags = 0;
};

// The process's drawing context, created on first use and kept until the process ends. The first
// call after a new screen was opened (a new serial) resets it for that screen: work page 0, the
// line table for the screen's height, the whole screen as view, the default colours, solid
// primitives. Without a screen it is returned unchanged.
DrawContext& context_get();

// Default colours for a screen: foreground 15 at depth 8 and colour_mask at every other depth;
// background colour_mask with all but the top byte cleared (0 up to depth 16, opaque black
// 0xFF000000 at depth 32).
std::uint32_t default_fg_colour(const ScreenState& screen);
std::uint32_t default_bg_colour(const ScreenState& screen);

// Points the line table at the lines of the context's work page (a work page the screen does not
// have becomes 0), growing the table when the screen is taller than its capacity.
void context_point_at_work_page(DrawContext& context, const ScreenState& screen);

// Chooses the context's put_pixel and fill_span for drawing in colour: the blending ones when the
// screen has STATE_ALPHA_PRIMITIVES, the context is 4 bytes per pixel and colour's top byte is not
// 0xFF; the solid ones otherwise. get_pixel is always the plain reader. Uses the routines that
// select_depth_primitives installed last.
void context_pick_primitives(DrawContext& context, std::uint32_t colour);

// Installs the process-wide routines for a pixel size (1, 2, or 4 for any other value): the
// vector span fills and blends when the processor has MMX (and STATE_HAS_MMX on the open screen;
// cleared without), else the plain ones; copy_pixels' pixel size; the solid and blending
// primitives that context_pick_primitives hands out. Blending exists only at 4 bytes per pixel on
// a screen with STATE_ALPHA_PRIMITIVES; everywhere else the blending slots hold the solid ones.
void select_depth_primitives(int bytes_per_pixel);

// Fills every line of every page with the context's background colour over the view's width, as
// a freshly opened screen is cleared. The context must be pointed at the screen.
void context_clear_pages(const DrawContext& context, const ScreenState& screen);

// Points the context at the open screen, then makes the view the whole screen and clears
// CONTEXT_VIEW_SET. Without a screen nothing.
void view_reset(DrawContext& context);

// Frees every page's text grid. With allocate, every page gets a zeroed grid of text_cols *
// text_rows cells and the work page's grid is filled with blanks (character 32) in the context's
// colours. Without a screen nothing.
void text_cells_reset(DrawContext& context, bool allocate);

// Sets cells of columns x1 to x2 - 1 and rows y1 to y2 - 1 of a page's grid to (character,
// foreground, background). The rectangle is clipped to the grid; a page without a grid, or no
// open screen, is left alone.
void text_cells_fill(int x1, int y1, int x2, int y2, int page, std::uint32_t character,
                     std::uint32_t foreground, std::uint32_t background);

} // namespace zered
