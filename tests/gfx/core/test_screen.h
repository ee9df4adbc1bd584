// A screen for tests, allocated the way the screen set-up does it but with a fake driver that
// records what it is asked, installed as the open screen for the test's lifetime.
//
//     zered::test::TestScreen screen({.width = 16, .height = 4, .depth = 32});
//     ... draw through zered::context_get() ...
//     EXPECT_EQ(screen.driver().locks, 1);
//
// One TestScreen at a time: the fake driver's record is process-wide, as driver state is.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/core/builtin_data.h"
#include "gfx/core/display_driver.h"
#include "gfx/core/screen_state.h"

namespace zered::test {

struct PaletteCall {
    int index, red, green, blue;
    bool locked; // the driver lock was held at the time
    bool operator==(const PaletteCall&) const = default;
};

// What the fake driver has been asked since the TestScreen was made (or clear()).
struct FakeDriverRecord {
    int locks = 0;
    int unlocks = 0;
    bool held = false; // between a lock and its unlock
    std::vector<PaletteCall> palette_calls;
    void clear() { *this = FakeDriverRecord{}; }
};

// Lock and unlock count into the record; set_palette records each call. No other slots.
const DisplayDriver& fake_driver();
FakeDriverRecord& fake_driver_record();

struct TestScreenOptions {
    int width = 64;
    int height = 16;
    int depth = 8; // as requested: 15 and 24 are normalised like the set-up does
    int pages = 1;
    int mode_num = -1;
    int scanline_size = 1;
    const PaletteDesc* palette = vga_palette(); // nullptr for none
    const FontDesc* font = builtin_font(0);     // nullptr for none
    int text_cols = -1;                         // -1: width / the font's glyph width
    int text_rows = -1;                         // -1: height / the font's glyph height
    std::uint32_t state_flags = 0;              // e.g. STATE_ALPHA_PRIMITIVES
    bool fake = true;                           // false: the null driver
    // Finish as the set-up does: palette reset, drawing context, text grids, pages cleared to
    // the background colour; the driver record is cleared afterwards.
    bool finish_set_up = true;
};

class TestScreen {
  public:
    explicit TestScreen(const TestScreenOptions& options = {});
    ~TestScreen();
    TestScreen(const TestScreen&) = delete;
    TestScreen& operator=(const TestScreen&) = delete;

    ScreenState& screen() { return *screen_; }
    ScreenState* operator->() { return screen_.get(); }
    FakeDriverRecord& driver() { return fake_driver_record(); }

    // Address of pixel x of line y of a page.
    std::uint8_t* pixel_address(int page, int x, int y);
    // How many lines are marked dirty; and unmark them all, as a driver does after presenting.
    int dirty_lines() const;
    void clear_dirty();

  private:
    std::unique_ptr<ScreenState> screen_;
    ScreenState* previous_;
};

} // namespace zered::test
