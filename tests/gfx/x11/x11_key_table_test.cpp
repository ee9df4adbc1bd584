// Every row of the shared key table, typed through XTest on the test's private X server: the X11
// driver must give what the Windows window layer gives for the same key.
#include "gfx/x11/x11_driver.h"

// Before Xlib, whose macros (None, Bool, Status) would otherwise rewrite gtest's own names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "gfx/console/event_queue.h"
#include "gfx/console/key_buffer.h"
#include "gfx/console/key_test_support.h"
#include "gfx/screen/screen_setup.h"
#include "gfx/core/screen_state.h"
#include "gfx/window/key_table.h"
#include "gfx/x11/x11_test_fixture.h"

namespace zered {
namespace {

using namespace std::chrono_literals;
using namespace keytable;

class X11KeyTable : public ::testing::Test {
  protected:
    void SetUp() override {
        display_ = open_test_display();
        if (!display_ && !std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        ASSERT_NE(display_, nullptr);
        // The rows are those of a US layout, whose 102nd key types \ and | (X's US layout gives it
        // < and >). Set before the screen opens, so that the driver's connection reads it.
        int per_keycode = 0;
        KeySym* old = XGetKeyboardMapping(display_, key_102nd.x_keycode, 1, &per_keycode);
        saved_102nd_.assign(old, old + per_keycode);
        XFree(old);
        std::vector<KeySym> us(saved_102nd_.size(), NoSymbol);
        us[0] = XK_backslash;
        if (us.size() > 1) us[1] = XK_bar;
        XChangeKeyboardMapping(display_, key_102nd.x_keycode, per_keycode, us.data(), 1);
        XSync(display_, False);

        screen_set_title("zered-x11-key-table");
        ASSERT_EQ(screen_open_sized(400, 80, 8, 1, 0, 0), 0);
        ASSERT_STREQ(current_screen()->driver->name, "X11");
        // The pointer in the window, and a few passes: the window has the keyboard by then.
        XWindowAttributes a{};
        XGetWindowAttributes(display_, x11_window_id(), &a);
        int root_x = 0, root_y = 0;
        ::Window child;
        XTranslateCoordinates(display_, x11_window_id(), a.root, 200, 40, &root_x, &root_y, &child);
        XTestFakeMotionEvent(display_, -1, root_x, root_y, CurrentTime);
        XFlush(display_);
        const unsigned long start = x11_pass_count();
        for (int i = 0; i < 200 && x11_pass_count() < start + 3; ++i)
            std::this_thread::sleep_for(10ms);
        keytest::take_events();
        keytest::empty_key_buffer();
    }
    void TearDown() override {
        screen_exit_handler();
        if (!display_) return;
        if (!saved_102nd_.empty())
            XChangeKeyboardMapping(display_, key_102nd.x_keycode,
                                   static_cast<int>(saved_102nd_.size()), saved_102nd_.data(), 1);
        XCloseDisplay(display_);
    }

    void key(unsigned keycode, bool press) {
        XTestFakeKeyEvent(display_, keycode, press ? True : False, CurrentTime);
    }

    // Types the row's key with its modifiers, then F12; returns once F12's release has come,
    // with the codes and key events that came before it.
    bool type(const Row& row, std::vector<std::int32_t>& codes, EventFields& events) {
        const unsigned modifier_keycodes[] = {ctrl_x_keycode, alt_x_keycode, shift_x_keycode};
        const unsigned modifier_bits[] = {ctrl, alt, shift};
        for (int i = 0; i < 3; ++i)
            if (row.modifiers & modifier_bits[i]) key(modifier_keycodes[i], true);
        key(row.key.x_keycode, true);
        key(row.key.x_keycode, false);
        for (int i = 2; i >= 0; --i)
            if (row.modifiers & modifier_bits[i]) key(modifier_keycodes[i], false);
        key(key_f12.x_keycode, true);
        key(key_f12.x_keycode, false);
        XFlush(display_);

        bool done = false;
        for (int i = 0; i < 500 && !done; ++i) {
            for (const Event& e : keytest::take_events()) {
                if (e.type == EVENT_KEY_RELEASED && e.field1 == key_f12.scan_code) done = true;
                if (!row_event(e.field1)) continue;
                events.push_back({e.type, e.field1, e.field2});
            }
            if (!done) std::this_thread::sleep_for(10ms);
        }
        while (key_waiting())
            codes.push_back(take_key());
        key_posted_take();
        if (!codes.empty() && codes.back() == f12_code) codes.pop_back();
        return done;
    }

    Display* display_ = nullptr;
    std::vector<KeySym> saved_102nd_;
};

TEST_F(X11KeyTable, EveryKeyGivesWhatWindowsGives) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(describe(row));
        std::vector<std::int32_t> codes;
        EventFields events;
        ASSERT_TRUE(type(row, codes, events)) << "F12 after the key never came";
        EXPECT_EQ(codes, row.codes);
        EXPECT_EQ(events, expected_events(row));
    }
}

} // namespace
} // namespace zered
