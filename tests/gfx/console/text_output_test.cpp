#include "gfx/console/text_output.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gfx/console/console_ops.h"
#include "gfx/console/text_printer.h"
#include "gfx/core/builtin_data.h"
#include "gfx/core/draw_context.h"
#include "gfx/screen/screen_setup.h"
#include "runtime/console_hooks.h"
#include "runtime/print.h"

namespace {

using namespace zered;

struct Beep {
    int frequency, duration;
    bool text_drawn; // whether anything was in the page when it sounded
};
std::vector<Beep>& beeps() {
    static std::vector<Beep> b;
    return b;
}

// Text as the program prints it: through the runtime into a 400 by 80, 8-bit screen on the null
// driver, whose text grid is 50 by 10 in the 8 by 8 font (foreground 15 on background 0).
class TextOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        override_driver_choice(&null_choice);
        ASSERT_EQ(screen_open_sized(400, 80, 8, 1, 0, 0), 0);
        beeps().clear();
        previous_beep = rt::set_beep([](int frequency, int duration) {
            beeps().push_back({frequency, duration, page_has_text()});
        });
    }
    void TearDown() override {
        rt::set_beep(previous_beep);
        screen_exit_handler();
        override_driver_choice(nullptr);
    }

    static ScreenState& screen() { return *current_screen(); }
    static bool page_has_text() {
        const ScreenState& s = *current_screen();
        for (int i = 0; i < s.pitch * s.height; ++i)
            if (s.visible_fb[i] != 0) return true;
        return false;
    }
    static void print(std::string_view text) {
        rt::print_string(rt::standard_output_channel, text, 0);
    }
    // The cursor as (0-based column, row).
    static std::pair<int, int> cursor() { return {screen().cursor_x, screen().cursor_y}; }
    static bool wrap_pending() { return (screen().flags & STATE_WRAP_PENDING) != 0; }
    // A text row as stored in the cells (low bytes of the character codes).
    static std::string row_text(int row) {
        std::string text;
        for (int column = 1; column <= screen().text_cols; ++column)
            text.push_back(static_cast<char>(read_cell(column, row + 1, 0)));
        return text;
    }
    // Whether the pixels of a cell show glyph c, white on black.
    static bool cell_shows(int column, int row, unsigned char c) {
        const FontDesc& font = *screen().font;
        for (int r = 0; r < font.height; ++r)
            for (int x = 0; x < 8; ++x) {
                const int bit = (font.data[c * font.height + r] >> x) & 1;
                const std::uint8_t pixel =
                    screen().visible_fb[(row * font.height + r) * screen().pitch + column * 8 + x];
                if (pixel != (bit ? 15 : 0)) return false;
            }
        return true;
    }
    static void fill_rows_with_digits() {
        for (int row = 0; row < 10; ++row) {
            rt::move_cursor(row + 1, 1, 0);
            print(std::string(10, static_cast<char>('0' + row)));
        }
    }

    DriverChoiceOverride null_choice{{}, "null"};
    rt::BeepFn previous_beep = nullptr;
};

