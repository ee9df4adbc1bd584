#include "gfx/console/console_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "gfx/console/console_ports.h"
#include "gfx/console/text_output.h"
#include "gfx/core/draw_context.h"
#include "gfx/core/framebuffer.h"
#include "gfx/screen/screen_setup.h"
#include "runtime/console_hooks.h"
#include "runtime/print.h"

namespace {

using namespace zered;

// What the recording driver was asked.
struct DriverLog {
    int locks = 0, vsyncs = 0, flips = 0;
    bool held = false, mouse_locked = false; // mouse_locked: the lock was held at the mouse call
    int mouse_result = 0;                    // what get_mouse answers
    std::vector<int> set_mouse_args;
    std::vector<std::vector<int>> palette; // index, red, green, blue, lock held
};
DriverLog& driver_log() {
    static DriverLog l;
    return l;
}

int accept(const char*, int, int, int, int, ModeFlags) { return 0; }
void lock() { ++driver_log().locks, driver_log().held = true; }
void unlock() { driver_log().held = false; }
void set_palette(int i, int r, int g, int b) {
    driver_log().palette.push_back({i, r, g, b, driver_log().held});
}
void wait_vsync() { ++driver_log().vsyncs; }
int get_mouse(int* x, int* y, int* wheel, int* buttons, int* clip) {
    driver_log().mouse_locked = driver_log().held;
    *x = 10, *y = 20, *wheel = 3, *buttons = 1, *clip = 0;
    return driver_log().mouse_result;
}
void set_mouse(int x, int y, int visible, int clip) {
    driver_log().mouse_locked = driver_log().held;
    driver_log().set_mouse_args = {x, y, visible, clip};
}
void flip() { ++driver_log().flips; }

const DisplayDriver recording{"Rec",   accept,     nullptr,   lock,      unlock,
                              set_palette, wait_vsync, get_mouse, set_mouse, nullptr,
                              nullptr, nullptr,    nullptr,   nullptr};
const DisplayDriver flipping{"Flip",  accept,  nullptr, lock,    unlock,  nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr, flip,    flip};

class ConsoleOps : public ::testing::Test {
  protected:
    void TearDown() override {
        screen_exit_handler();
        override_driver_choice(nullptr);
    }
    // Opens a screen by pixel size on the driver (nullptr: the null driver) and forgets what
    // the set-up asked of it.
    void open(int width, int height, int depth, int pages, const DisplayDriver* driver,
              ModeFlags flags = 0) {
        use(driver);
        ASSERT_EQ(screen_open_sized(width, height, depth, pages, flags, 0), 0);
        driver_log() = DriverLog{};
    }
    void open_mode(int mode) {
        use(&recording);
        ASSERT_EQ(screen_open_mode(mode, 0, 0, 0, 0), 0);
        driver_log() = DriverLog{};
    }
    void use(const DisplayDriver* driver) {
        drivers[0] = driver;
        choice = {drivers, driver ? nullptr : "null"};
        override_driver_choice(&choice);
    }
    static ScreenState& screen() { return *current_screen(); }
    static std::uint8_t* page(int n) { return screen().pages[static_cast<std::size_t>(n)].pixels; }
    // How many lines were marked dirty since the last call.
    static int dirty_lines() {
        auto& dirty = screen().dirty;
        const auto marked = std::count(dirty.begin(), dirty.begin() + screen().height, 1);
        std::fill(dirty.begin(), dirty.end(), 0);
        return static_cast<int>(marked);
    }
    // Fills the pixels of a page with a byte and its text cells with a character.
    static void paint(int n, std::uint8_t byte, char c) {
        std::memset(page(n), byte, static_cast<std::size_t>(screen().pitch * screen().height));
        text_cells_fill(0, 0, screen().text_cols, screen().text_rows, n,
                        static_cast<std::uint32_t>(c), 15, 0);
    }
    static char cell(int page_index, int column, int row) {
        const auto& grid = screen().text_cells[static_cast<std::size_t>(page_index)];
        return static_cast<char>(grid[static_cast<std::size_t>(row * screen().text_cols + column)]
                                     .character);
    }
    static bool line_is(int n, int y, std::uint8_t byte) {
        const std::uint8_t* line = page(n) + y * screen().pitch;
        return std::all_of(line, line + screen().pitch, [&](std::uint8_t b) { return b == byte; });
    }

