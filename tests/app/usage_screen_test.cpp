#include "app/usage_screen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/usage_text.h"
#include "gfx/console/text_output.h"
#include "gfx/core/palette.h"
#include "gfx/screen/screen_setup.h"
#include "runtime/console_hooks.h"

namespace {

using namespace zered;

// The cursor (0-based column, row) after each print reached the screen.
std::vector<std::pair<int, int>>& cursors() {
    static std::vector<std::pair<int, int>> c;
    return c;
}

void recording_print(const unsigned char* bytes, int length, unsigned flags) {
    print_text(bytes, length, flags);
    const ScreenState& s = *current_screen();
    EXPECT_FALSE(s.flags & STATE_WRAP_PENDING);
    cursors().emplace_back(s.cursor_x, s.cursor_y);
}

// The page as a binary PPM: its pixels' colours through the device palette.
std::string page_as_ppm(const ScreenState& s) {
    std::string ppm = "P6\n" + std::to_string(s.width) + " " + std::to_string(s.height) + "\n255\n";
    for (int i = 0; i < s.width * s.height; ++i) {
        const std::uint32_t entry = s.device_palette[s.visible_fb[i]];
        ppm += static_cast<char>(palette_red(entry));
        ppm += static_cast<char>(palette_green(entry));
        ppm += static_cast<char>(palette_blue(entry));
    }
    return ppm;
}

// The usage screen drawn on the null driver, as the help path draws it before it waits.
class UsageScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        override_driver_choice(&null_choice);
        ASSERT_EQ(drivenudge::open_usage_screen(), 0);
        std::fill(current_screen()->dirty.begin(), current_screen()->dirty.end(), 0);
    }
    void TearDown() override {
        screen_exit_handler();
        override_driver_choice(nullptr);
    }
    DriverChoiceOverride null_choice{{}, "null"};
};

TEST_F(UsageScreen, EachPrintLeavesTheCursorWhereTheLinesNeedIt) {
    cursors().clear();
    rt::console_hooks().print_text = recording_print;
    drivenudge::print_usage();
    const std::vector<std::pair<int, int>> expected{
        {44, 0}, {0, 1}, {4, 1},  {19, 1}, {25, 1}, {40, 1}, {41, 1}, {0, 2},
        {38, 2}, {0, 3}, {29, 3}, {0, 4},  {0, 5},  {26, 5}, {0, 6},
    };
    EXPECT_EQ(cursors(), expected);
}

TEST_F(UsageScreen, SixLinesInTwoColoursMatchTheGoldenImage) {
    drivenudge::print_usage();
    const ScreenState& s = *current_screen();
    const std::vector<std::string> lines{
        std::string(drivenudge::usage_pieces[0].text),
        "(md $drivenudge.tmp / rd $drivenudge.tmp)",
        "  usage   : drivenudge drive_letter(s)",
        "  example : drivenudge cdefxy",
        "",
        "hit anykey to close window",
    };
    ASSERT_EQ(lines[0].size(), 44u);
    for (int row = 0; row < 10; ++row) {
        std::string text;
        for (int column = 1; column <= 50; ++column)
            text.push_back(static_cast<char>(read_cell(column, row + 1, 0)));
        const std::string line = row < 6 ? lines[static_cast<std::size_t>(row)] : "";
        EXPECT_EQ(text, line + std::string(50 - line.size(), ' ')) << "row " << row;
    }
    EXPECT_EQ(s.cursor_x * 100 + s.cursor_y, 6);
    // Rows 0 to 5 are drawn, except the blank row 4, where only a line end went.
    for (int line = 0; line < 80; ++line)
        EXPECT_EQ(s.dirty[line] != 0, line < 32 || (line >= 40 && line < 48)) << line;
    for (int i = 0; i < 400 * 80; ++i)
        ASSERT_TRUE(s.visible_fb[i] == 0 || s.visible_fb[i] == 15) << "pixel " << i;

    // Window drivers are checked against the same picture. DN_UPDATE_GOLDEN=1 rewrites it.
    const std::string path = DN_TEST_DATA_DIR "/usage_screen.ppm";
    const std::string drawn = page_as_ppm(s);
    if (std::getenv("DN_UPDATE_GOLDEN")) std::ofstream(path, std::ios::binary) << drawn;
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    const std::string golden{std::istreambuf_iterator<char>(file), {}};
    EXPECT_TRUE(golden == drawn) << "the usage screen differs from " << path;
}

// What the set-up asks of a driver: the screen the usage text is drawn on.
struct DriverRequest {
    int width, height, depth, refresh_rate;
    ModeFlags flags;
    bool operator==(const DriverRequest&) const = default;
};
std::vector<DriverRequest> requests;
int record_init(const char*, int width, int height, int depth, int refresh_rate, ModeFlags flags) {
    requests.push_back({width, height, depth, refresh_rate, flags});
    return 0;
}
void no_op() {}

TEST(UsageScreenRequest, APlainWindowOfOnePageAtAnyRefreshRate) {
    static const DisplayDriver recorder = [] {
        DisplayDriver d{};
        d.name = "recorder";
        d.init = record_init;
        d.exit = d.lock = d.unlock = no_op;
        return d;
    }();
    static const DisplayDriver* const drivers[] = {&recorder};
    const DriverChoiceOverride choice{drivers, nullptr};
    override_driver_choice(&choice);
    requests.clear();
    ASSERT_EQ(drivenudge::open_usage_screen(), 0);
    EXPECT_EQ(current_screen()->page_count, 1);
    screen_exit_handler();
    override_driver_choice(nullptr);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0] == (DriverRequest{400, 80, 8, 0, 0}))
        << requests[0].width << "x" << requests[0].height << "x" << requests[0].depth << " at "
        << requests[0].refresh_rate << " Hz, flags " << requests[0].flags;
}

} // namespace