TEST_F(TextOutput, FullBottomRowDefersItsScrollUntilTheNextPrint) {
    fill_rows_with_digits();
    rt::move_cursor(10, 1, 0);
    print(std::string(50, 'A'));
    EXPECT_EQ(cursor(), std::pair(49, 9));
    EXPECT_TRUE(wrap_pending());
    EXPECT_EQ(row_text(0).substr(0, 10), "0000000000") << "nothing scrolled yet";

    print("B");
    EXPECT_FALSE(wrap_pending());
    EXPECT_EQ(cursor(), std::pair(1, 9));
    EXPECT_EQ(row_text(0).substr(0, 10), "1111111111");
    EXPECT_EQ(row_text(8), std::string(50, 'A'));
    EXPECT_EQ(row_text(9), std::string("B").append(49, ' '));
    EXPECT_TRUE(cell_shows(49, 8, 'A'));
    EXPECT_TRUE(cell_shows(0, 9, 'B'));
    EXPECT_TRUE(cell_shows(1, 9, ' '));

    // An empty print with PRINT_EVEN_EMPTY only settles a deferred wrap; without it, nothing.
    rt::move_cursor(10, 1, 0);
    print(std::string(50, 'C'));
    print_text(nullptr, 0, 0);
    EXPECT_TRUE(wrap_pending());
    print_text(nullptr, 0, rt::PRINT_EVEN_EMPTY);
    EXPECT_FALSE(wrap_pending());
    EXPECT_EQ(cursor(), std::pair(0, 9));
    EXPECT_EQ(row_text(8), std::string(50, 'C'));
    EXPECT_EQ(row_text(9), std::string(50, ' '));

    // A line feed before a row that fills the bottom row: its scroll is done before the row is
    // drawn, and the row's own scroll still waits.
    rt::move_cursor(10, 1, 0);
    print(std::string("\n").append(50, 'D').append("\b"));
    EXPECT_TRUE(wrap_pending());
    EXPECT_EQ(cursor(), std::pair(49, 9));
    EXPECT_EQ(row_text(9), std::string(50, 'D'));

    // So in a text view of the first row alone.
    ASSERT_EQ(rt::text_view_set(1, 1), 0);
    print(std::string(50, 'E'));
    EXPECT_TRUE(wrap_pending());
    EXPECT_EQ(row_text(0), std::string(50, 'E'));
    rt::text_view_reset();
}

TEST_F(TextOutput, WrappingAndLineEndsOnTheBottomRow) {
    fill_rows_with_digits();
    rt::move_cursor(10, 1, 0);
    print(std::string(50, 'A') + "Z");
    EXPECT_EQ(cursor(), std::pair(1, 9));
    EXPECT_FALSE(wrap_pending());
    EXPECT_EQ(row_text(0).substr(0, 3), "111") << "one scroll, before the 51st character";
    EXPECT_EQ(row_text(8), std::string(50, 'A'));
    EXPECT_EQ(row_text(9)[0], 'Z');

    // "\r\n" on the bottom row scrolls at once: a blank bottom row, in pixels and cells.
    print("\r\n");
    EXPECT_EQ(cursor(), std::pair(0, 9));
    EXPECT_FALSE(wrap_pending());
    EXPECT_EQ(row_text(8)[0], 'Z');
    EXPECT_EQ(row_text(9), std::string(50, ' '));
    for (int i = 72 * 400; i < 80 * 400; ++i) ASSERT_EQ(screen().visible_fb[i], 0) << i;

    // Two line feeds there: one scroll of two rows when the print ends.
    print("Y\n\n");
    EXPECT_EQ(cursor(), std::pair(0, 9));
    EXPECT_EQ(row_text(6)[0], 'Z');
    EXPECT_TRUE(cell_shows(0, 6, 'Z'));
    EXPECT_EQ(row_text(7)[0], 'Y');
    EXPECT_TRUE(cell_shows(0, 7, 'Y'));
    EXPECT_EQ(row_text(8) + row_text(9), std::string(100, ' '));
    EXPECT_TRUE(cell_shows(0, 8, ' ') && cell_shows(0, 9, ' '));
}

TEST_F(TextOutput, ScrollingStaysInsideATextViewBelowTheFirstRow) {
    fill_rows_with_digits();
    ASSERT_EQ(rt::text_view_set(3, 6), 0); // rows 2 to 5
    set_colour(4, 1, 0);
    rt::move_cursor(6, 1, 0);
    print("abc\r\n");
    EXPECT_EQ(cursor(), std::pair(0, 5));
    std::string firsts;
    for (int row = 0; row < 10; ++row)
        firsts += row_text(row)[0];
    EXPECT_EQ(firsts, "0134a 6789");
    for (auto [row, c] : {std::pair{1, '1'}, {2, '3'}, {3, '4'}, {6, '6'}, {9, '9'}})
        EXPECT_TRUE(cell_shows(0, row, static_cast<unsigned char>(c))) << row;
    // The freed row takes the background in pixels and blanks in the current colours in cells;
    // the rows that moved keep theirs.
    for (int i = 40 * 400; i < 48 * 400; ++i)
        ASSERT_EQ(screen().visible_fb[i], 1) << i;
    EXPECT_EQ(read_cell(50, 6, 1), 4 + 1 * 256);
    EXPECT_EQ(read_cell(50, 3, 1), 15);
    // Three line feeds at once in a one-row view scroll only that row, never the rows above;
    // its cells scroll with its pixels.
    ASSERT_EQ(rt::text_view_set(8, 8), 0);
    print("x\n\n\ny");
    EXPECT_TRUE(cell_shows(0, 6, '6'));
    EXPECT_EQ(row_text(7).substr(0, 2), "y ");
    EXPECT_EQ(row_text(7).substr(1), std::string(49, ' '));
}

