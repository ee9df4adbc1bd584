#include "gfx/console/text_output.h"

#include <algorithm>
#include <string>

#include "gfx/console/text_printer.h"
#include "gfx/core/block_ops.h"
#include "gfx/core/builtin_data.h"
#include "gfx/core/draw_context.h"
#include "gfx/core/framebuffer.h"
#include "runtime/print.h"

namespace zered {

namespace {

// What the screen's text window draws with, and the pixel rows one print call has drawn (first
// to end, end exclusive; empty while equal).
struct ScreenTarget {
    ScreenState* screen;
    DrawContext* context;
    int dirty_first = 0;
    int dirty_end = 0;

    void touch_rows(int first, int end) {
        if (dirty_first == dirty_end) {
            dirty_first = first;
            dirty_end = end;
        } else {
            dirty_first = std::min(dirty_first, first);
            dirty_end = std::max(dirty_end, end);
        }
    }
};

ScreenTarget& target_of(TextWindow& window) { return *static_cast<ScreenTarget*>(window.user); }

// The cells of the work page's text grid, or nullptr when it has none.
TextCell* work_cells(ScreenState& screen, const DrawContext& context) {
    const auto page = static_cast<std::size_t>(context.work_page);
    if (page >= screen.text_cells.size()) return nullptr;
    std::vector<TextCell>& grid = screen.text_cells[page];
    const auto cells = static_cast<std::size_t>(std::max(screen.text_cols, 0)) *
                       static_cast<std::size_t>(std::max(screen.text_rows, 0));
    return grid.size() >= cells && cells > 0 ? grid.data() : nullptr;
}

// Bytes 128 to 255 become 0xFF80 to 0xFFFF.
constexpr std::uint32_t cell_character(unsigned char byte) {
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(static_cast<signed char>(byte)));
}

void draw_glyph(DrawContext& context, const FontDesc& font, unsigned char c, int x, int y) {
    const int row_bytes = (font.width + 7) / 8;
    const std::uint8_t* glyph = font.data + static_cast<std::size_t>(c) *
                                                static_cast<std::size_t>(font.height * row_bytes);
    for (int r = 0; r < font.height; ++r) {
        for (int b = 0; b < row_bytes; ++b) {
            const std::uint8_t bits = glyph[r * row_bytes + b];
            for (int bit = 0; bit < 8; ++bit)
                context.put_pixel(context, x + b * 8 + bit, y + r,
                                  (bits >> bit) & 1 ? context.fg_colour : context.bg_colour);
        }
    }
}

int screen_write(TextWindow& window, const unsigned char* bytes, int count) {
    ScreenTarget& target = target_of(window);
    ScreenState& screen = *target.screen;
    DrawContext& context = *target.context;
    const FontDesc& font = *screen.font;
    const int px = font.width * window.x;
    const int py = font.height * window.y;
    if (count == 1 && bytes[0] == 255) {
        // Alone, 255 underlines the cell and leaves the rest of it as it was.
        for (int i = 0; i < font.width; ++i)
            context.put_pixel(context, px + i, py + font.height - 1, context.fg_colour);
    } else {
        for (int i = 0; i < count; ++i)
            draw_glyph(context, font, bytes[i], px + i * font.width, py);
    }
    target.touch_rows(py, py + font.height);

    // The printer hands over only bytes that fit the row from the cursor on.
    TextCell* cells = work_cells(screen, context);
    if (cells && window.y >= 0 && window.y < screen.text_rows) {
        TextCell* cell = cells + static_cast<std::ptrdiff_t>(window.y) * screen.text_cols + window.x;
        for (int i = 0; i < count; ++i)
            cell[i] = {cell_character(bytes[i]), context.fg_colour, context.bg_colour};
    }
    return 1;
}

// The screen's text window spans the grid's full width (left 0, right the last column), so a
// scroll moves whole rows: the cells, and the pixels under the grid's columns.
void screen_scroll(TextWindow& window, int, int top, int, int bottom, int lines) {
    ScreenTarget& target = target_of(window);
    ScreenState& screen = *target.screen;
    DrawContext& context = *target.context;
    const int gh = screen.font->height;

    // Pixels: the rows move up by lines * gh; the rows freed at the bottom take the background.
    // Kept inside the framebuffer whatever the window says (a screen too low for one row of text
    // still has a text view).
    const int first = std::max(gh * top, 0);
    const int end = std::min(gh * (bottom + 1), screen.height);
    const int pixels = screen.font->width * screen.text_cols;
    const long long shift = static_cast<long long>(lines) * gh;
    const int kept_end = shift < end - first ? end - static_cast<int>(shift) : first;
    for (int row = first; row < kept_end; ++row)
        copy_pixels(context.line_table[static_cast<std::size_t>(row)],
                    context.line_table[static_cast<std::size_t>(row + shift)],
                    static_cast<std::size_t>(pixels));
    for (int row = kept_end; row < end; ++row)
        context.fill_span(context.line_table[static_cast<std::size_t>(row)], context.bg_colour,
                          pixels);
    target.touch_rows(gh * top, gh * (bottom + 1));

    // Cells, likewise; a page's rows lie one after the other.
    TextCell* cells = work_cells(screen, context);
    const int cols = screen.text_cols;
    const int c_top = std::max(top, 0);
    const int c_bottom = std::min(bottom, screen.text_rows - 1);
    if (cells && c_top <= c_bottom) {
        const int height = c_bottom - c_top + 1;
        const int kept = lines < height ? height - lines : 0;
        TextCell* row = cells + static_cast<std::ptrdiff_t>(c_top) * cols;
        std::copy(row + static_cast<std::ptrdiff_t>(lines) * cols,
                  row + static_cast<std::ptrdiff_t>(lines + kept) * cols, row);
        std::fill(row + static_cast<std::ptrdiff_t>(kept) * cols,
                  row + static_cast<std::ptrdiff_t>(height) * cols,
                  TextCell{32, context.fg_colour, context.bg_colour});
    }
    window.y = bottom;
}

inline constexpr std::uint32_t opaque = 0xFF000000u;

} // namespace

