#include "gfx/window/present_pass.h"

#include <gtest/gtest.h>

#include <vector>

#include "gfx/console/key_tables.h"

namespace zered {
namespace {

TEST(DirtyBand, RunsFromTheFirstToTheLastDirtyLineWithTheCleanOnesBetween) {
    EXPECT_EQ(find_dirty_band(std::vector<std::uint8_t>{}), (DirtyBand{0, 0}));
    EXPECT_EQ(find_dirty_band(std::vector<std::uint8_t>{0, 0, 0}), (DirtyBand{0, 0}));
    EXPECT_EQ(find_dirty_band(std::vector<std::uint8_t>{1}), (DirtyBand{0, 1}));
    EXPECT_EQ(find_dirty_band(std::vector<std::uint8_t>{0, 1, 0, 0, 2, 0}), (DirtyBand{1, 4}));
    EXPECT_EQ(find_dirty_band(std::vector<std::uint8_t>{0, 0, 0, 1}), (DirtyBand{3, 1}));
    EXPECT_EQ(find_dirty_band(std::vector<std::uint8_t>{1, 0, 0, 1}), (DirtyBand{0, 4}));
}

TEST(DirtyBand, APassLooksOnlyAtTheWindowsLinesAndTheFlagsThereAre) {
    ScreenState screen;
    screen.dirty.assign(8, 1);
    EXPECT_EQ(pass_dirty_flags(screen, 5).size(), 5u);
    EXPECT_EQ(pass_dirty_flags(screen, 12).size(), 8u);
    EXPECT_EQ(pass_dirty_flags(screen, -1).size(), 0u);
    EXPECT_EQ(pass_dirty_flags(screen, 5).data(), screen.dirty.data());
}

TEST(DirtyBand, DisplayRowsRepeatEachLineAndStopAtTheWindow) {
    EXPECT_EQ(band_display_rows({3, 2}, 1, 100), (DirtyBand{3, 2}));
    EXPECT_EQ(band_display_rows({3, 2}, 2, 100), (DirtyBand{6, 4}));
    EXPECT_EQ(band_display_rows({3, 2}, 0, 100), (DirtyBand{3, 2})) << "at least one row a line";
    EXPECT_EQ(band_display_rows({48, 4}, 2, 100), (DirtyBand{96, 4}));
}

// A recorded pass loop: what happened, in order.
std::vector<std::string> steps;
int passes_left = 0;
bool locked = false;

TEST(PassLoop, PassesUnderTheLockThenSleepsThePeriodWithTheLockFree) {
    steps.clear();
    passes_left = 2;
    locked = false;
    run_pass_loop({
        [] { return passes_left > 0; },
        [] { locked = true; steps.push_back("lock"); },
        [] { locked = false; steps.push_back("unlock"); },
        [] {
            steps.push_back(locked ? "pass" : "pass without lock");
            --passes_left;
        },
        [](int milliseconds) {
            steps.push_back((locked ? "locked sleep " : "sleep ") + std::to_string(milliseconds));
        },
    });
    const std::vector<std::string> expected{"lock", "pass", "unlock", "sleep 10",
                                            "lock", "pass", "unlock", "sleep 10"};
    EXPECT_EQ(steps, expected);

    // Stopped before it starts: no pass at all.
    steps.clear();
    run_pass_loop({[] { return false; }, [] {}, [] {}, [] { steps.push_back("pass"); }, [](int) {}});
    EXPECT_TRUE(steps.empty());
}

TEST(KeyStateFolding, EveryRowOfAVirtualKeyShowsItHeldAndOtherEntriesStayAsTheyWere) {
    std::uint8_t key_state[key_state_size];
    std::fill(std::begin(key_state), std::end(key_state), std::uint8_t{7});
    // Shift names two rows (42 and 54); Numpad 8 is the second virtual key of row 72 (Up).
    fold_key_states(key_state, [](std::uint8_t virtual_key) {
        return virtual_key == vk::shift || virtual_key == vk::numpad0 + 8;
    });
    EXPECT_EQ(key_state[42], 1);
    EXPECT_EQ(key_state[54], 1);
    EXPECT_EQ(key_state[72], 1);
    EXPECT_EQ(key_state[30], 0); // A: has a row, not held
    EXPECT_EQ(key_state[1], 0);  // Esc
    EXPECT_EQ(key_state[74], 7); // no row: left alone
    EXPECT_EQ(key_state[89], 7);
    EXPECT_EQ(key_state[0], 7);
}

} // namespace
} // namespace zered