TEST_F(TextOutput, TabsBackspacesAndReturns) {
    print("\t");
    EXPECT_EQ(cursor(), std::pair(8, 0));
    // A tab counts the bytes in front of it in the same call.
    rt::move_cursor(5, 1, 0);
    print("ab\tX\tY");
    EXPECT_EQ(row_text(4).substr(0, 18), "ab      X       Y ");
    rt::move_cursor(2, 47, 0);
    print("\tx");
    EXPECT_EQ(cursor(), std::pair(49, 1));
    EXPECT_EQ(row_text(1).substr(46), "  x ");
    rt::move_cursor(3, 1, 0);
    print("\b");
    EXPECT_EQ(cursor(), std::pair(0, 2)) << "never back to the row above";
    print("ab\bc\rd\n");
    EXPECT_EQ(row_text(2).substr(0, 3), "dc ");
    EXPECT_EQ(cursor(), std::pair(0, 3));
    // A tab after a wrap counts from the new row's start.
    rt::move_cursor(9, 1, 0);
    print(std::string(52, 'w') + "\tT");
    EXPECT_EQ(row_text(9).substr(0, 10), "ww      T ");
    // A tab after a return counts from where the return put the cursor.
    rt::move_cursor(7, 1, 0);
    print("abcdef\rX\tY");
    EXPECT_EQ(row_text(6).substr(0, 10), "X       Y ");
}

TEST_F(TextOutput, BackspaceStopsAtTheLeftEdgeAndKeepsAPendingMove) {
    // Rows start as "0000000000" to "9999999999". firsts: the first character of every row
    // afterwards; the cursor's row is checked in full.
    struct Case {
        int row, column; // 1-based start
        const char* text;
        std::pair<int, int> cursor;
        const char* firsts;
        const char* cursor_row;
    };
    for (const Case& c : {
             Case{3, 1, "\bZ", {1, 2}, "01Z3456789", "Z222222222"},
             Case{3, 4, "\b\bZ", {2, 2}, "0123456789", "2Z22222222"},
             Case{3, 2, "\b\b\bZ", {1, 2}, "01Z3456789", "Z222222222"},
             // The line feed's scroll survives a backspace that cannot move.
             Case{10, 1, "abc\n\b", {0, 9}, "12345678a ", ""},
             Case{10, 1, "abc\r\n\b\b", {0, 9}, "12345678a ", ""},
         }) {
        SCOPED_TRACE(c.text);
        fill_rows_with_digits();
        rt::move_cursor(c.row, c.column, 0);
        print(c.text);
        EXPECT_EQ(cursor(), c.cursor);
        EXPECT_FALSE(wrap_pending());
        std::string firsts;
        for (int row = 0; row < 10; ++row)
            firsts += row_text(row)[0];
        EXPECT_EQ(firsts, c.firsts);
        EXPECT_EQ(row_text(c.cursor.second),
                  (std::string(c.cursor_row) + std::string(50, ' ')).substr(0, 50));
    }
}

TEST_F(TextOutput, LongTextCrossesThePendingBufferAndScrolls) {
    // 2,000 bytes, so that the pending buffer fills and is drawn out twice in one call; the last
    // ten rows' worth stays on the screen.
    std::string text;
    for (int i = 0; i < 2000; ++i) text.push_back(static_cast<char>('!' + i % 90));
    print(text);
    for (int row = 0; row < 10; ++row) {
        ASSERT_EQ(row_text(row), text.substr(1500 + row * 50, 50)) << row;
        for (int column = 0; column < 50; ++column)
            ASSERT_TRUE(cell_shows(column, row, static_cast<unsigned char>(text[1500 + row * 50 +
                                                                                  column])));
    }
    EXPECT_EQ(cursor(), std::pair(49, 9));
    EXPECT_TRUE(wrap_pending());
}