void print_text(const unsigned char* bytes, int length, unsigned flags) {
    if (length <= 0 && !(flags & rt::PRINT_EVEN_EMPTY)) return;
    ScreenState* screen = current_screen();
    if (!screen || !screen->font) return;
    DrawContext& context = context_get();
    context_pick_primitives(context, opaque);
    screen_lock();

    ScreenTarget target{screen, &context};
    TextWindow window{&target,          screen_scroll,     screen_write,      0,
                      rt::view_top(),   screen->text_cols - 1, rt::view_bottom(), screen->cursor_x,
                      screen->cursor_y};
    if (screen->flags & STATE_WRAP_PENDING) {
        screen->flags &= ~STATE_WRAP_PENDING;
        window.x = 0;
        ++window.y;
        text_window_settle(window);
    }
    text_print(window, bytes, length);
    if (window.x == window.left && window.y == window.bottom + 1) {
        // Ended exactly at the end of the last row: hold the cursor on the last cell and leave
        // the scroll to whatever is printed next.
        screen->flags |= STATE_WRAP_PENDING;
        window.x = window.right;
        window.y = window.bottom;
    } else {
        text_window_settle(window);
    }
    screen->cursor_x = window.x;
    screen->cursor_y = window.y;
    if (context.work_page == screen->visible_page)
        mark_dirty(*screen, target.dirty_first, target.dirty_end - 1);
    screen_unlock(1, 0);
}

void print_text_wide(const std::uint16_t* units, int length, unsigned flags) {
    std::string bytes;
    for (int i = 0; i < length; ++i) {
        const std::uint16_t unit = units[i];
        if (unit <= 0xFF) {
            bytes.push_back(static_cast<char>(unit));
        } else {
            bytes.push_back('?');
            if (unit >= 0xD800 && unit <= 0xDBFF) ++i; // the pair's second half goes with it
        }
    }
    print_text(reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<int>(bytes.size()), flags);
}

