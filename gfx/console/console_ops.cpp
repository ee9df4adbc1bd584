#include "gfx/console/console_ops.h"

#include <algorithm>
#include <array>

#include "gfx/console/text_output.h"
#include "gfx/core/block_ops.h"
#include "gfx/core/builtin_data.h"
#include "gfx/core/display_driver.h"
#include "gfx/core/draw_context.h"
#include "gfx/core/framebuffer.h"
#include "gfx/core/palette.h"
#include "runtime/console_hooks.h"
#include "runtime/print.h"

namespace zered {

namespace {

int illegal_call() {
    rt::set_last_error(rt::error_illegal_function_call);
    return rt::error_illegal_function_call;
}

// The graphics view clipped to the framebuffer: pixels x0 to x1 and lines y0 to y1, ends
// exclusive; empty when x0 >= x1 or y0 >= y1.
struct Span {
    int x0, y0, x1, y1;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
};

Span clipped_view(const DrawContext& context, const ScreenState& screen) {
    const long long right = static_cast<long long>(context.view_x) + context.view_w;
    const long long bottom = static_cast<long long>(context.view_y) + context.view_h;
    return {std::clamp(context.view_x, 0, screen.width), std::clamp(context.view_y, 0, screen.height),
            static_cast<int>(std::clamp<long long>(right, 0, screen.width)),
            static_cast<int>(std::clamp<long long>(bottom, 0, screen.height))};
}

std::uint8_t* line_at(std::uint8_t* page, const ScreenState& screen, int y, int x) {
    return page + static_cast<std::ptrdiff_t>(y) * screen.pitch +
           static_cast<std::ptrdiff_t>(x) * screen.bytes_per_pixel;
}

void clear_graphics_view(ScreenState& screen, DrawContext& context) {
    const Span view = clipped_view(context, screen);
    if (!view.empty()) {
        for (int y = view.y0; y < view.y1; ++y)
            context.fill_span(context.line_table[static_cast<std::size_t>(y)] +
                                  static_cast<std::ptrdiff_t>(view.x0) * context.bytes_per_pixel,
                              context.bg_colour, view.x1 - view.x0);
        if (context.work_page == screen.visible_page) mark_dirty(screen, view.y0, view.y1 - 1);
    }
    centre_last_point(context);
}

void clear_text_view(ScreenState& screen, DrawContext& context) {
    const int top = rt::view_top();
    const int bottom = rt::view_bottom();
    const long long glyph_height = screen.font ? screen.font->height : 0;
    const int first = static_cast<int>(std::clamp<long long>(glyph_height * top, 0, screen.height));
    const int end =
        static_cast<int>(std::clamp<long long>(glyph_height * (bottom + 1LL), 0, screen.height));
    for (int y = first; y < end; ++y)
        context.fill_span(context.line_table[static_cast<std::size_t>(y)], context.bg_colour,
                          screen.width);
    text_cells_fill(0, top, screen.text_cols, bottom + 1, context.work_page, 32, context.fg_colour,
                    context.bg_colour);
    if (context.work_page == screen.visible_page) mark_dirty(screen, first, end - 1);
    rt::move_cursor(top + 1, 1, 0);
}

// On a numbered mode with a palette of its own the colours go through the palette.
inline constexpr int mode_cga = 1;
constexpr bool is_ega_mode(int mode) { return mode == 7 || mode == 8 || mode == 9; }

std::int32_t previous_colours(const ScreenState& screen, const DrawContext& context) {
    if (screen.depth <= 8) return static_cast<std::int32_t>(context.bg_colour << 16 | context.fg_colour);
    if (screen.depth == 16) return static_cast<std::int32_t>(colour_565_to_888(context.fg_colour));
    return static_cast<std::int32_t>(context.fg_colour);
}

// A page number the screen has, or -1.
int existing_page(const ScreenState& screen, int page, int if_negative) {
    if (page < 0) return if_negative;
    return page < screen.page_count ? page : -1;
}

} // namespace

void clear_screen(int mode) {
    ScreenState* screen = current_screen();
    if (!screen) return;
    DrawContext& context = context_get();
    context_pick_primitives(context, context.bg_colour);
    screen_lock();
    if (mode == CLEAR_DEFAULT) {
        if (context.flags & CONTEXT_VIEW_SET)
            mode = CLEAR_GRAPHICS_VIEW;
        else if (rt::view_top() == 0 && rt::view_bottom() == screen->text_rows - 1)
            mode = CLEAR_ALL;
        else
            mode = CLEAR_TEXT_VIEW;
    }
    if (mode == CLEAR_ALL)
        clear_whole_screen();
    else if (mode == CLEAR_TEXT_VIEW)
        clear_text_view(*screen, context);
    else
        clear_graphics_view(*screen, context);
    screen_unlock(1, 0);
}

std::int32_t set_colour(std::int32_t foreground, std::int32_t background, unsigned flags) {
    ScreenState* screen = current_screen();
    if (!screen) return 0;
    DrawContext& context = context_get();
    const std::int32_t previous = previous_colours(*screen, context);
    const bool set_fg = !(flags & COLOUR_KEEP_FG);
    const bool set_bg = !(flags & COLOUR_KEEP_BG);
    if (screen->mode_num == mode_cga) {
        // The background's two low bits pick one of the four colour sets, -4 to -1.
        if (set_bg) palette_set(background | static_cast<std::int32_t>(0xFFFFFFFCu), 0, 0, 0);
        if (set_fg) palette_set(0, foreground, -1, -1);
    } else if (is_ega_mode(screen->mode_num)) {
        if (set_fg) context.fg_colour = static_cast<std::uint32_t>(foreground) & 15u;
        if (set_bg) palette_set(0, background, -1, -1);
    } else {
        if (set_fg) context.fg_colour = colour_to_depth(context.bytes_per_pixel, static_cast<std::uint32_t>(foreground));
        if (set_bg) context.bg_colour = colour_to_depth(context.bytes_per_pixel, static_cast<std::uint32_t>(background));
    }
    return previous;
}

int set_pages(int work, int visible) {
    ScreenState* screen = current_screen();
    if (!screen) return 0;
    DrawContext& context = context_get();
    const int previous = screen->visible_page << 8 | context.work_page;
    if (work < 0 && visible < 0) work = visible = 0;
    if (work >= 0 && work < screen->page_count) {
        context.work_page = work;
        context_point_at_work_page(context, *screen);
    }
    if (visible >= 0 && visible < screen->page_count && visible != screen->visible_page) {
        screen_lock();
        screen->visible_page = visible;
        screen->visible_fb = screen->pages[static_cast<std::size_t>(visible)].pixels;
        mark_all_dirty(*screen);
        screen_unlock(1, 0); // every line is marked already
    }
    return previous;
}

int copy_page(int source, int destination) {
    ScreenState* screen = current_screen();
    if (!screen) return illegal_call();
    if (screen->driver && screen->driver->flip) {
        // Such a driver presents whole frames from its own buffer: there is no page to copy.
        screen->driver->flip();
        if (screen->driver->poll_events) screen->driver->poll_events();
        return illegal_call();
    }
    DrawContext& context = context_get();
    source = existing_page(*screen, source, context.work_page);
    destination = existing_page(*screen, destination, screen->visible_page);
    if (source < 0 || destination < 0) return illegal_call();
    if (source == destination) return 0;

    const bool take_lock = destination == screen->visible_page && screen->lock_count == 0;
    if (take_lock) screen_lock();
    const Span view = clipped_view(context, *screen);
    if (!view.empty()) {
        std::uint8_t* from = screen->pages[static_cast<std::size_t>(source)].pixels;
        std::uint8_t* to = screen->pages[static_cast<std::size_t>(destination)].pixels;
        const auto bytes = static_cast<std::size_t>(view.x1 - view.x0) *
                           static_cast<std::size_t>(screen->bytes_per_pixel);
        for (int y = view.y0; y < view.y1; ++y)
            copy_bytes(line_at(to, *screen, y, view.x0), line_at(from, *screen, y, view.x0), bytes);
    }
    const auto cells = screen->text_cells.size();
    if (static_cast<std::size_t>(source) < cells && static_cast<std::size_t>(destination) < cells) {
        const std::vector<TextCell>& from = screen->text_cells[static_cast<std::size_t>(source)];
        std::vector<TextCell>& to = screen->text_cells[static_cast<std::size_t>(destination)];
        std::copy_n(from.begin(), std::min(from.size(), to.size()), to.begin());
    }
    if (take_lock) {
        if (!view.empty()) mark_dirty(*screen, view.y0, view.y1 - 1);
        screen_unlock(1, 0);
    }
    return 0;
}

int query_mouse(int* x, int* y, int* wheel, int* buttons, int* clip) {
    // Every value the caller does not want lands in one scratch int.
    int unwanted = 0;
    const std::array<int*, 5> out{x ? x : &unwanted, y ? y : &unwanted, wheel ? wheel : &unwanted,
                                  buttons ? buttons : &unwanted, clip ? clip : &unwanted};
    const ScreenState* screen = current_screen();
    int result = -1;
    if (screen && screen->driver && screen->driver->get_mouse) {
        screen_lock();
        result = screen->driver->get_mouse(out[0], out[1], out[2], out[3], out[4]);
        screen_unlock(1, 0);
    }
    if (result == 0) return 0;
    for (int* value : out) *value = -1;
    return illegal_call();
}

int move_mouse(int x, int y, int visible, int clip) {
    const ScreenState* screen = current_screen();
    if (!screen || !screen->driver || !screen->driver->set_mouse) return illegal_call();
    screen_lock();
    screen->driver->set_mouse(x, y, visible, clip);
    screen_unlock(1, 0);
    return 0;
}

} // namespace zered