TEST_F(TextOutput, TheBellSoundsBeforeEarlierTextIsDrawn) {
    // As long as the waiting bytes fit the pending buffer: a full buffer is drawn before the next
    // byte joins it.
    print(std::string(text_pending_capacity, 'x') + "\a");
    clear_whole_screen();
    print(std::string(text_pending_capacity + 1, 'x') + "\a");
    ASSERT_EQ(beeps().size(), 2u);
    EXPECT_FALSE(beeps()[0].text_drawn);
    EXPECT_TRUE(beeps()[1].text_drawn);
    clear_whole_screen();
    beeps().clear();

    print("AB\aC");
    ASSERT_EQ(beeps().size(), 1u);
    EXPECT_EQ(beeps()[0].frequency, 1000);
    EXPECT_EQ(beeps()[0].duration, 250);
    EXPECT_FALSE(beeps()[0].text_drawn);
    EXPECT_EQ(row_text(0).substr(0, 4), "ABC ");
    EXPECT_EQ(cursor(), std::pair(3, 0));
}

// A glyph draws its own cell and nothing of the cells beside it.
TEST_F(TextOutput, AGlyphKeepsToItsCell) {
    print("XXX");
    rt::move_cursor(1, 2, 0);
    print("\x01");
    EXPECT_TRUE(cell_shows(0, 0, 'X') && cell_shows(1, 0, 1) && cell_shows(2, 0, 'X'));
}

TEST_F(TextOutput, HighBytesUnderlineAndSignExtendedCells) {
    print("X");
    rt::move_cursor(1, 1, 0);
    print("\xFF");
    // Alone, 255 draws only the cell's bottom row, in the foreground colour.
    for (int r = 0; r < 7; ++r)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(screen().visible_fb[r * 400 + x], ((builtin_font(0)->data['X' * 8 + r] >> x) & 1) * 15);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(screen().visible_fb[7 * 400 + x], 15);
    EXPECT_EQ(read_cell(1, 1, 0), 0xFFFF);

    // Within a longer chunk it is an ordinary glyph.
    print("\xFF\xFF\xC8");
    EXPECT_TRUE(cell_shows(1, 0, 255));
    EXPECT_TRUE(cell_shows(2, 0, 255));
    EXPECT_EQ(read_cell(4, 1, 0), 0xFFC8);
    EXPECT_EQ(read_cell(4, 1, 1), 15) << "foreground + background * 256";
    EXPECT_EQ(read_cell(0, 1, 0), 0);
    rt::move_cursor(1, 50, 0);
    print("Q"); // the last cell of the first row, which the cell before row 2's first would be
    EXPECT_EQ(read_cell(0, 2, 0), 0);
    EXPECT_EQ(read_cell(50, 0, 0), 0);
    EXPECT_EQ(read_cell(51, 1, 0), 0);
    EXPECT_EQ(read_cell(1, 11, 0), 0);

    // Wide text: bytes as they are, anything wider as "?", a surrogate pair as one "?".
    const std::uint16_t wide[] = {'a', 0xE9, 0x263A, 0xD83D, 0xDE00, 'b', 0xFF, 0x100};
    rt::move_cursor(2, 1, 0);
    print_text_wide(wide, 8, 0);
    EXPECT_EQ(row_text(1).substr(0, 7), "a\xE9??b\xFF?");
}

TEST_F(TextOutput, CellColoursByDepth) {
    struct Case {
        int depth;
        std::int32_t fg, bg;
        std::uint32_t what1, what2;
    };
    for (const Case& c : {
             Case{4, 0x0E, 0x03, 14 + 3 * 16, 14 + 3 * 16},
             Case{8, 0x8E, 0x23, 0x8E + 0x23 * 256, 0x8E + 0x23 * 256},
             Case{16, 0xFF8000, 0x0000FF, 0xFFFF8200u, 0xFF0000FFu},
             Case{32, 0x123456, static_cast<std::int32_t>(0xAB654321u), 0x123456u, 0xAB654321u},
         }) {
        SCOPED_TRACE(c.depth);
        ASSERT_EQ(screen_open_sized(64, 16, c.depth, 1, 0, 0), 0);
        set_colour(c.fg, c.bg, 0);
        print("A");
        EXPECT_EQ(read_cell(1, 1, 0), 'A');
        EXPECT_EQ(static_cast<std::uint32_t>(read_cell(1, 1, 1)), c.what1);
        EXPECT_EQ(static_cast<std::uint32_t>(read_cell(1, 1, 2)), c.what2);
    }
}

