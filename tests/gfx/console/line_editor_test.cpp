#include "gfx/console/line_editor.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "gfx/console/key_buffer.h"
#include "gfx/console/text_output.h"
#include "gfx/screen/screen_setup.h"
#include "runtime/console_hooks.h"
#include "runtime/line_input.h"
#include "runtime/print.h"
#include "runtime/sleep.h"

namespace {

using namespace zered;
using Keys = std::vector<std::int32_t>;

constexpr std::int32_t enter = 13, backspace = 8, escape = 27, tab = 9;

Keys text(std::string_view s) {
    Keys keys;
    for (const char c : s) keys.push_back(static_cast<unsigned char>(c));
    return keys;
}
Keys operator+(Keys a, const Keys& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::pair<int, int>>& beeps() {
    static std::vector<std::pair<int, int>> b;
    return b;
}

// Line input on a 400 by 80 screen (50 by 10 cells) on the null driver, its keys typed by a
// second thread as the window's thread would post them, one at a time into an empty buffer.
class LineInput : public ::testing::Test {
  protected:
    void SetUp() override {
        override_driver_choice(&null_choice);
        ASSERT_EQ(screen_open_sized(400, 80, 8, 1, 0, 0), 0);
        while (take_key() != 0) {
        }
        beeps().clear();
        previous_beep = rt::set_beep([](int f, int d) { beeps().emplace_back(f, d); });
        previous_wait = rt::set_wait(
            [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    }
    void TearDown() override {
        if (typist.joinable()) typist.join();
        rt::set_wait(previous_wait);
        rt::set_beep(previous_beep);
        screen_exit_handler();
        override_driver_choice(nullptr);
    }
    void type(Keys keys) {
        if (typist.joinable()) typist.join();
        typist = std::thread([keys = std::move(keys)] {
            for (const std::int32_t key : keys) {
                while (key_waiting() != 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
                post_key(key);
            }
        });
    }
    std::string input(Keys keys, std::optional<std::string_view> prompt = std::nullopt) {
        type(std::move(keys));
        std::string line;
        EXPECT_EQ(input_line(prompt, {&line}, rt::FILL_ZERO, 0, 0), 0);
        return line;
    }
    static std::string row(int r) {
        std::string s;
        for (int c = 1; c <= 50; ++c) s.push_back(static_cast<char>(read_cell(c, r + 1, 0)));
        return s;
    }
    static std::string padded(std::string s) { return s.append(50 - s.size(), ' '); }
    static std::pair<int, int> cursor() {
        return {current_screen()->cursor_x, current_screen()->cursor_y};
    }
    // Whether the bottom pixel row of a cell is all background (no underline left behind).
    static bool no_underline(int column, int row) {
        const ScreenState& s = *current_screen();
        const std::uint8_t* line = s.visible_fb + (row * 8 + 7) * s.pitch + column * 8;
        for (int x = 0; x < 8; ++x)
            if (line[x] != 0) return false;
        return true;
    }

    DriverChoiceOverride null_choice{{}, "null"};
    std::thread typist;
    rt::BeepFn previous_beep = nullptr;
    rt::WaitFn previous_wait = nullptr;
};

TEST_F(LineInput, EditingKeys) {
    const Keys keys = text("abc") + Keys{rt::key_left, rt::key_left} + text("X") +
                      Keys{rt::key_home, rt::key_delete, rt::key_end, rt::key_delete,
                           rt::key_right, tab, backspace, backspace, backspace, backspace,
                           backspace, 0x6BFF, enter};
    EXPECT_EQ(input(keys), "Xbc");
    EXPECT_EQ(row(0), padded("Xbc"));
    EXPECT_EQ(beeps(), (std::vector<std::pair<int, int>>{{1000, 250}})) << "Delete at the end";
    EXPECT_EQ(cursor(), std::pair(3, 0));
    EXPECT_TRUE(no_underline(3, 0));
    EXPECT_TRUE(no_underline(0, 0));
}

// The editor hides the cursor while it runs and leaves it shown or hidden as it found it, which
// the console's cursor call reports in bit 16.
TEST_F(LineInput, TheCursorIsLeftAsItWasFound) {
    static int shown;
    static std::vector<int> asked; // visibility arguments, -1 (unchanged) left out
    static int (*screen_move)(int, int, int);
    screen_move = rt::console_hooks().move_cursor;
    ASSERT_NE(screen_move, nullptr);
    rt::console_hooks().move_cursor = [](int row, int column, int visibility) {
        if (visibility >= 0) {
            shown = visibility;
            asked.push_back(visibility);
        }
        return screen_move(row, column, visibility) | (shown ? 1 << 16 : 0);
    };
    for (const int before : {1, 0}) {
        shown = before;
        asked.clear();
        EXPECT_EQ(input(text("a") + Keys{enter}), "a");
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked.back(), before);
    }
    rt::console_hooks().move_cursor = screen_move;
}

TEST_F(LineInput, LinesAcrossRows) {
    // Backspace over the start of a row goes on at the end of the row above.
    rt::move_cursor(1, 48, 0);
    EXPECT_EQ(input(text("abcd") + Keys{backspace, backspace, backspace, enter}), "a");
    EXPECT_EQ(row(0).substr(47), "a  ");
    EXPECT_EQ(row(1), padded(""));
    EXPECT_EQ(cursor(), std::pair(48, 0));

    // Up and Down move by a whole row of the line.
    const std::string long_line = "0123456789012345678901234567890123456789012345678901234";
    rt::move_cursor(3, 1, 0);
    const std::string line =
        input(text(long_line) + Keys{rt::key_up} + text("Z") + Keys{rt::key_down} + text("Q") +
              Keys{rt::key_up, rt::key_up, rt::key_down, rt::key_down, enter});
    const std::string expected = long_line.substr(0, 5) + "Z" + long_line.substr(5) + "Q";
    EXPECT_EQ(line, expected);
    EXPECT_EQ(row(2), expected.substr(0, 50));
    EXPECT_EQ(row(3), padded(expected.substr(50)));
    EXPECT_EQ(cursor(), std::pair(7, 3));

    // A line run past the last row scrolls the text up; Escape takes the whole line back.
    rt::move_cursor(10, 1, 0);
    EXPECT_EQ(input(text(std::string(60, 'x')) + Keys{escape} + text("ok") + Keys{enter}), "ok");
    EXPECT_EQ(row(1), expected.substr(0, 50)) << "scrolled once: the rows moved up one";
    EXPECT_EQ(row(8), padded("ok"));
    EXPECT_EQ(row(9), padded(""));
    EXPECT_EQ(cursor(), std::pair(2, 8));
}

// A line longer than the text view: Home stops at the view's first row, and End from there runs
// past the last row by as many rows as the line is longer (two here), each of them scrolled up.
TEST_F(LineInput, EndBelowTheViewScrollsByEveryMissingRow) {
    for (const std::size_t last_row : {30, 1}) {
        clear_whole_screen();
        ASSERT_EQ(rt::text_view_set(8, 10), 0);
        rt::move_cursor(10, 1, 0);
        const std::string line = std::string(50, 'a') + std::string(50, 'b') +
                                 std::string(50, 'c') + std::string(50, 'd') +
                                 std::string(last_row, 'e');
        EXPECT_EQ(input(text(line) + Keys{rt::key_home, rt::key_end, enter}), line);
        EXPECT_EQ(cursor(), std::pair(static_cast<int>(last_row), 9));
        EXPECT_EQ(row(7) + row(8) + row(9),
                  padded(std::string(last_row, 'e')) + padded("") + padded(""));
        EXPECT_EQ(row(6), padded("")) << "above the view nothing moves";
        rt::text_view_reset();
    }
}

TEST_F(LineInput, APromptEndingInTheLastCellKeepsItsLastCharacter) {
    rt::move_cursor(10, 1, 0);
    const std::string prompt = std::string(48, '.') + "AB";
    EXPECT_EQ(input(text("xy") + Keys{enter}, prompt), "xy");
    EXPECT_EQ(row(8), prompt);
    EXPECT_EQ(row(9), padded("xy"));
    EXPECT_EQ(cursor(), std::pair(2, 9));
}

TEST_F(LineInput, PromptsAndDestinations) {
    std::array<char, 8> field;
    field.fill('#');
    type(text("abcdefgh") + Keys{enter});
    EXPECT_EQ(input_line("Name", {nullptr, field.data(), 6}, rt::FILL_ZERO, 1, 1), 0);
    EXPECT_EQ(std::string(field.data(), 8), std::string("abcde\0##", 8));
    EXPECT_EQ(row(0), padded("Name? abcdefgh"));
    EXPECT_EQ(cursor(), std::pair(0, 1)) << "the newline";

    std::u16string wide;
    type(Keys{'x', -23, enter}); // character 233 as the window's character path posts it
    EXPECT_EQ(input_line_wide(u"W", {&wide}, rt::FILL_ZERO, 0, 0), 0);
    EXPECT_EQ(wide, u"x\u00E9");
    EXPECT_EQ(row(1), padded("Wx\xE9"));


    field.fill('#');
    EXPECT_EQ(rt::string_assign({nullptr, field.data(), 6}, "ab", rt::FILL_SPACES), 0);
    EXPECT_EQ(std::string(field.data(), 8), "ab    ##");
    // Assignments that have no room or make no sense store nothing.
    field.fill('#');
    EXPECT_EQ(rt::string_assign({nullptr, field.data(), 0}, "abc", rt::FILL_ZERO), 0);
    rt::set_last_error(0);
    EXPECT_EQ(rt::string_assign({nullptr, field.data(), -1}, "abc", rt::FILL_ZERO), 1);
    EXPECT_EQ(rt::last_error(), 1);
    EXPECT_EQ(rt::string_assign({nullptr, field.data(), 4}, "abc", 7), 1);
    EXPECT_EQ(std::string(field.data(), 8), "########");
}

TEST_F(LineInput, RawLines) {
    std::array<char, 12> buffer;
    const auto read = [&](Keys keys, int size) {
        buffer.fill('#');
        type(std::move(keys));
        EXPECT_EQ(read_line_raw(buffer.data(), size), buffer.data());
        return std::string(buffer.data(), buffer.size());
    };
    EXPECT_EQ(read(text("ab") + Keys{backspace, 'c', 7, rt::key_left, enter}, 10),
              std::string("ac\r\0########", 12));
    EXPECT_EQ(row(0), padded("ac")) << "the mark is gone";
    EXPECT_EQ(cursor(), std::pair(0, 0));

    // A full buffer takes no more characters and no carriage return.
    rt::move_cursor(2, 1, 0);
    EXPECT_EQ(read(text("abc") + Keys{enter}, 3), std::string("ab\0#########", 12));
    EXPECT_EQ(row(1), padded("ab\xDB"));
    rt::move_cursor(3, 1, 0);
    EXPECT_EQ(read(text("a") + Keys{enter}, 1), std::string("\0###########", 12));
    EXPECT_EQ(row(2), padded("\xDB")) << "the mark, shown before the first key";
    EXPECT_EQ(read(text("a") + Keys{enter}, 0), std::string(12, '#'));
    EXPECT_EQ(read(text("a") + Keys{enter}, -4), std::string(12, '#'));

    // Backspace with nothing typed takes nothing back.
    rt::move_cursor(7, 5, 0);
    EXPECT_EQ(read(Keys{backspace, backspace} + text("a") + Keys{enter}, 10),
              std::string("a\r\0#########", 12));
    EXPECT_EQ(row(6), padded("    a"));

    // Backspace over the start of a row.
    for (const int r : {5, 1}) {
        rt::move_cursor(r, 50, 0);
        read(text("a") + Keys{backspace, enter}, 10);
        EXPECT_EQ(row(r - 1).back(), ' ') << r;
        EXPECT_EQ(row(r).front(), ' ') << r;
        EXPECT_EQ(std::string(buffer.data(), 2), std::string("\r\0", 2));
    }

    // The mark and the blank after the line in the last cell of the bottom row, where the cursor
    // stays on the cell it wrote: the typed character is not overwritten.
    rt::move_cursor(10, 49, 0);
    EXPECT_EQ(read(text("a") + Keys{enter}, 10), std::string("a\r\0#########", 12));
    EXPECT_EQ(row(9).substr(48), "a ");

    // No buffer: the keys are read and nothing is stored.
    type(text("a") + Keys{enter});
    EXPECT_EQ(read_line_raw(nullptr, 10), nullptr);

    // Character 255 is a character like any other; extended codes are skipped.
    rt::move_cursor(9, 1, 0);
    EXPECT_EQ(read(Keys{255, 0x4BFF, 'z', enter}, 10), std::string("\xFFz\r\0########", 12));

    // Without any one of the console operations it needs, the runtime's editor has no line.
    const rt::ConsoleHooks all = rt::console_hooks();
    for (int missing = 0; missing < 4; ++missing) {
        rt::ConsoleHooks& hooks = rt::console_hooks();
        if (missing == 0) hooks.key_waiting = nullptr;
        if (missing == 1) hooks.read_key_string = nullptr;
        if (missing == 2) hooks.print_text = nullptr;
        if (missing == 3) hooks.cursor_position = nullptr;
        EXPECT_EQ(rt::line_edit(true), std::nullopt) << missing;
        rt::console_hooks() = all;
    }

    screen_exit_handler();
    EXPECT_EQ(read_line_raw(buffer.data(), 12), nullptr);

    // A screen without text columns has no line to give.
    ASSERT_EQ(screen_open_sized(7, 16, 8, 1, 0, 0), 0);
    std::string line = "kept";
    rt::set_last_error(0);
    EXPECT_EQ(input_line("p", {&line}, rt::FILL_ZERO, 0, 0), rt::error_out_of_memory);
    EXPECT_EQ(rt::last_error(), rt::error_out_of_memory);
    EXPECT_EQ(line, "kept");
    // A wide prompt bypasses the output device; its column is set from the cursor after it,
    // which stayed where it was.
    std::u16string wide = u"kept";
    EXPECT_EQ(input_line_wide(u"Wide", {&wide}, rt::FILL_ZERO, 0, 0), rt::error_out_of_memory);
    EXPECT_EQ(rt::standard_output().column, 0);
    EXPECT_EQ(wide, u"kept");
    EXPECT_EQ(rt::line_edit(true), std::nullopt) << "nothing to read from without a screen";
}

} // namespace
