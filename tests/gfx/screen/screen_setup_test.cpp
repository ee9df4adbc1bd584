#include "gfx/screen/screen_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "gfx/console/screen_sleep.h"
#include "gfx/console/text_output.h"
#include "gfx/core/builtin_data.h"
#include "gfx/core/draw_context.h"
#include "gfx/core/palette.h"
#include "runtime/console_hooks.h"
#include "runtime/print.h"

namespace {

using namespace zered;

// What the fake drivers were asked, in order.
struct Call {
    int driver;
    bool init; // else exit
    int refresh_rate = 0;
    ModeFlags flags = 0;
    int depth = 0;
    bool operator==(const Call&) const = default;
};
struct FakeDrivers {
    std::vector<Call> calls;
    // Which flags each driver accepts; a driver without any refuses everything.
    bool (*accepts[2])(ModeFlags) = {nullptr, nullptr};
    std::vector<std::string> titles;
    std::vector<int> heights; // the height each init was given, in display lines
};
FakeDrivers& fakes() {
    static FakeDrivers f;
    return f;
}

template <int N>
int fake_init(const char* title, int, int height, int depth, int refresh_rate, ModeFlags flags) {
    fakes().calls.push_back({N, true, refresh_rate, flags, depth});
    fakes().heights.push_back(height);
    fakes().titles.emplace_back(title ? title : "");
    return fakes().accepts[N] && fakes().accepts[N](flags) ? 0 : -1;
}
template <int N> void fake_exit() { fakes().calls.push_back({N, false}); }
template <int N> void fake_title(const char* title) { fakes().titles.emplace_back(title); }
void no_op() {}

const DisplayDriver direct{"DirectX", fake_init<0>, fake_exit<0>, no_op,   no_op,
                           nullptr,   nullptr,      nullptr,      nullptr, fake_title<0>,
                           nullptr,   nullptr,      nullptr,      nullptr};
const DisplayDriver gdi{"GDI",   fake_init<1>, fake_exit<1>, no_op,   no_op,
                        nullptr, nullptr,      nullptr,      nullptr, fake_title<1>,
                        nullptr, nullptr,      nullptr,      nullptr};
const DisplayDriver* const both[] = {&direct, &gdi};

bool accept_any(ModeFlags) { return true; }
bool accept_windowed(ModeFlags flags) { return !(flags & MODE_FULLSCREEN); }

class ScreenSetup : public ::testing::Test {
  protected:
    void SetUp() override {
        fakes() = FakeDrivers{};
        override_driver_choice(&choice);
    }
    void TearDown() override {
        screen_exit_handler();
        override_driver_choice(nullptr);
    }
    // No screen, no screen hooks, and the text view follows the console's size again.
    static bool closed() {
        const rt::ConsoleHooks& hooks = rt::console_hooks();
        int rows = 0;
        rt::text_size(nullptr, &rows);
        return !current_screen() && !hooks.print_text && !hooks.sleep && !hooks.move_cursor &&
               rt::view_bottom() == (rows > 0 ? rows : 25) - 1;
    }
    DriverChoiceOverride choice{both, nullptr};
};

TEST_F(ScreenSetup, TheUsageScreen) {
    choice.zered = "null";
    ASSERT_EQ(screen_open_sized(400, 80, 8, 1, 0, 0), 0);
    const ScreenState& s = *current_screen();
    EXPECT_EQ(s.driver, &null_driver);
    EXPECT_EQ(s.mode_num, -1);
    EXPECT_EQ(s.width * 1000 + s.height, 400080);
    EXPECT_EQ(s.depth, 8);
    EXPECT_EQ(s.bytes_per_pixel, 1);
    EXPECT_EQ(s.pitch, 400);
    EXPECT_EQ(s.colour_mask, 255u);
    EXPECT_EQ(s.page_count, 1);
    EXPECT_EQ(s.text_cols * 100 + s.text_rows, 5010);
    EXPECT_EQ(s.font, builtin_font(0));
    EXPECT_EQ(s.default_palette, vga_palette());
    EXPECT_EQ(s.device_palette[1], palette_pack(0, 0, 170));
    EXPECT_EQ(s.device_palette[36], palette_pack(255, 0, 255)); // 256-colour entry 36
    EXPECT_EQ(std::count(s.dirty.begin(), s.dirty.end(), 1), 80) << "the palette reset marks all";
    EXPECT_EQ(std::count(s.visible_fb, s.visible_fb + 400 * 80, 0), 400 * 80);
    EXPECT_EQ(read_cell(50, 10, 0), 32);
    EXPECT_EQ(s.cursor_x + s.cursor_y, 0);
    EXPECT_EQ(rt::view_top() * 100 + rt::view_bottom(), 9);
    EXPECT_EQ(rt::standard_output().column, 0);
    EXPECT_EQ(rt::last_error(), 0);
    const std::string title = window_title();
    EXPECT_EQ(title, title_from_path(program_file_path()));
    EXPECT_NE(title.find("zered_screen_tests"), std::string::npos) << title;

    const rt::ConsoleHooks& hooks = rt::console_hooks();
    EXPECT_EQ(hooks.print_text, &print_text);
    EXPECT_EQ(hooks.sleep, &screen_sleep);
    EXPECT_EQ(hooks.read_cell, &read_cell);
    // An empty slot would send that operation to the text console: all 27 are filled, and all
    // are emptied again when the screen closes.
    const auto slots = [&hooks] {
        return std::vector<bool>{
            !!hooks.read_key_string, !!hooks.wait_key,        !!hooks.key_waiting,
            !!hooks.clear_screen,    !!hooks.set_colour,      !!hooks.move_cursor,
            !!hooks.set_text_size,   !!hooks.cursor_column,   !!hooks.cursor_row,
            !!hooks.cursor_position, !!hooks.text_size,       !!hooks.print_text,
            !!hooks.print_text_wide, !!hooks.read_line_raw,   !!hooks.key_down,
            !!hooks.query_mouse,     !!hooks.move_mouse,      !!hooks.port_in,
            !!hooks.port_out,        !!hooks.view_changed,    !!hooks.input_line,
            !!hooks.input_line_wide, !!hooks.read_cell,       !!hooks.sleep,
            !!hooks.console_query,   !!hooks.copy_page,       !!hooks.set_pages};
    };
    ASSERT_EQ(slots().size(), static_cast<std::size_t>(rt::console_hook_slots));
    EXPECT_EQ(slots(), std::vector<bool>(rt::console_hook_slots, true));

    screen_exit_handler();
    EXPECT_TRUE(closed());
    EXPECT_EQ(slots(), std::vector<bool>(rt::console_hook_slots, false));
    EXPECT_STREQ(window_title(), title.c_str()) << "the title outlives the screen";
}

TEST_F(ScreenSetup, DepthsAndPageCounts) {
    choice.zered = "NULL";
    for (auto [asked, depth, bytes] : {std::tuple{24, 32, 4}, {15, 16, 2}, {1, 1, 1}}) {
        ASSERT_EQ(screen_open_sized(16, 8, asked, 0, 0, 0), 0);
        EXPECT_EQ(current_screen()->depth, depth);
        EXPECT_EQ(current_screen()->bytes_per_pixel, bytes);
        EXPECT_EQ(current_screen()->pitch, 16 * bytes);
    }
    const int serial = current_screen()->serial;
    for (auto [w, h, d] : {std::tuple{16, 8, 3}, {16, 8, 12}, {16, 8, 0}, {0, 8, 8}, {16, -1, 8}}) {
        EXPECT_EQ(screen_open_sized(w, h, d, 1, 0, 0), 1);
        EXPECT_EQ(rt::last_error(), 1);
        EXPECT_EQ(current_screen()->serial, serial) << "a refused call leaves the screen open";
    }

    ASSERT_EQ(screen_open_sized(16, 8, 8, -5, 0, 0), 0);
    EXPECT_EQ(current_screen()->page_count, 1);
    ASSERT_EQ(screen_open_sized(1, 1, 8, 1, 0, 0), 0) << "the smallest screen";
    EXPECT_EQ(current_screen()->text_cols + current_screen()->text_rows, 0);
    for (auto [mode, pages, expected] : {std::tuple{1, 0, 8}, {8, -1, 4}, {13, 0, 1}, {13, 3, 3}}) {
        ASSERT_EQ(screen_open_mode(mode, 0, pages, 0, 0), 0);
        EXPECT_EQ(current_screen()->page_count, expected) << mode;
        EXPECT_EQ(current_screen()->text_cells.size(), static_cast<std::size_t>(expected));
    }
    ASSERT_EQ(screen_open_mode(14, 24, 1, 0, 0), 0);
    EXPECT_EQ(current_screen()->depth, 32);
    ASSERT_EQ(screen_open_mode(13, 32, 1, 0, 0), 0);
    EXPECT_EQ(current_screen()->depth, 8) << "below mode 14 the mode's own depth";
    ASSERT_EQ(screen_open_mode(2, 0, 1, 0, 0), 0);
    EXPECT_EQ(current_screen()->dirty.size(), 400u) << "200 lines, each shown twice";

    EXPECT_EQ(screen_open_mode(3, 0, 0, 0, 0), 1);
    EXPECT_EQ(screen_open_mode(22, 0, 0, 0, 0), 1);
    EXPECT_NE(current_screen(), nullptr);
    EXPECT_EQ(screen_open_mode(0, 0, 0, 0, 0), 0);
    EXPECT_TRUE(closed());
    EXPECT_EQ(screen_open_mode_pages(13, -1, -1), 0);
    EXPECT_EQ(screen_open_mode_pages(13, 0, 0), 0);
    EXPECT_EQ(screen_open_mode_pages(7, 2, -1), 0);
    EXPECT_EQ(context_get().work_page, 2) << "one page number is enough to choose pages";
    EXPECT_EQ(current_screen()->visible_page, 0);
    EXPECT_EQ(mode_info(-1), nullptr);
    EXPECT_EQ(mode_info(mode_count), nullptr);
}

TEST_F(ScreenSetup, EveryNumberedMode) {
    choice.zered = "null";
    struct Row {
        int mode, width, height, depth, scanline, pages, colours, glyph_height, cols, rows;
        std::uint32_t value1; // the colour pixel value 1 shows, 0x00BBGGRR
    };
    constexpr std::uint32_t blue = 0xAA0000, cyan = 0xFFFF55, white = 0xFFFFFF;
    for (const Row& r : {
             Row{1, 320, 200, 2, 1, 8, 16, 8, 40, 25, cyan},
             Row{2, 640, 200, 1, 2, 1, 16, 8, 80, 25, white},
             Row{7, 320, 200, 4, 1, 8, 16, 8, 40, 25, blue},
             Row{8, 640, 200, 4, 2, 4, 16, 8, 80, 25, blue},
             Row{9, 640, 350, 4, 1, 2, 64, 14, 80, 25, blue},
             Row{10, 640, 350, 1, 1, 2, 2, 14, 80, 25, white},
             Row{11, 640, 480, 1, 1, 1, 2, 16, 80, 30, white},
             Row{12, 640, 480, 4, 1, 1, 256, 16, 80, 30, blue},
             Row{13, 320, 200, 8, 1, 1, 256, 8, 40, 25, blue},
             Row{14, 320, 240, 8, 1, 1, 256, 8, 40, 30, blue},
             Row{15, 400, 300, 8, 1, 1, 256, 8, 50, 37, blue},
             Row{16, 512, 384, 8, 1, 1, 256, 16, 64, 24, blue},
             Row{17, 640, 400, 8, 1, 1, 256, 16, 80, 25, blue},
             Row{18, 640, 480, 8, 1, 1, 256, 16, 80, 30, blue},
             Row{19, 800, 600, 8, 1, 1, 256, 16, 100, 37, blue},
             Row{20, 1024, 768, 8, 1, 1, 256, 16, 128, 48, blue},
             Row{21, 1280, 1024, 8, 1, 1, 256, 16, 160, 64, blue},
         }) {
        SCOPED_TRACE(r.mode);
        ASSERT_EQ(screen_open_mode(r.mode, 0, 0, 0, 0), 0);
        const ScreenState& s = *current_screen();
        EXPECT_EQ(s.mode_num, r.mode);
        EXPECT_EQ(std::tuple(s.width, s.height, s.depth, s.page_count),
                  std::tuple(r.width, r.height, r.depth, r.pages));
        EXPECT_EQ(s.dirty.size(), static_cast<std::size_t>(r.height * r.scanline));
        ASSERT_NE(s.default_palette, nullptr);
        EXPECT_EQ(s.default_palette->colours, r.colours);
        ASSERT_NE(s.font, nullptr);
        EXPECT_EQ(s.font->height, r.glyph_height);
        EXPECT_EQ(std::pair(s.text_cols, s.text_rows), std::pair(r.cols, r.rows));
        EXPECT_EQ(rt::view_bottom(), r.rows - 1);
        EXPECT_EQ(s.device_palette[1], r.value1);
    }
    for (const int mode : {3, 4, 5, 6, -1, 22})
        EXPECT_EQ(screen_open_mode(mode, 0, 0, 0, 0), 1);

    // From mode 14 on a caller may choose the depth among 8, 15, 16, 24 and 32; any other
    // depth, or one asked of an earlier mode, leaves the mode's own.
    for (auto [mode, asked, depth] : {std::tuple{14, 15, 16}, {14, 16, 16}, {21, 24, 32},
                                      {14, 32, 32}, {14, 8, 8}, {14, 4, 8}, {13, 32, 8}}) {
        ASSERT_EQ(screen_open_mode(mode, asked, 0, 0, 0), 0);
        EXPECT_EQ(current_screen()->depth, depth) << mode << " " << asked;
    }
}

TEST_F(ScreenSetup, PagesStartInTheBackgroundColour) {
    choice.zered = "null";
    for (auto [depth, background] : {std::pair{32, 0xFF000000u}, {16, 0u}, {8, 0u}}) {
        ASSERT_EQ(screen_open_sized(24, 8, depth, 3, 0, 0), 0);
        const ScreenState& s = *current_screen();
        for (const PageBuffer& page : s.pages)
            for (int i = 0; i < s.pitch * s.height; i += s.bytes_per_pixel) {
                std::uint32_t pixel = 0;
                std::memcpy(&pixel, page.pixels + i, static_cast<std::size_t>(s.bytes_per_pixel));
                ASSERT_EQ(pixel, background) << depth << " at " << i;
            }
    }
}

TEST_F(ScreenSetup, BuffersTooLargeForThirtyTwoBitsOpenNothing) {
    choice.zered = "null";
    ASSERT_EQ(screen_open_sized(16, 8, 8, 1, 0, 0), 0);
    EXPECT_EQ(screen_open_sized(70000, 70000, 32, 1, 0, 0), 1);
    EXPECT_TRUE(closed());
    EXPECT_EQ(screen_open_sized(1024, 1024, 8, 3000, 0, 0), 1) << "3 GB of pages";
    EXPECT_TRUE(closed());
    // Lines whose byte count alone passes 2^31: refused before any size is computed in int.
    for (auto [width, depth] : {std::pair{0x40000000, 32}, {0x7FFFFFFF, 16}, {0x7FFFFFFF, 24}}) {
        EXPECT_EQ(screen_open_sized(width, 1, depth, 1, 0, 0), 1) << width << " " << depth;
        EXPECT_TRUE(closed());
    }
    EXPECT_EQ(rt::last_error(), 1);
}

TEST_F(ScreenSetup, EveryDriverTwiceThenAllFlipped) {
    EXPECT_EQ(screen_open_sized(32, 16, 8, 1, MODE_FULLSCREEN, 60), 1);
    const std::vector<Call> expected{
        {0, true, 60, 1, 8}, {0, false}, {0, true, 0, 1, 8}, {0, false},
        {1, true, 60, 1, 8}, {1, false}, {1, true, 0, 1, 8}, {1, false},
        {0, true, 60, 0, 8}, {0, false}, {0, true, 0, 0, 8}, {0, false},
        {1, true, 60, 0, 8}, {1, false}, {1, true, 0, 0, 8}, {1, false},
    };
    EXPECT_EQ(fakes().calls, expected);
    EXPECT_TRUE(closed());

    // The GDI driver takes the screen windowed only: found in the flipped pass.
    fakes() = FakeDrivers{};
    fakes().accepts[1] = accept_windowed;
    ASSERT_EQ(screen_open_sized(32, 16, 8, 1, MODE_FULLSCREEN, 0), 0);
    EXPECT_EQ(current_screen()->driver, &gdi);
    EXPECT_EQ(fakes().calls.size(), 13u);
    EXPECT_EQ(fakes().calls.back(), (Call{1, true, 0, 0, 8}));
}

TEST_F(ScreenSetup, TheNamedDriverGoesFirst) {
    choice.zered = "gdi";
    EXPECT_EQ(screen_open_sized(32, 16, 8, 1, 0, 75), 1);
    std::vector<int> order;
    for (const Call& call : fakes().calls)
        if (call.init) order.push_back(call.driver * 10 + (call.flags & MODE_FULLSCREEN));
    EXPECT_EQ(order, (std::vector<int>{10, 10, 0, 0, 10, 10, 11, 11, 1, 1, 11, 11}));

    fakes() = FakeDrivers{};
    fakes().accepts[0] = accept_any;
    fakes().accepts[1] = accept_any;
    ASSERT_EQ(screen_open_sized(32, 16, 8, 1, 0, 0), 0);
    EXPECT_EQ(current_screen()->driver, &gdi);

    // An unknown name only makes its own passes empty, also one that differs from a known name
    // in its last letter or ends early.
    for (const char* name : {"Glide", "nulx", "nul", "gdx"}) {
        choice.zered = name;
        ASSERT_EQ(screen_open_sized(32, 16, 8, 1, 0, 0), 0);
        EXPECT_EQ(current_screen()->driver, &direct) << name;
    }

    // The null driver, by request or by MODE_NULL: no init.
    fakes().calls.clear();
    choice.zered = "nULL";
    ASSERT_EQ(screen_open_sized(32, 16, 8, 1, 0, 0), 0);
    EXPECT_EQ(current_screen()->driver, &null_driver);
    choice.zered = nullptr;
    ASSERT_EQ(screen_open_sized(32, 16, 8, 1, MODE_NULL | MODE_ALPHA_PRIMITIVES, 0), 0);
    EXPECT_EQ(current_screen()->driver, &null_driver);
    EXPECT_FALSE(current_screen()->flags & STATE_ALPHA_PRIMITIVES);
    EXPECT_EQ(fakes().calls, (std::vector<Call>{{0, false}})) << "only the DirectX screen's exit";
}

TEST_F(ScreenSetup, FlagAdjustmentsReachTheDriver) {
    fakes().accepts[0] = accept_any;
    ASSERT_EQ(screen_open_sized(32, 16, 8, 1, MODE_OPENGL | MODE_SHAPED_WINDOW, 0), 0);
    EXPECT_EQ(fakes().calls[0], (Call{0, true, 0, MODE_OPENGL | MODE_SHAPED_WINDOW |
                                                      MODE_NO_SWITCH | MODE_NO_FRAME, 16}));
    EXPECT_EQ(current_screen()->depth, 16);
    ASSERT_EQ(screen_open_sized(32, 16, 32, 1, MODE_ALPHA_PRIMITIVES, 0), 0);
    EXPECT_TRUE(current_screen()->flags & STATE_ALPHA_PRIMITIVES);

    // A negative flag word is a whole value: passed on as it is, the depth left alone; only the
    // null driver's value keeps the alpha request from the screen.
    fakes().calls.clear();
    const ModeFlags whole = 0x80000000u | MODE_OPENGL | MODE_SHAPED_WINDOW | MODE_ALPHA_PRIMITIVES;
    ASSERT_EQ(screen_open_sized(32, 16, 8, 1, whole, 0), 0);
    EXPECT_EQ(fakes().calls.back(), (Call{0, true, 0, whole, 8}));
    EXPECT_EQ(current_screen()->depth, 8);
    EXPECT_TRUE(current_screen()->flags & STATE_ALPHA_PRIMITIVES);
}

TEST_F(ScreenSetup, NumberedModesReachTheDriverAndAnOpenStartsTheTextColumn) {
    fakes().accepts[0] = accept_any;
    rt::standard_output().column = 7;
    ASSERT_EQ(screen_open_mode(8, 0, 0, MODE_FULLSCREEN, 85), 0); // 200 rows of two lines each
    EXPECT_EQ(fakes().calls[0], (Call{0, true, 85, MODE_FULLSCREEN, 4}));
    EXPECT_EQ(fakes().heights[0], 400);
    EXPECT_EQ(rt::standard_output().column, 0);

    rt::standard_output().column = 7;
    ASSERT_EQ(screen_open_sized(32, 16, 8, 1, 0, 0), 0);
    EXPECT_EQ(rt::standard_output().column, 0);
    const auto& dirty = current_screen()->dirty;
    EXPECT_EQ(std::count(dirty.begin(), dirty.end(), 1), 16) << "the cleared page waits whole";

    // One page asked for is one page, whatever the mode has.
    ASSERT_EQ(screen_open_mode(7, 0, 1, 0, 0), 0);
    EXPECT_EQ(current_screen()->page_count, 1);
    rt::standard_output().column = 7;
    EXPECT_EQ(screen_open_sized(32, 16, 3, 1, 0, 0), 1) << "no such depth";
    EXPECT_EQ(rt::standard_output().column, 7) << "a failed open leaves the text column";
    EXPECT_EQ(screen_open_mode(3, 0, 0, 0, 0), 1) << "no such mode";
    EXPECT_EQ(rt::standard_output().column, 7);
    fakes().accepts[0] = nullptr;
    EXPECT_EQ(screen_open_sized(32, 16, 8, 1, 0, 0), 1) << "no driver takes it";
    EXPECT_EQ(rt::standard_output().column, 7);
    fakes().accepts[0] = accept_any;

    fakes().calls.clear();
    ASSERT_EQ(screen_open_mode_pages(13, -1, -1), 0);
    EXPECT_EQ(fakes().calls.back(), (Call{0, true, 0, 0, 8}));
}

TEST(ScreenSizes, PagesWithTheirSlackAndTheDirtyFlagsStayWithinTheLimit) {
    constexpr int limit = 0x7FFF0000; // bytes; each page also takes 32 bytes of alignment slack
    EXPECT_TRUE(page_sizes_fit(limit - 32, 1, 1, 1, 1));
    EXPECT_FALSE(page_sizes_fit(limit - 31, 1, 1, 1, 1));
    EXPECT_TRUE(page_sizes_fit(limit / 2 - 32, 1, 1, 1, 2));
    EXPECT_FALSE(page_sizes_fit(limit / 2 - 31, 1, 1, 1, 2));
    EXPECT_FALSE(page_sizes_fit(limit / 8, 1, 4, 1, 2)) << "four bytes a pixel";
    // One dirty flag per display line: height times lines per row.
    EXPECT_TRUE(page_sizes_fit(1, limit / 2, 1, 2, 1));
    EXPECT_FALSE(page_sizes_fit(1, limit / 2 + 1, 1, 2, 1));
}

TEST_F(ScreenSetup, ASecondOpenClosesTheFirstAndKeepsTheTitle) {
    fakes().accepts[0] = accept_any;
    screen_set_title(std::string(200, 't'));
    EXPECT_EQ(std::string(window_title()), std::string(127, 't'));
    ASSERT_EQ(screen_open_sized(32, 16, 8, 1, 0, 0), 0);
    const int first = current_screen()->serial;
    EXPECT_EQ(rt::view_bottom(), 1);
    screen_set_title("drivenudge");
    ASSERT_EQ(screen_open_sized(64, 32, 8, 1, 0, 0), 0);
    EXPECT_GT(current_screen()->serial, first);
    EXPECT_EQ(rt::view_bottom(), 3) << "the text view follows the new grid";
    EXPECT_EQ(fakes().calls, (std::vector<Call>{{0, true, 0, 0, 8}, {0, false}, {0, true, 0, 0, 8}}));
    EXPECT_EQ(fakes().titles,
              (std::vector<std::string>{std::string(127, 't'), "drivenudge", "drivenudge"}));
    screen_set_title(title_from_path(program_file_path())); // the default, for the other tests
}

// The exit handler is registered with the first screen, so a screen left open is closed, its
// driver and display restored, when the program ends.
void say_closed() { std::fputs("driver closed at exit\n", stderr); }
const DisplayDriver closing{"Closing", [](const char*, int, int, int, int, ModeFlags) { return 0; },
                            say_closed, no_op,   no_op,   nullptr, nullptr,
                            nullptr,    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const DisplayDriver* const closing_only[] = {&closing};

void open_and_exit() {
    static const DriverChoiceOverride choice{closing_only, nullptr};
    override_driver_choice(&choice);
    screen_open_sized(16, 8, 8, 1, 0, 0);
    std::exit(0);
}

TEST(ScreenAtExit, IsClosedByTheExitHandler) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(open_and_exit(), ::testing::ExitedWithCode(0), "driver closed at exit");
}

TEST(WindowTitle, IsTheProgramFileNameWithoutFolderAndExtension) {
    EXPECT_EQ(title_from_path("C:\\tools\\drivenudge.exe"), "drivenudge");
    EXPECT_EQ(title_from_path("/opt/bin/a.b.c"), "a.b");
    EXPECT_EQ(title_from_path("plain"), "plain");
    EXPECT_EQ(title_from_path("c:\\x.y\\name"), "name");
    // The name is taken from the whole path, so a long folder cannot cut it.
    EXPECT_EQ(title_from_path(std::string(300, 'd') + "\\drivenudge.exe"), "drivenudge");
    EXPECT_EQ(title_from_path(std::string(300, 'n')), std::string(127, 'n'));
}

} // namespace