TEST_F(TextOutput, MarksOnlyTheRowsItDrew) {
    struct Case {
        int row, column;
        const char* text;
        int first_line, end_line;
    };
    for (const Case& c : {Case{3, 5, "hi", 16, 24}, Case{3, 5, "hi\r\nyo\r\n!", 16, 40},
                          Case{6, 48, "abcde", 40, 56}}) {
        std::fill(screen().dirty.begin(), screen().dirty.end(), 0);
        rt::move_cursor(c.row, c.column, 0);
        print(c.text);
        for (int line = 0; line < 80; ++line)
            EXPECT_EQ(screen().dirty[line] != 0, line >= c.first_line && line < c.end_line)
                << c.text << " " << line;
    }
}

// A driver presents only dirty lines: every kind of scroll marks every pixel line of the text
// view, the freed rows at its bottom included, and nothing outside it.
TEST_F(TextOutput, EveryScrollMarksTheWholeViewIncludingTheFreedRows) {
    struct Case {
        const char* what;
        int view_first, view_last; // text rows, 1-based; 0: the whole screen
        std::string before, text;  // printed on the view's last row; the marks count from `text`
        int first_line, end_line;
    };
    const std::string full_row(50, 'A');
    const Case cases[] = {
        {"line feed", 0, 0, "", "x\r\n", 0, 80},
        {"line feed alone", 0, 0, "", "\n", 0, 80},
        {"two line feeds", 0, 0, "", "x\n\n", 0, 80},
        {"wrap past the last cell", 0, 0, "", full_row + "Z", 0, 80},
        {"deferred wrap settled", 0, 0, full_row, "Z", 0, 80},
        {"deferred wrap, empty print", 0, 0, full_row, "", 0, 80},
        {"line feed in a view", 3, 6, "", "abc\r\n", 16, 48},
        {"deferred wrap in a view", 3, 6, full_row, "Z", 16, 48},
        {"line feed in a view at the bottom", 7, 10, "", "\n", 48, 80},
    };
    for (const Case& c : cases) {
        fill_rows_with_digits();
        if (c.view_first) {
            ASSERT_EQ(rt::text_view_set(c.view_first, c.view_last), 0);
        }
        rt::move_cursor(c.view_first ? c.view_last : 10, 1, 0);
        print(c.before);
        std::fill(screen().dirty.begin(), screen().dirty.end(), 0);
        if (c.text.empty())
            print_text(nullptr, 0, rt::PRINT_EVEN_EMPTY);
        else
            print(c.text);
        std::vector<int> wrong;
        for (int line = 0; line < 80; ++line)
            if ((screen().dirty[static_cast<std::size_t>(line)] != 0) !=
                (line >= c.first_line && line < c.end_line))
                wrong.push_back(line);
        EXPECT_EQ(wrong, std::vector<int>{}) << c.what << ": lines marked wrongly";
        rt::text_view_reset();
    }
}

// The screen's own code can put the cursor outside the text view or past the last column (its
// cursor call takes what the runtime checked, and the line editor calls it directly). The next
// print, even an empty one, brings it back: below the view by scrolling the view, past the last
// column onto the start of the next row.
TEST_F(TextOutput, APrintBringsAStrayCursorBackIntoTheView) {
    struct Case {
        int view_first, view_last; // 1-based
        int row, column;           // where the cursor is put, 1-based
        const char* text;
        std::pair<int, int> cursor; // after the print, 0-based column and row
    };
    for (const Case& c : {Case{3, 6, 9, 5, "", {4, 5}}, Case{3, 6, 9, 5, "a", {5, 5}},
                          Case{1, 1, 9, 5, "", {4, 0}}, Case{1, 10, 2, 60, "ab", {2, 2}}}) {
        SCOPED_TRACE(testing::Message() << c.view_first << "-" << c.view_last << " " << c.text);
        fill_rows_with_digits();
        ASSERT_EQ(rt::text_view_set(c.view_first, c.view_last), 0);
        move_cursor(c.row, c.column, 0);
        if (*c.text)
            print(c.text);
        else
            print_text(nullptr, 0, rt::PRINT_EVEN_EMPTY);
        EXPECT_EQ(cursor(), c.cursor);
        if (c.view_last < 9) {
            EXPECT_EQ(row_text(8).substr(0, 2), "88") << "outside the view nothing moved";
        }
        rt::text_view_reset();
    }
    EXPECT_EQ(row_text(2).substr(0, 3), "ab2");
}