    const DisplayDriver* drivers[1] = {nullptr};
    DriverChoiceOverride choice{};
};

TEST_F(ConsoleOps, ClearingTheTextViewTheWholeScreenAndTheGraphicsView) {
    open(400, 80, 8, 1, &recording); // 50 by 10 cells of 8 by 8
    ASSERT_EQ(rt::text_view_set(3, 8), 0);
    paint(0, 0x55, 'X');
    dirty_lines();
    rt::move_cursor(4, 7, 0);

    // No mode, text view of rows 3 to 8: only pixel lines 16 to 63 and cell rows 2 to 7.
    clear_screen(CLEAR_DEFAULT);
    EXPECT_EQ(screen().lock_count, 0);
    for (int y = 0; y < 80; ++y)
        EXPECT_TRUE(line_is(0, y, y >= 16 && y < 64 ? 0 : 0x55)) << "line " << y;
    for (int row = 0; row < 10; ++row)
        for (const int column : {0, 49})
            EXPECT_EQ(cell(0, column, row), row >= 2 && row <= 7 ? ' ' : 'X') << "row " << row;
    EXPECT_TRUE(screen().dirty[16] && screen().dirty[63]);
    EXPECT_EQ(dirty_lines(), 48);
    EXPECT_EQ(std::pair(screen().cursor_x, screen().cursor_y), std::pair(0, 2));
    EXPECT_EQ(driver_log().locks, 1);

    // Everything, marked dirty: the cursor goes to the view's first row, not to row 1.
    paint(0, 0x55, 'X');
    rt::move_cursor(4, 7, 0);
    dirty_lines();
    clear_screen(CLEAR_ALL);
    EXPECT_TRUE(line_is(0, 0, 0) && line_is(0, 79, 0) && cell(0, 0, 0) == ' ');
    EXPECT_EQ(dirty_lines(), 80);
    EXPECT_EQ(std::pair(screen().cursor_x, screen().cursor_y), std::pair(0, 2));
    EXPECT_EQ(std::pair(context_get().last_x, context_get().last_y), std::pair(200.0f, 40.0f));

    // A graphics view, once set, is what no mode clears; cells and cursor stay.
    rt::move_cursor(5, 7, 0);
    paint(0, 0x55, 'X');
    dirty_lines();
    DrawContext& context = context_get();
    context.view_x = 8, context.view_y = 10, context.view_w = 16, context.view_h = 4;
    context.flags |= CONTEXT_VIEW_SET;
    clear_screen(CLEAR_DEFAULT);
    const std::uint8_t* pixels = page(0);
    EXPECT_EQ(std::vector<int>({pixels[10 * 400 + 7], pixels[10 * 400 + 8], pixels[13 * 400 + 23],
                                pixels[13 * 400 + 24], pixels[9 * 400 + 8], pixels[14 * 400 + 8]}),
              std::vector<int>({0x55, 0, 0, 0x55, 0x55, 0x55}));
    EXPECT_EQ(dirty_lines(), 4);
    EXPECT_EQ(cell(0, 1, 2), 'X');
    EXPECT_EQ(std::pair(screen().cursor_x, screen().cursor_y), std::pair(6, 4));
    EXPECT_EQ(std::pair(context.last_x, context.last_y), std::pair(16.0f, 12.0f));

    // A view wholly right of the screen clears and marks nothing.
    context.view_x = 400;
    clear_screen(CLEAR_DEFAULT);
    EXPECT_EQ(dirty_lines(), 0);

    // A text view from the first row that stops short of the last is not the whole screen.
    context.flags &= ~CONTEXT_VIEW_SET;
    ASSERT_EQ(rt::text_view_set(1, 5), 0);
    paint(0, 0x55, 'X');
    clear_screen(CLEAR_DEFAULT);
    EXPECT_TRUE(line_is(0, 0, 0) && line_is(0, 39, 0) && line_is(0, 40, 0x55) &&
                cell(0, 0, 5) == 'X');
    // And one that ends on the last row clears the last line.
    ASSERT_EQ(rt::text_view_set(6, 10), 0);
    paint(0, 0x55, 'X');
    clear_screen(CLEAR_TEXT_VIEW);
    EXPECT_TRUE(line_is(0, 39, 0x55) && line_is(0, 40, 0) && line_is(0, 79, 0));

    // A text view of every row is the whole screen, also the lines below the last text row.
    open_mode(15); // 400 by 300: 37 rows of 8 lines leave 4
    paint(0, 0x55, 'X');
    clear_screen(CLEAR_DEFAULT);
    EXPECT_TRUE(line_is(0, 299, 0));
}

// Text reaches the pixels under the driver's lock, taken once a print and given back.
TEST_F(ConsoleOps, PrintingHoldsTheLock) {
    // 50 columns, as every screen here that prints: the output device keeps the width it first saw.
    open(400, 80, 8, 1, &recording);
    rt::print_string(rt::standard_output_channel, "ab\r\ncd\r\nef", 0);
    EXPECT_EQ(driver_log().locks, 1);
    EXPECT_FALSE(driver_log().held);
    EXPECT_EQ(screen().lock_count, 0);
}

// Without a screen every operation answers at once and touches nothing.
TEST_F(ConsoleOps, WithoutAScreen) {
    ASSERT_EQ(current_screen(), nullptr);
    clear_screen(CLEAR_ALL);
    EXPECT_EQ(set_colour(4, 1, 0), 0);
    EXPECT_EQ(set_pages(1, 1), 0);
    rt::set_last_error(0);
    EXPECT_EQ(copy_page(0, 1), 1);
    EXPECT_EQ(rt::last_error(), 1);
    int x = 0;
    EXPECT_EQ(query_mouse(&x, nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(move_mouse(1, 1, 1, 0), 1);

    // The text operations answer 0 and leave the output device's column alone.
    rt::standard_output().column = 7;
    EXPECT_EQ(move_cursor(2, 3, 0), 0);
    EXPECT_EQ(cursor_column() + cursor_row() + set_text_size(50, 10) + read_cell(1, 1, 0), 0);
    int columns = 5, rows = 5;
    text_size(&columns, &rows);
    EXPECT_EQ(std::pair(columns, rows), std::pair(0, 0));
    print_text(reinterpret_cast<const unsigned char*>("a"), 1, 0);
    print_text(nullptr, 0, rt::PRINT_EVEN_EMPTY);
    clear_whole_screen();
    EXPECT_EQ(rt::standard_output().column, 7);
}

// A new text size clears the screen under one lock, given back.
TEST_F(ConsoleOps, TextSizeClearsUnderTheLock) {
    open(400, 80, 8, 1, &recording);
    paint(0, 0x55, 'X');
    EXPECT_EQ(set_text_size(50, 5), 10 << 16 | 50);
    EXPECT_TRUE(line_is(0, 0, 0) && line_is(0, 79, 0));
    EXPECT_EQ(driver_log().locks, 1);
    EXPECT_FALSE(driver_log().held);
    EXPECT_EQ(dirty_lines(), 80);
}

TEST_F(ConsoleOps, SetColourByScreenKind) {
    open(400, 80, 8, 1, nullptr);
    EXPECT_EQ(set_colour(4, 1, 0), 15) << "old background 0 << 16 | old foreground 15";
    EXPECT_EQ(set_colour(0x1234, 0x5678, COLOUR_KEEP_FG | COLOUR_KEEP_BG), 1 << 16 | 4);
    set_colour(0x1FF, 0x2AB, COLOUR_KEEP_BG);
    EXPECT_EQ(std::pair(context_get().fg_colour, context_get().bg_colour), std::pair(0xFFu, 1u));

    // 16 bits: colours go in as 0x00RRGGBB, the previous foreground comes back as 0xFFRRGGBB.
    open(64, 16, 16, 1, nullptr);
    EXPECT_EQ(static_cast<std::uint32_t>(set_colour(0xFF8000, 0x0000FF, 0)), 0xFFFFFFFFu);
    EXPECT_EQ(std::pair(context_get().fg_colour, context_get().bg_colour), std::pair(0xFC00u, 0x1Fu));
    EXPECT_EQ(static_cast<std::uint32_t>(set_colour(0, 0, 3)), 0xFFFF8200u);
    set_colour(0x804020, 0x102030, 0); // components whose bits all differ from their neighbours'
    EXPECT_EQ(std::pair(context_get().fg_colour, context_get().bg_colour),
              std::pair(0x8204u, 0x1106u));

    // Modes 7 to 9: the foreground is a colour of 4 bits, the background palette entry 0's
    // value. Other numbered modes take both colours as they are.
    for (const int mode : {7, 8, 9, 10, 12, 13}) {
        open_mode(mode);
        const std::uint32_t entry_0 = screen().device_palette[0];
        set_colour(0x1E, 2, 0);
        const bool through_palette = mode >= 7 && mode <= 9;
        EXPECT_EQ(context_get().fg_colour, through_palette ? 14u : 0x1Eu) << mode;
        EXPECT_EQ(screen().device_palette[0], through_palette ? screen().source_palette[2] : entry_0)
            << mode;
        if (!through_palette) {
            EXPECT_EQ(context_get().bg_colour, 2u) << mode;
        }
    }

    // Mode 1: the background's low bits pick the colour set (1 is set -3: 0, 3, 5, 7) and the
    // foreground is entry 0's value; the drawing colours stay.
    open_mode(1);
    const std::uint32_t fg = context_get().fg_colour;
    set_colour(5, 1, 0);
    const auto& device = screen().device_palette;
    const auto& source = screen().source_palette;
    EXPECT_TRUE(device[1] == source[3] && device[3] == source[7] && device[0] == source[5]);
    EXPECT_EQ(context_get().fg_colour, fg);
}

TEST_F(ConsoleOps, PagesChosenAndCopied) {
    open(400, 80, 8, 3, &recording);
    paint(0, 0, ' ');
    dirty_lines();

    // Drawing on a hidden page leaves the visible one and its dirty flags alone.
    EXPECT_EQ(set_pages(1, -1), 0);
    rt::print_string(rt::standard_output_channel, "AB", 0);
    EXPECT_EQ(std::pair(cell(1, 0, 0), cell(0, 0, 0)), std::pair('A', ' '));
    EXPECT_NE(std::memcmp(page(0), page(1), 400 * 8), 0);
    EXPECT_TRUE(line_is(0, 2, 0));
    EXPECT_EQ(dirty_lines(), 0);

    // Showing it switches visible_fb under the lock and marks everything.
    driver_log().locks = 0;
    EXPECT_EQ(set_pages(-1, 1), 1);
    EXPECT_EQ(screen().visible_fb, page(1));
    EXPECT_EQ(dirty_lines(), 80);
    EXPECT_EQ(driver_log().locks, 1);
    EXPECT_EQ(set_pages(7, -5), 1 << 8 | 1) << "pages that do not exist change nothing";
    EXPECT_EQ(set_pages(3, 3), 1 << 8 | 1);
    EXPECT_EQ(std::pair(context_get().work_page, screen().visible_page), std::pair(1, 1));
    EXPECT_EQ(set_pages(-1, 1), 1 << 8 | 1);
    EXPECT_EQ(dirty_lines(), 0) << "the page already shown is not shown again";
    EXPECT_EQ(set_pages(0, -1), 1 << 8 | 1);
    EXPECT_EQ(screen().visible_page, 1) << "a work page alone leaves the visible one";
    EXPECT_EQ(set_pages(-1, -1), 1 << 8 | 0);
    EXPECT_EQ(set_pages(-1, -1), 0) << "both negative chose page 0 for both";
    EXPECT_EQ(screen().visible_fb, page(0));

    // Copy onto the visible page: the view and the text grid, under a lock of its own.
    dirty_lines();
    driver_log().locks = 0;
    EXPECT_EQ(copy_page(1, -1), 0);
    EXPECT_EQ(std::memcmp(page(0), page(1), 400 * 80), 0);
    EXPECT_EQ(cell(0, 1, 0), 'B');
    EXPECT_EQ(driver_log().locks, 1);
    EXPECT_EQ(dirty_lines(), 80);

    // With the program's lock held, the copy runs under it and marks nothing.
    paint(2, 0x11, 'Z');
    screen_lock();
    EXPECT_EQ(copy_page(2, 0), 0);
    EXPECT_EQ(dirty_lines(), 0);
    screen_unlock(1, 0);
    EXPECT_EQ(driver_log().locks, 2);
    EXPECT_TRUE(line_is(0, 79, 0x11) && cell(0, 0, 9) == 'Z');

    // A page onto itself: nothing to do, no lock, no marks.
    driver_log().locks = 0;
    EXPECT_EQ(copy_page(0, -1), 0);
    EXPECT_EQ(driver_log().locks, 0);
    EXPECT_EQ(dirty_lines(), 0);

    // Onto a hidden page: no lock, no marks.
    driver_log().locks = 0;
    EXPECT_EQ(copy_page(0, 1), 0);
    EXPECT_EQ(driver_log().locks, 0);
    EXPECT_EQ(dirty_lines(), 0);

    rt::set_last_error(0);
    EXPECT_EQ(copy_page(3, 0), 1);
    EXPECT_EQ(rt::last_error(), 1);
    EXPECT_EQ(copy_page(0, 3), 1);
    EXPECT_EQ(copy_page(1, 1), 0);

    // Page 0 named is page 0, not the work page.
    EXPECT_EQ(set_pages(2, -1), 0);
    paint(0, 0x33, 'Q');
    EXPECT_EQ(copy_page(0, 1), 0);
    EXPECT_EQ(std::memcmp(page(0), page(1), 400 * 80), 0);

    // A driver that flips its own frames has no pages to copy: flip and poll instead.
    open(64, 16, 8, 2, &flipping);
    EXPECT_EQ(copy_page(1, 0), 1);
    EXPECT_EQ(driver_log().flips, 2);

    // Page arguments of a numbered mode go through set_pages.
    use(nullptr);
    EXPECT_EQ(screen_open_mode_pages(7, 2, 3), 0);
    EXPECT_EQ(std::pair(context_get().work_page, screen().visible_page), std::pair(2, 3));
}

// The graphics view at an offset, reaching past the screen's edges, on every pixel size: clears
// and copies touch its pixels alone, and only a visible work page gets marks.
TEST_F(ConsoleOps, GraphicsViewsAtAnOffsetOnEveryPixelSize) {
    struct View {
        int x, y, w, h;     // as set
        int x0, y0, x1, y1; // on the screen, ends exclusive
    };
    const View views[] = {{3, 2, 5, 4, 3, 2, 8, 6},       {-2, -3, 5, 6, 0, 0, 3, 3},
                          {60, 14, 10, 10, 60, 14, 64, 16}, {-10, 2, 5, 4, 0, 2, 0, 6},
                          {3, -9, 5, 4, 3, 0, 8, 0}};
    for (const int depth : {8, 16, 32}) {
        open(64, 16, depth, 2, &recording);
        const int bytes = screen().bytes_per_pixel;
        // Every byte of a page differs from its neighbours, and page 1's from page 0's.
        const auto pattern = [&](int n) {
            std::uint8_t* p = page(n);
            for (int i = 0; i < screen().pitch * 16; ++i)
                p[i] = static_cast<std::uint8_t>(i * 7 + n * 101 + 1);
        };
        const auto pixel = [&](int n, int x, int y) {
            std::uint32_t value = 0;
            std::memcpy(&value, page(n) + y * screen().pitch + x * bytes,
                        static_cast<std::size_t>(bytes));
            return value;
        };
        set_colour(0x123456, 0x0A0B0C, 0);
        const std::uint32_t background = context_get().bg_colour;
        for (const View& v : views) {
            SCOPED_TRACE(testing::Message() << depth << " bits, view at " << v.x << "," << v.y);
            DrawContext& context = context_get();
            context.view_x = v.x, context.view_y = v.y, context.view_w = v.w, context.view_h = v.h;
            context.flags |= CONTEXT_VIEW_SET;
            const auto inside = [&](int x, int y) {
                return x >= v.x0 && x < v.x1 && y >= v.y0 && y < v.y1;
            };
            const int marks = v.x1 > v.x0 && v.y1 > v.y0 ? v.y1 - v.y0 : 0;

            // Cleared on the visible page: the view's lines marked.
            pattern(0);
            std::vector<std::uint32_t> before;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 64; ++x) before.push_back(pixel(0, x, y));
            dirty_lines();
            clear_screen(CLEAR_GRAPHICS_VIEW);
            int wrong = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 64; ++x)
                    wrong += pixel(0, x, y) !=
                             (inside(x, y) ? background : before[static_cast<std::size_t>(y * 64 + x)]);
            EXPECT_EQ(wrong, 0) << "pixels cleared wrongly";
            EXPECT_EQ(dirty_lines(), marks);

            // Copied from page 1.
            pattern(0), pattern(1);
            dirty_lines();
            EXPECT_EQ(copy_page(1, 0), 0);
            wrong = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 64; ++x)
                    wrong += pixel(0, x, y) != pixel(inside(x, y) ? 1 : 0, x, y) ||
                             (!inside(x, y) && pixel(0, x, y) == pixel(1, x, y));
            EXPECT_EQ(wrong, 0) << "pixels copied wrongly";
            EXPECT_EQ(dirty_lines(), marks);

            // Cleared on a hidden work page: the shown page and the marks stay as they were.
            pattern(0), pattern(1);
            const std::uint32_t shown = pixel(0, 3, 2);
            ASSERT_EQ(set_pages(1, -1), 0);
            dirty_lines();
            clear_screen(CLEAR_GRAPHICS_VIEW);
            if (marks) {
                EXPECT_EQ(pixel(1, v.x0, v.y0), background);
            }
            EXPECT_EQ(pixel(0, 3, 2), shown);
            EXPECT_EQ(dirty_lines(), 0);
            ASSERT_EQ(set_pages(0, -1), 0 << 8 | 1);
        }
    }
}