int move_cursor(int row, int column, int) {
    ScreenState* screen = current_screen();
    if (!screen) return 0;
    screen->flags &= ~STATE_WRAP_PENDING;
    if (column - 1 >= 0) screen->cursor_x = column - 1;
    if (row - 1 >= 0) screen->cursor_y = row - 1;
    rt::standard_output().column = screen->cursor_x;
    return ((screen->cursor_y & 0xFF) << 8 | (screen->cursor_x & 0xFF)) + 257;
}

int cursor_column() {
    const ScreenState* screen = current_screen();
    return screen ? screen->cursor_x + 1 : 0;
}

int cursor_row() {
    const ScreenState* screen = current_screen();
    return screen ? screen->cursor_y + 1 : 0;
}

void cursor_position(int* column, int* row) {
    if (column) *column = cursor_column();
    if (row) *row = cursor_row();
}

void text_size(int* columns, int* rows) {
    const ScreenState* screen = current_screen();
    if (columns) *columns = screen ? screen->text_cols : 0;
    if (rows) *rows = screen ? screen->text_rows : 0;
}

int set_text_size(int columns, int rows) {
    ScreenState* screen = current_screen();
    if (!screen) return 0;
    const int previous = screen->text_rows << 16 | (screen->text_cols & 0xFFFF);
    if (columns <= 0 && rows <= 0) return previous;
    if ((columns <= 0 || rows <= 0) && !screen->font) return previous;
    const int glyph_width = columns > 0 ? screen->width / columns : screen->font->width;
    const int glyph_height = rows > 0 ? screen->height / rows : screen->font->height;
    const int font = font_for_height(glyph_height);
    if (glyph_width != 8 || font < 0) return previous;

    if (columns > 0) screen->text_cols = columns;
    if (rows > 0) screen->text_rows = rows;
    screen->font = builtin_font(font);
    DrawContext& context = context_get();
    text_cells_reset(context, true);
    view_reset(context);
    rt::text_view_reset();
    clear_whole_screen();
    return previous;
}

void view_changed() {}

int read_cell(int column, int row, int what) {
    ScreenState* screen = current_screen();
    if (!screen || column < 1 || row < 1 || column > screen->text_cols || row > screen->text_rows)
        return 0;
    const TextCell* cells = work_cells(*screen, context_get());
    if (!cells) return 0;
    const TextCell& cell =
        cells[static_cast<std::ptrdiff_t>(row - 1) * screen->text_cols + (column - 1)];
    if (what == 0) return static_cast<int>(cell.character & 0xFFFF);
    if (screen->depth <= 8)
        return static_cast<int>(cell.foreground +
                                cell.background * (screen->depth < 5 ? 16u : 256u));
    const std::uint32_t colour = what == 2 ? cell.background : cell.foreground;
    return static_cast<int>(screen->depth == 16 ? colour_565_to_888(colour) : colour);
}

int console_query() { return 0; }

void centre_last_point(DrawContext& context) {
    context.last_x = static_cast<float>(context.view_x + context.view_w / 2);
    context.last_y = static_cast<float>(context.view_y + context.view_h / 2);
}

void clear_whole_screen() {
    ScreenState* screen = current_screen();
    if (!screen) return;
    DrawContext& context = context_get();
    context_pick_primitives(context, context.bg_colour);
    screen_lock();
    for (int y = 0; y < screen->height; ++y)
        context.fill_span(context.line_table[static_cast<std::size_t>(y)], context.bg_colour,
                          screen->width);
    text_cells_fill(0, 0, screen->text_cols, screen->text_rows, context.work_page, 32,
                    context.fg_colour, context.bg_colour);
    if (context.work_page == screen->visible_page) mark_all_dirty(*screen);
    centre_last_point(context);
    rt::move_cursor(rt::view_top() + 1, 1, 0);
    screen_unlock(1, 0); // a visible work page has every line marked already
}

} // namespace zered
