#include "runtime/console_hooks.h"
#include "runtime/print.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

// A console behind the hook table that records what the runtime asks of it.
struct FakeConsole {
    int columns = 0;
    int rows = 0;
    std::string printed;
    std::vector<std::tuple<int, int, int>> moves;
    int view_changes = 0;
};
FakeConsole fake;

class Print : public ::testing::Test {
  protected:
    void SetUp() override {
        fake = {};
        reset();
        rt::set_last_error(0);
    }
    void TearDown() override { reset(); }
    static void reset() {
        rt::console_hooks() = {};
        rt::text_view_unset();
        rt::standard_output() = {};
    }
    // A console of the given grid: sizes, moves, prints and view changes reach the fake.
    static void attach(int columns, int rows) {
        fake.columns = columns;
        fake.rows = rows;
        rt::ConsoleHooks& hooks = rt::console_hooks();
        hooks.text_size = [](int* c, int* r) {
            if (c) *c = fake.columns;
            if (r) *r = fake.rows;
        };
        hooks.move_cursor = [](int row, int column, int visibility) {
            fake.moves.emplace_back(row, column, visibility);
            return 0;
        };
        hooks.print_text = [](const unsigned char* bytes, int length, unsigned) {
            fake.printed.append(reinterpret_cast<const char*>(bytes),
                                static_cast<std::size_t>(length));
        };
        hooks.view_changed = [] { ++fake.view_changes; };
    }
};

TEST_F(Print, WithoutAGridTheViewIsTwentyFiveRows) {
    EXPECT_EQ(rt::view_top(), 0);
    EXPECT_EQ(rt::view_bottom(), 24);
    rt::text_view_reset();
    EXPECT_EQ(rt::view_bottom(), 24);
    EXPECT_EQ(rt::text_view_set(3, 40), 0) << "no grid to check the rows against";
    EXPECT_EQ(rt::view_top(), 2);
    EXPECT_EQ(rt::view_bottom(), 39);
}

TEST_F(Print, TheViewStaysOnTheGridAndTakesTheCursorToItsTop) {
    attach(50, 10);
    for (auto [first, last] : {std::pair{0, 5}, {6, 5}, {1, 11}, {-1, 3}}) {
        rt::set_last_error(0);
        EXPECT_EQ(rt::text_view_set(first, last), 1) << first << "-" << last;
        EXPECT_EQ(rt::last_error(), 1);
    }
    EXPECT_TRUE(fake.moves.empty());
    EXPECT_EQ(fake.view_changes, 0);
    rt::standard_output().column = 7;
    EXPECT_EQ(rt::text_view_set(3, 10), 0);
    EXPECT_EQ(rt::view_top(), 2);
    EXPECT_EQ(rt::view_bottom(), 9);
    EXPECT_EQ(fake.view_changes, 1);
    EXPECT_EQ(fake.moves, (std::vector<std::tuple<int, int, int>>{{3, 1, 0}}));
    EXPECT_EQ(rt::standard_output().column, 0);
    EXPECT_EQ(rt::text_view_set(5, 5), 0) << "one row is a view";
}

TEST_F(Print, ACursorMoveKeepsTheDevicesColumn) {
    attach(50, 10);
    rt::standard_output().column = 9;
    EXPECT_EQ(rt::move_cursor(4, 0, 0), 0);
    EXPECT_EQ(rt::standard_output().column, 9) << "column 0 keeps the column";
    EXPECT_EQ(rt::move_cursor(0, 5, 0), 0);
    EXPECT_EQ(rt::standard_output().column, 4);
}

// Zones are 14 columns wide; near the end of a line a line end takes the place of the next one.
TEST_F(Print, PrintZonesEndTheLineWithinTheLastFourteenColumns) {
    struct Case {
        int width, column;
        std::string added;
    };
    const Case cases[] = {
        {29, 0, std::string(14, ' ')}, // zone 15 of 29: its last 14 columns still count
        {28, 0, "\r\n"},
        {0, 20, std::string(8, ' ')}, // no width: zones go on for ever
        {50, 14, std::string(14, ' ')},
    };
    for (const Case& c : cases) {
        reset();
        attach(c.width, 10);
        fake.printed.clear();
        rt::standard_output() = {true, c.column, c.width};
        EXPECT_EQ(rt::print_end(rt::standard_output_channel, rt::PRINT_NEXT_ZONE), 0);
        EXPECT_EQ(fake.printed, c.added) << c.width << " columns, at " << c.column;
    }
}

// The device's column after a write: the bytes after the last line end, or the old column and the
// count, wrapped at the device's width when it has one.
TEST_F(Print, TheColumnFollowsWhatIsWritten) {
    struct Case {
        int width, column;
        const char* text;
        int after;
    };
    for (const Case& c : {Case{50, 48, "abc", 1}, Case{1, 0, "ab", 0}, Case{0, 48, "abc", 51},
                          Case{50, 7, "ab\r\ncd", 2}, Case{50, 7, "abc\n", 0},
                          Case{50, 7, "a\rbcd", 3}, Case{3, 1, "abcdefg", 2}}) {
        reset();
        attach(c.width, 10);
        rt::standard_output() = {true, c.column, c.width};
        rt::output_write(c.text);
        EXPECT_EQ(rt::standard_output().column, c.after)
            << c.width << " columns, at " << c.column << ": " << c.text;
    }
}

TEST_F(Print, TheCursorColumnComesFromTheConsole) {
    EXPECT_EQ(rt::cursor_column(), 1) << "no console";
    rt::console_hooks().cursor_column = [] { return 7; };
    EXPECT_EQ(rt::cursor_column(), 7);
}

TEST_F(Print, OnlyTheStandardChannelExists) {
    attach(50, 10);
    EXPECT_EQ(rt::print_string(1, "x", rt::PRINT_END_LINE), 1);
    EXPECT_EQ(rt::last_error(), 1);
    rt::set_last_error(0);
    EXPECT_EQ(rt::print_end(2, rt::PRINT_END_LINE), 1);
    EXPECT_EQ(rt::last_error(), 1);
    EXPECT_EQ(fake.printed, "");
    EXPECT_EQ(rt::print_string(0, "x", rt::PRINT_END_LINE_ALT), 0);
    EXPECT_EQ(fake.printed, "x\r\n");
}

} // namespace