// Clearing the text view of a hidden work page clears that page's cells and pixels alone.
TEST_F(ConsoleOps, ClearingTheTextViewOfAHiddenPage) {
    open(400, 80, 8, 2, &recording);
    paint(0, 0x55, 'X');
    paint(1, 0x66, 'Y');
    ASSERT_EQ(rt::text_view_set(2, 3), 0);
    ASSERT_EQ(set_pages(1, -1), 0);
    dirty_lines();
    clear_screen(CLEAR_TEXT_VIEW);
    EXPECT_EQ(dirty_lines(), 0);
    EXPECT_TRUE(line_is(1, 7, 0x66) && line_is(1, 8, 0) && line_is(1, 23, 0) && line_is(1, 24, 0x66));
    EXPECT_TRUE(line_is(0, 8, 0x55) && line_is(0, 23, 0x55));
    EXPECT_EQ(std::vector<char>({cell(1, 0, 0), cell(1, 49, 1), cell(1, 0, 2), cell(1, 0, 3)}),
              std::vector<char>({'Y', ' ', ' ', 'Y'}));
    EXPECT_EQ(std::vector<char>({cell(0, 0, 1), cell(0, 0, 2)}), std::vector<char>({'X', 'X'}));
}

// On a 32-bit screen with alpha primitives a translucent background is blended over what is
// there by every kind of clear; an opaque one is stored as it is.
TEST_F(ConsoleOps, ATranslucentBackgroundBlendsWhenItClears) {
    open(64, 16, 32, 1, nullptr, MODE_ALPHA_PRIMITIVES);
    ASSERT_TRUE(screen().flags & STATE_ALPHA_PRIMITIVES);
    ASSERT_EQ(rt::text_view_set(1, 1), 0); // one text row: pixel lines 0 to 7
    DrawContext& context = context_get();
    context.view_x = 0, context.view_y = 8, context.view_w = 64, context.view_h = 8;
    const auto first_pixel_of_line = [&](int y) {
        std::uint32_t value = 0;
        std::memcpy(&value, page(0) + y * screen().pitch, 4);
        return value;
    };
    for (const int mode : {CLEAR_ALL, CLEAR_TEXT_VIEW, CLEAR_GRAPHICS_VIEW}) {
        SCOPED_TRACE(mode);
        set_colour(0xFFFFFF, static_cast<std::int32_t>(0xFFFFFFFFu), 0);
        clear_screen(CLEAR_ALL); // opaque white
        EXPECT_EQ(first_pixel_of_line(mode == CLEAR_GRAPHICS_VIEW ? 8 : 0), 0xFFFFFFFFu);
        set_colour(0xFFFFFF, static_cast<std::int32_t>(0x80000000u), 0); // half black
        clear_screen(mode);
        const std::uint32_t blended = first_pixel_of_line(mode == CLEAR_GRAPHICS_VIEW ? 8 : 0);
        const std::uint32_t green = blended >> 8 & 0xFF;
        EXPECT_TRUE(green > 0x60 && green < 0xA0) << std::hex << blended;
        EXPECT_EQ(blended & 0xFF, green);
    }
}