// Pixels right of the last whole column belong to no cell: scrolling leaves them alone.
TEST_F(TextOutput, ScrollingKeepsToTheGridsColumns) {
    ASSERT_EQ(screen_open_sized(403, 16, 8, 1, 0, 0), 0); // 50 columns, 3 pixels to spare
    for (int y = 0; y < 16; ++y)
        for (int x = 400; x < 403; ++x) screen().visible_fb[y * 403 + x] = 0x77;
    rt::move_cursor(2, 1, 0);
    print("a\r\n");
    int changed = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 400; x < 403; ++x) changed += screen().visible_fb[y * 403 + x] != 0x77;
    EXPECT_EQ(changed, 0);
}

// On a screen with alpha primitives text is drawn solid whatever the top bytes of its colours,
// also after a clear has blended with a translucent background.
TEST_F(TextOutput, TextIsSolidOnAScreenThatBlends) {
    ASSERT_EQ(screen_open_sized(64, 16, 32, 1, MODE_ALPHA_PRIMITIVES, 0), 0);
    ASSERT_TRUE(screen().flags & STATE_ALPHA_PRIMITIVES);
    const std::uint32_t fg = 0x80FFFFFFu, bg = 0x40000000u;
    set_colour(static_cast<std::int32_t>(fg), static_cast<std::int32_t>(bg), 0);
    clear_screen(CLEAR_ALL);
    print("X");
    const FontDesc& font = *screen().font;
    int wrong = 0;
    for (int r = 0; r < font.height; ++r)
        for (int x = 0; x < 8; ++x) {
            std::uint32_t pixel = 0;
            std::memcpy(&pixel, screen().visible_fb + r * screen().pitch + x * 4, 4);
            wrong += pixel != ((font.data['X' * font.height + r] >> x) & 1 ? fg : bg);
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(TextOutput, CursorMovesAndPrintZones) {
    EXPECT_EQ(rt::move_cursor(3, 5, 0), (2 << 8 | 4) + 257);
    EXPECT_EQ(cursor(), std::pair(4, 2));
    EXPECT_EQ(rt::standard_output().column, 4);
    for (auto [row, column] : {std::pair{11, 1}, {-1, 1}, {1, 51}, {1, -2}}) {
        EXPECT_EQ(rt::move_cursor(row, column, 0), 1);
        EXPECT_EQ(rt::last_error(), 1);
    }
    EXPECT_EQ(cursor(), std::pair(4, 2)) << "a refused move changes nothing";
    EXPECT_EQ(rt::move_cursor(0, 7, 0), (2 << 8 | 6) + 257) << "row 0 keeps the row";
    // Called directly, as the line editor does, the move sets the output device's column too,
    // also when it keeps the column.
    rt::standard_output().column = 30;
    EXPECT_EQ(move_cursor(2, 9, 0), (1 << 8 | 8) + 257);
    EXPECT_EQ(rt::standard_output().column, 8);
    print_text(reinterpret_cast<const unsigned char*>("abc"), 3, 0);
    EXPECT_EQ(move_cursor(0, 0, 0), (1 << 8 | 11) + 257);
    EXPECT_EQ(rt::standard_output().column, 11);

    rt::move_cursor(1, 1, 0);
    rt::print_string(0, "ab", rt::PRINT_NEXT_ZONE);
    EXPECT_EQ(cursor(), std::pair(14, 0));
    rt::print_string(0, "cd", rt::PRINT_NEXT_ZONE);
    EXPECT_EQ(cursor(), std::pair(28, 0));
    // The next zone would start at column 43, within the last 14 of 50: a new line instead.
    rt::print_string(0, std::string(12, 'e'), rt::PRINT_NEXT_ZONE);
    EXPECT_EQ(cursor(), std::pair(0, 1));
    EXPECT_EQ(rt::standard_output().column, 0);
    EXPECT_EQ(rt::print_string(3, "x", 0), 1) << "no other channel";
}

TEST_F(TextOutput, TextSizeChoosesAFontOrChangesNothing) {
    print("gone");
    EXPECT_EQ(set_text_size(50, 5), 10 << 16 | 50);
    EXPECT_EQ(screen().font, builtin_font(2));
    int columns = 0, rows = 0;
    rt::text_size(&columns, &rows);
    EXPECT_EQ(columns * 100 + rows, 5005);
    EXPECT_EQ(rt::view_bottom(), 4);
    EXPECT_EQ(cursor(), std::pair(0, 0));
    EXPECT_EQ(row_text(0), std::string(50, ' '));
    EXPECT_FALSE(page_has_text());

    print("\r\n\r\n\r\n\r\n\r\nlast");
    EXPECT_EQ(cursor(), std::pair(4, 4)) << "the view is the 5 new rows";
    EXPECT_TRUE(cell_shows(0, 4, 'l'));

    EXPECT_EQ(set_text_size(50, 1), 5 << 16 | 50) << "one row of 80 lines: no font";
    context_get().flags |= CONTEXT_VIEW_SET;
    EXPECT_EQ(set_text_size(50, 10), 5 << 16 | 50);
    EXPECT_FALSE(context_get().flags & CONTEXT_VIEW_SET) << "a new grid resets the graphics view";
    EXPECT_EQ(set_text_size(50, 5), 10 << 16 | 50);
    print("\r\n\r\n\r\n\r\nlast");
    EXPECT_EQ(set_text_size(40, 10), 5 << 16 | 50) << "glyph width 10: no font";
    EXPECT_EQ(set_text_size(0, 0), 5 << 16 | 50);
    EXPECT_EQ(screen().font, builtin_font(2));
    EXPECT_EQ(row_text(4).substr(0, 4), "last");

    EXPECT_EQ(set_text_size(1, 5), 5 << 16 | 50) << "one column: glyphs 400 wide";
    // A part not above 0 keeps the columns or the font's height.
    EXPECT_EQ(set_text_size(50, 0), 5 << 16 | 50);
    EXPECT_EQ(screen().text_cols * 100 + screen().text_rows, 5005);
    EXPECT_EQ(set_text_size(0, 10), 5 << 16 | 50);
    EXPECT_EQ(screen().text_cols * 100 + screen().text_rows, 5010);
    EXPECT_EQ(set_text_size(-3, 5), 10 << 16 | 50);
    EXPECT_EQ(screen().text_cols * 100 + screen().text_rows, 5005);
    EXPECT_EQ(set_text_size(50, -1), 5 << 16 | 50);
    EXPECT_EQ(screen().text_cols * 100 + screen().text_rows, 5005);
    EXPECT_EQ(screen().font, builtin_font(2));
    // Without a font there is no height to keep: only a full size is taken.
    screen().font = nullptr;
    EXPECT_EQ(set_text_size(50, 0), 5 << 16 | 50);
    EXPECT_EQ(set_text_size(0, 10), 5 << 16 | 50);
    EXPECT_EQ(screen().font, nullptr);
    EXPECT_EQ(set_text_size(50, 10), 5 << 16 | 50);
    EXPECT_EQ(screen().font, builtin_font(0));

    // One column and one row, where the screen is one glyph wide and high.
    ASSERT_EQ(screen_open_sized(8, 16, 8, 1, 0, 0), 0);
    screen().font = nullptr;
    EXPECT_EQ(set_text_size(1, 2), 2 << 16 | 1);
    EXPECT_EQ(screen().font, builtin_font(0));
    EXPECT_EQ(set_text_size(1, 1), 2 << 16 | 1);
    EXPECT_EQ(screen().font, builtin_font(2));
    EXPECT_EQ(screen().text_cols * 100 + screen().text_rows, 101);
}

// Without text cells (the grid is gone) the text is still drawn, and cells read back as 0.
TEST_F(TextOutput, PagesWithoutCells) {
    screen().text_cells.clear();
    print("X");
    EXPECT_TRUE(cell_shows(0, 0, 'X'));
    EXPECT_EQ(read_cell(1, 1, 0), 0);
    EXPECT_EQ(read_cell(1, 1, 1), 0);
    EXPECT_EQ(cursor(), std::pair(1, 0));
    print("\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nY"); // scrolls
    EXPECT_TRUE(cell_shows(0, 9, 'Y'));

    // Pages are copied without their cells.
    ASSERT_EQ(screen_open_sized(400, 80, 8, 2, 0, 0), 0);
    print("Y");
    screen().text_cells.clear();
    EXPECT_EQ(copy_page(0, 1), 0);
    EXPECT_EQ(std::memcmp(screen().pages[0].pixels, screen().pages[1].pixels, 400 * 80), 0);
}

// The printer alone: a bell moves nothing, so a cursor left below the window stays there for the
// caller to settle; a return from there scrolls.
TEST(TextPrinter, OnlyAMoveOrADrawingScrolls) {
    static int scrolled;
    scrolled = 0;
    const rt::BeepFn previous = rt::set_beep([](int, int) {});
    TextWindow window{nullptr,
                      [](TextWindow& w, int, int, int, int bottom, int lines) {
                          scrolled += lines;
                          w.y = bottom;
                      },
                      [](TextWindow&, const unsigned char*, int) { return 1; },
                      0, 0, 9, 3, 0, 4};
    const unsigned char bell = 7, cr = 13;
    text_print(window, &bell, 1);
    EXPECT_EQ(std::pair(scrolled, window.y), std::pair(0, 4));
    text_print(window, &cr, 1);
    EXPECT_EQ(std::pair(scrolled, window.y), std::pair(1, 3));
    rt::set_beep(previous);
}

TEST_F(TextOutput, AOneColumnGridStillPrints) {
    ASSERT_EQ(screen_open_sized(8, 16, 8, 1, 0, 0), 0);
    print("ab");
    EXPECT_EQ(read_cell(1, 1, 0) * 256 + read_cell(1, 2, 0), 'a' * 256 + 'b');
    EXPECT_EQ(console_query(), 0) << "a screen is no console to query";
}

TEST_F(TextOutput, WideTextTakesAPairAsOneCharacter) {
    const std::uint16_t units[] = {0x0100, 'A', 0xD83D, 0xDE00, 'B', 0xD7FF, 'x',
                                   0xDBFF, 0xDC00, 'y',  0xDC00, 'z'};
    print_text_wide(units, 12, 0);
    EXPECT_EQ(row_text(0).substr(0, 10), "?A?B?x?y?z");
}

TEST_F(TextOutput, AnyBytesOnAnyGridStayInside) {
    // Grids that do not fill the pixels, of one cell, without rows, and deeper pixels; random
    // bytes (control characters included) at random places. The sanitizer build watches the
    // buffers; here the cursor must stay on the grid.
    std::mt19937 random(7);
    for (auto [width, height, depth] :
         {std::tuple{401, 83, 8}, {8, 8, 32}, {12, 20, 16}, {16, 7, 8}, {7, 16, 4}}) {
        ASSERT_EQ(screen_open_sized(width, height, depth, 2, 0, 0), 0);
        const int cols = screen().text_cols, rows = screen().text_rows;
        for (int round = 0; round < 200; ++round) {
            std::string bytes(random() % 70, '\0');
            for (char& b : bytes) b = static_cast<char>(random() % 4 ? random() % 256 : random() % 14);
            if (cols > 0 && rows > 0 && random() % 3 == 0)
                rt::move_cursor(static_cast<int>(random() % rows) + 1,
                                static_cast<int>(random() % cols) + 1, 0);
            print(bytes);
            if (cols > 0 && rows > 0) {
                ASSERT_GE(screen().cursor_x, 0);
                ASSERT_LT(screen().cursor_x, cols);
                ASSERT_GE(screen().cursor_y, 0);
                ASSERT_LT(screen().cursor_y, rows);
            }
        }
        const std::uint16_t high_surrogate_last[] = {'a', 0xD800};
        print_text_wide(high_surrogate_last, 2, 0);
    }
}

} // namespace
