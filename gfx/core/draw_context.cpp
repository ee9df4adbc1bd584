#include "gfx/core/draw_context.h"

#include <algorithm>
#include <cstring>

#include "gfx/core/block_ops.h"

namespace zered {

namespace {

// The routines select_depth_primitives installed last; context_pick_primitives copies from here.
struct Primitives {
    PutPixelFn put_solid;
    PutPixelFn put_blend;
    FillSpanFn fill_solid;
    FillSpanFn fill_blend;
    GetPixelFn get;
};

template <typename Pixel> bool inside(const DrawContext& context, int x, int y) {
    return static_cast<unsigned>(y) < context.line_table.size() &&
           static_cast<unsigned>(x) < static_cast<unsigned>(context.pitch) / sizeof(Pixel);
}

template <typename Pixel> void put_solid(DrawContext& context, int x, int y, std::uint32_t colour) {
    if (!inside<Pixel>(context, x, y)) return;
    const auto pixel = static_cast<Pixel>(colour);
    std::memcpy(context.line_table[static_cast<std::size_t>(y)] + x * sizeof(Pixel), &pixel,
                sizeof pixel);
}

template <typename Pixel> std::uint32_t get_plain(const DrawContext& context, int x, int y) {
    if (!inside<Pixel>(context, x, y)) return 0;
    Pixel pixel;
    std::memcpy(&pixel, context.line_table[static_cast<std::size_t>(y)] + x * sizeof(Pixel),
                sizeof pixel);
    return pixel;
}

template <std::uint32_t (*blend)(std::uint32_t, std::uint32_t)>
void put_blended(DrawContext& context, int x, int y, std::uint32_t colour) {
    put_solid<std::uint32_t>(context, x, y, blend(get_plain<std::uint32_t>(context, x, y), colour));
}

void fill_span8(void* line, std::uint32_t colour, int count) {
    if (count > 0)
        fill_bytes(line, static_cast<int>(colour & 0xFF), static_cast<std::size_t>(count));
}

Primitives primitives_for(int bytes_per_pixel, bool vector, bool alpha) {
    switch (bytes_per_pixel) {
    case 1:
        return {put_solid<std::uint8_t>, put_solid<std::uint8_t>, fill_span8, fill_span8,
                get_plain<std::uint8_t>};
    case 2: {
        const FillSpanFn fill = vector ? fill16_vector : fill16_plain;
        return {put_solid<std::uint16_t>, put_solid<std::uint16_t>, fill, fill,
                get_plain<std::uint16_t>};
    }
    default: {
        const PutPixelFn solid = put_solid<std::uint32_t>;
        const FillSpanFn fill = vector ? fill32_vector : fill32_plain;
        if (!alpha) return {solid, solid, fill, fill, get_plain<std::uint32_t>};
        return {solid, vector ? put_blended<blend_pixel_bytes> : put_blended<blend_pixel>, fill,
                vector ? blend_fill32_vector : blend_fill32_plain, get_plain<std::uint32_t>};
    }
    }
}

Primitives& installed() {
    static Primitives primitives = primitives_for(1, false, false);
    return primitives;
}

} // namespace

DrawContext& context_get() {
    static DrawContext context;
    ScreenState* screen = current_screen();
    if (!screen || context.serial == screen->serial) return context;
    context = DrawContext{};
    context.serial = screen->serial;
    context.line_table.assign(static_cast<std::size_t>(std::max(screen->height, 0)), nullptr);
    context.fg_colour = default_fg_colour(*screen);
    context.bg_colour = default_bg_colour(*screen);
    // Pointed at the new screen: the whole screen as view, its pixel size and pitch, the work
    // page's lines and the primitives for its pixel size.
    context.view_w = screen->width;
    context.view_h = screen->height;
    context.bytes_per_pixel = screen->bytes_per_pixel;
    context.pitch = screen->pitch;
    context_point_at_work_page(context, *screen);
    select_depth_primitives(screen->bytes_per_pixel);
    context_pick_primitives(context, 0xFF000000u);
    return context;
}

std::uint32_t default_fg_colour(const ScreenState& screen) {
    return screen.depth == 8 ? 15u : screen.colour_mask;
}

std::uint32_t default_bg_colour(const ScreenState& screen) {
    return screen.colour_mask & 0xFF000000u;
}


void context_point_at_work_page(DrawContext& context, const ScreenState& screen) {
    if (context.work_page < 0 || context.work_page >= static_cast<int>(screen.pages.size()))
        context.work_page = 0;
    const auto height = static_cast<std::size_t>(std::max(screen.height, 0));
    context.line_table.resize(std::max(context.line_table.size(), height));
    if (screen.pages.empty()) return;
    std::uint8_t* line = screen.pages[static_cast<std::size_t>(context.work_page)].pixels;
    for (std::size_t y = 0; y < height; ++y, line += screen.pitch)
        context.line_table[y] = line;
}

void context_pick_primitives(DrawContext& context, std::uint32_t colour) {
    const ScreenState* screen = current_screen();
    const Primitives& routines = installed();
    const bool blend = screen && (screen->flags & STATE_ALPHA_PRIMITIVES) &&
                       context.bytes_per_pixel == 4 && (colour >> 24) != 0xFF;
    context.put_pixel = blend ? routines.put_blend : routines.put_solid;
    context.fill_span = blend ? routines.fill_blend : routines.fill_solid;
    context.get_pixel = routines.get;
}

void select_depth_primitives(int bytes_per_pixel) {
    const bool vector = cpu_has_mmx();
    ScreenState* screen = current_screen();
    if (screen) {
        if (vector)
            screen->flags |= STATE_HAS_MMX;
        else
            screen->flags &= ~STATE_HAS_MMX;
    }
    const int size = bytes_per_pixel == 1 || bytes_per_pixel == 2 ? bytes_per_pixel : 4;
    set_copy_pixel_size(size);
    installed() = primitives_for(size, vector, screen && (screen->flags & STATE_ALPHA_PRIMITIVES));
}

void context_clear_pages(const DrawContext& context, const ScreenState& screen) {
    for (const PageBuffer& page : screen.pages) {
        std::uint8_t* line = page.pixels;
        for (int y = 0; y < screen.height; ++y, line += screen.pitch)
            context.fill_span(line, context.bg_colour, context.view_w);
    }
}

void view_reset(DrawContext& context) {
    ScreenState* screen = current_screen();
    if (!screen) return;
    context.view_x = 0;
    context.view_y = 0;
    context.view_w = screen->width;
    context.view_h = screen->height;
    context.flags &= ~CONTEXT_VIEW_SET;
}

void text_cells_reset(DrawContext& context, bool allocate) {
    ScreenState* screen = current_screen();
    if (!screen) return;
    screen->text_cells.clear();
    if (!allocate) return;
    const auto cells = static_cast<std::size_t>(std::max(screen->text_cols, 0)) *
                       static_cast<std::size_t>(std::max(screen->text_rows, 0));
    screen->text_cells.assign(static_cast<std::size_t>(std::max(screen->page_count, 0)),
                              std::vector<TextCell>(cells, TextCell{}));
    text_cells_fill(0, 0, screen->text_cols, screen->text_rows, context.work_page, 32,
                    context.fg_colour, context.bg_colour);
}

void text_cells_fill(int x1, int y1, int x2, int y2, int page, std::uint32_t character,
                     std::uint32_t foreground, std::uint32_t background) {
    ScreenState* screen = current_screen();
    if (!screen || page < 0 || page >= static_cast<int>(screen->text_cells.size())) return;
    std::vector<TextCell>& grid = screen->text_cells[static_cast<std::size_t>(page)];
    const int cols = screen->text_cols;
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, cols);
    y2 = std::min(y2, screen->text_rows);
    if (x1 >= x2 ||
        static_cast<std::size_t>(cols) * static_cast<std::size_t>(std::max(y2, 0)) > grid.size())
        return;
    for (int y = y1; y < y2; ++y) {
        const auto row = grid.begin() + static_cast<std::ptrdiff_t>(y) * cols;
        std::fill(row + x1, row + x2, TextCell{character, foreground, background});
    }
}

} // namespace zered