TEST_F(ConsoleOps, PalettePorts) {
    port_state_reset();
    open(400, 80, 8, 1, &recording);
    EXPECT_EQ(port_out(PORT_DAC_WRITE_INDEX, 5), 0);
    for (const int component : {63, 0, 63}) EXPECT_EQ(port_out(PORT_DAC_DATA, component), 0);
    EXPECT_EQ(screen().device_palette[5], 0xFF00FFu);
    for (const int component : {0x40 | 21, 42, 0}) port_out(PORT_DAC_DATA, component);
    EXPECT_EQ(screen().device_palette[6], 170u << 8 | 85u) << "the next entry; 6-bit components";

    // Reads: 6-bit components of the default colours, the entry wrapping at 256.
    port_out(PORT_DAC_READ_INDEX, 255);
    const std::uint32_t last = screen().source_palette[255], first = screen().source_palette[0];
    std::vector<std::uint32_t> read;
    for (int i = 0; i < 4; ++i) read.push_back(static_cast<std::uint32_t>(port_in(PORT_DAC_DATA)));
    EXPECT_EQ(read, std::vector<std::uint32_t>({(last >> 2) & 63, (last >> 10) & 63,
                                                (last >> 18) & 63, (first >> 2) & 63}));

    // Default entries whose components all differ: red, green, blue in that order, and the next
    // entry after the third component, not before.
    const auto components = [&](int first, int count) {
        std::vector<int> all;
        for (int e = first; e < first + count; ++e)
            for (const int shift : {2, 10, 18})
                all.push_back(static_cast<int>(screen().source_palette[e & 255] >> shift & 63));
        return all;
    };
    int entry = 16; // the first entry whose components differ from each other and the next red
    for (std::vector<int> c = components(entry, 2);
         c[0] == c[1] || c[1] == c[2] || c[0] == c[2] || c[3] == c[0] || c[3] == c[1] ||
         c[3] == c[2];
         c = components(++entry, 2))
        ASSERT_LT(entry, 250);
    const std::vector<int> defaults = components(entry, 3);
    port_out(PORT_DAC_READ_INDEX, entry);
    std::vector<int> back;
    for (std::size_t i = 0; i < defaults.size(); ++i) back.push_back(port_in(PORT_DAC_DATA));
    EXPECT_EQ(back, defaults);
    // A new index starts at red again, even mid-entry.
    port_out(PORT_DAC_READ_INDEX, entry);
    EXPECT_EQ(port_in(PORT_DAC_DATA), defaults[0]);
    port_out(PORT_DAC_READ_INDEX, entry + 1);
    EXPECT_EQ(port_in(PORT_DAC_DATA), defaults[3]);

    EXPECT_EQ(port_in(0x10000 | PORT_INPUT_STATUS), STATUS_RETRACE) << "16-bit port numbers";
    EXPECT_EQ(driver_log().vsyncs, 1);
    EXPECT_EQ(port_in(0x3C8), -1);
    EXPECT_EQ(port_out(0x3C6, 0), -1);
    EXPECT_EQ(port_out(0x3CA, 0), -1);

    // A new index drops the components written so far.
    port_out(PORT_DAC_WRITE_INDEX, 7);
    port_out(PORT_DAC_DATA, 63);
    port_out(PORT_DAC_WRITE_INDEX, 7);
    for (const int component : {1, 2, 3}) port_out(PORT_DAC_DATA, component);
    EXPECT_EQ(screen().device_palette[7], 12u << 16 | 8u << 8 | 4u);

    // A sequence broken off by a new screen goes on at the same component.
    port_out(PORT_DAC_WRITE_INDEX, 9);
    port_out(PORT_DAC_DATA, 63);
    open(400, 80, 8, 1, &recording);
    port_out(PORT_DAC_DATA, 63);
    port_out(PORT_DAC_DATA, 0);
    EXPECT_EQ(screen().device_palette[9], 0x00FFFFu);

    // Mode 9 (64 colours): pixel value 6 shows entry 20, which the port sets directly.
    open_mode(9);
    port_out(PORT_DAC_WRITE_INDEX, 20 | 64);
    for (const int component : {63, 1, 2}) port_out(PORT_DAC_DATA, component);
    const std::uint32_t colour = 2u << 18 | 1u << 10 | 63u << 2;
    EXPECT_EQ(screen().source_palette[20], colour);
    EXPECT_EQ(driver_log().palette, std::vector<std::vector<int>>({{6, 252, 4, 8, 1}}))
        << "value 6 alone, sent under the lock";
    EXPECT_EQ(screen().device_palette[6], colour);
    EXPECT_EQ(dirty_lines(), screen().height);

    // Value 0 shows entry 0.
    port_out(PORT_DAC_WRITE_INDEX, 0);
    for (const int component : {1, 2, 3}) port_out(PORT_DAC_DATA, component);
    EXPECT_EQ(screen().device_palette[0], 3u << 18 | 2u << 10 | 1u << 2);

    // There, written entries read back as written, across the wrap from 63 to 0.
    port_out(PORT_DAC_WRITE_INDEX, 62);
    const std::vector<int> written{1, 2, 3, 61, 62, 60, 17, 34, 51};
    for (const int component : written) port_out(PORT_DAC_DATA, component);
    EXPECT_EQ(screen().source_palette[63], 60u << 18 | 62u << 10 | 61u << 2);
    port_out(PORT_DAC_READ_INDEX, 62 | 128);
    back.clear();
    for (std::size_t i = 0; i < written.size(); ++i) back.push_back(port_in(PORT_DAC_DATA));
    EXPECT_EQ(back, written);

    // Mode 1 (2 bits): an entry changes the values of the screen mapped to it, and no others.
    open_mode(1);
    std::vector<std::vector<int>> expected;
    for (int v = 0; v < 4; ++v)
        if (screen().colour_map[static_cast<std::size_t>(v)] == 0) expected.push_back({v, 4, 8, 12, 1});
    ASSERT_FALSE(expected.empty());
    port_out(PORT_DAC_WRITE_INDEX, 0x100); // the low 8 bits: entry 0
    for (const int component : {0x101, 2, 3}) port_out(PORT_DAC_DATA, component);
    EXPECT_EQ(driver_log().palette, expected);

    // The status port on a driver that cannot wait for the retrace.
    open(64, 16, 8, 1, nullptr);
    EXPECT_EQ(port_in(PORT_INPUT_STATUS), STATUS_RETRACE);

    open(64, 16, 32, 1, &recording);
    EXPECT_EQ(port_out(PORT_DAC_WRITE_INDEX, 1), -1);
    EXPECT_EQ(port_in(PORT_DAC_DATA), -1);
    screen_exit_handler();
    EXPECT_EQ(port_in(PORT_INPUT_STATUS), -1);
}

