#include "gfx/core/test_screen.h"

#include <algorithm>

#include "gfx/core/draw_context.h"
#include "gfx/core/framebuffer.h"
#include "gfx/core/palette.h"

namespace zered::test {

namespace {

// Far above what the real set-up's counter reaches in a test run, so that a test screen never
// shares a serial with a screen opened by the set-up (the drawing context would not notice it).
int next_serial = 1'000'000;

void fake_lock() {
    ++fake_driver_record().locks;
    fake_driver_record().held = true;
}

void fake_unlock() {
    ++fake_driver_record().unlocks;
    fake_driver_record().held = false;
}

void fake_set_palette(int index, int red, int green, int blue) {
    fake_driver_record().palette_calls.push_back(
        {index, red, green, blue, fake_driver_record().held});
}

const DisplayDriver driver{
    "Fake",  nullptr, nullptr, fake_lock, fake_unlock, fake_set_palette, nullptr,
    nullptr, nullptr, nullptr, nullptr,   nullptr,     nullptr,          nullptr,
};

} // namespace

const DisplayDriver& fake_driver() {
    return driver;
}

FakeDriverRecord& fake_driver_record() {
    static FakeDriverRecord record;
    return record;
}

TestScreen::TestScreen(const TestScreenOptions& options)
    : screen_(std::make_unique<ScreenState>()), previous_(current_screen()) {
    ScreenState& s = *screen_;
    s.serial = next_serial++;
    s.mode_num = options.mode_num;
    s.default_palette = options.palette;
    s.scanline_size = options.scanline_size;
    s.font = options.font;
    framebuffer_set_geometry(s, options.width, options.height, options.depth);
    allocate_pages(s, options.pages);
    allocate_dirty_flags(s);
    s.flags = options.state_flags;
    s.driver = options.fake ? &fake_driver() : &null_driver;
    fake_driver_record().clear();
    set_current_screen(&s);
    select_depth_primitives(s.bytes_per_pixel);
    if (!options.finish_set_up) return;

    palette_set(-1, 0, 0, 0);
    const int glyph_w = options.font ? options.font->width : 8;
    const int glyph_h = options.font ? options.font->height : 8;
    s.text_cols = options.text_cols >= 0 ? options.text_cols : options.width / glyph_w;
    s.text_rows = options.text_rows >= 0 ? options.text_rows : options.height / glyph_h;
    DrawContext& context = context_get();
    text_cells_reset(context, true);
    context_clear_pages(context, s);
    fake_driver_record().clear();
}

TestScreen::~TestScreen() {
    set_current_screen(previous_);
}

std::uint8_t* TestScreen::pixel_address(int page, int x, int y) {
    return screen_->pages[static_cast<std::size_t>(page)].pixels + y * screen_->pitch +
           x * screen_->bytes_per_pixel;
}

int TestScreen::dirty_lines() const {
    return static_cast<int>(std::count_if(screen_->dirty.begin(),
                                          screen_->dirty.begin() + screen_->height,
                                          [](std::uint8_t flag) { return flag != 0; }));
}

void TestScreen::clear_dirty() {
    std::fill(screen_->dirty.begin(), screen_->dirty.end(), 0);
}

} // namespace zered::test
