#include "gfx/core/display_driver.h"
#include "gfx/core/screen_state.h"

namespace zered {

namespace {

ScreenState* open_screen = nullptr;

void do_nothing() {}

} // namespace

ScreenState* current_screen() { return open_screen; }
void set_current_screen(ScreenState* screen) { open_screen = screen; }

const DisplayDriver null_driver{
    "Null",  nullptr, nullptr, do_nothing, do_nothing, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr,    nullptr,    nullptr, nullptr,
};

} // namespace zered