TEST_F(ConsoleOps, Mouse) {
    int x = 0, y = 0, wheel = 0, buttons = 0, clip = 0;
    const auto values = [&] { return std::vector<int>({x, y, wheel, buttons, clip}); };
    open(64, 16, 8, 1, nullptr); // the null driver has no mouse
    rt::set_last_error(0);
    EXPECT_EQ(query_mouse(&x, &y, &wheel, &buttons, &clip), 1);
    EXPECT_EQ(rt::last_error(), 1);
    EXPECT_EQ(values(), std::vector<int>(5, -1));
    EXPECT_EQ(move_mouse(1, 2, 1, 0), 1);

    open(64, 16, 8, 1, &recording);
    dirty_lines();
    EXPECT_EQ(query_mouse(&x, &y, &wheel, &buttons, &clip), 0);
    EXPECT_EQ(values(), std::vector<int>({10, 20, 3, 1, 0}));
    EXPECT_TRUE(driver_log().mouse_locked);
    EXPECT_EQ(query_mouse(nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    driver_log().mouse_result = -1;
    EXPECT_EQ(query_mouse(&x, &y, &wheel, &buttons, &clip), 1);
    EXPECT_EQ(values(), std::vector<int>(5, -1));

    driver_log().mouse_locked = false;
    EXPECT_EQ(move_mouse(5, 6, 0, 1), 0);
    EXPECT_EQ(driver_log().set_mouse_args, std::vector<int>({5, 6, 0, 1}));
    EXPECT_TRUE(driver_log().mouse_locked && !driver_log().held);
    EXPECT_EQ(dirty_lines(), 0) << "the mouse draws nothing";
}

} // namespace
