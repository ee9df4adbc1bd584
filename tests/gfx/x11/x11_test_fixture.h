// What the X11 driver's tests share: a fixture that opens screens on the X11 driver, watches the
// driver's window from a connection of its own, types and clicks with XTest, and collects events.
#pragma once

#include "gfx/x11/x11_driver.h"

// Before Xlib, whose macros (None, Bool, Status) would otherwise rewrite gtest's own names.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "gfx/console/event_queue.h"
#include "gfx/console/key_buffer.h"
#include "gfx/console/key_input.h"
#include "gfx/console/key_test_support.h"
#include "gfx/core/framebuffer.h"
#include "gfx/core/palette.h"
#include "gfx/screen/screen_setup.h"
#include "gfx/core/screen_state.h"

namespace zered {


using namespace std::chrono_literals;

// Polls for up to two seconds.
template <typename Condition> inline bool eventually(Condition condition) {
    for (int i = 0; i < 200; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

using keytest::take_events;

inline bool has_event(const std::vector<Event>& events, std::int32_t type, std::int32_t field1) {
    for (const Event& event : events)
        if (event.type == type && event.field1 == field1) return true;
    return false;
}

// 0x00RRGGBB of a device_palette entry (0x00BBGGRR).
inline std::uint32_t rgb_of_entry(std::uint32_t entry) {
    return (entry & 0xFF) << 16 | (entry & 0xFF00) | (entry >> 16 & 0xFF);
}

// A connection of the test's own to $DISPLAY, or nullptr. Connections opened and closed in quick
// succession make the server refuse one for a moment: tried again for 0.4 s.
inline Display* open_test_display() {
    Display* display = nullptr;
    for (int attempt = 0; attempt < 20 && !display; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (!display) std::this_thread::sleep_for(20ms);
    }
    return display;
}

class X11Test : public ::testing::Test {
  protected:
    void SetUp() override {
        display_ = open_test_display();
        // Run by hand without a display the tests have nothing to look at; given one, they must
        // reach it.
        if (!display_ && !std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        ASSERT_NE(display_, nullptr) << "cannot reach the display " << std::getenv("DISPLAY");
        screen_set_title("zered-x11-test");
        while (take_key() != 0) {
        }
    }
    void TearDown() override {
        screen_exit_handler();
        if (display_) XCloseDisplay(display_);
    }

    // Opens a screen on the X11 driver and waits for its first picture; false if it did not open.
    bool open(int width, int height, int depth, ModeFlags flags = 0) {
        if (screen_open_sized(width, height, depth, 1, flags, 0) != 0) return false;
        ScreenState* screen = current_screen();
        if (!screen || !screen->driver || std::strcmp(screen->driver->name, "X11") != 0)
            return false;
        window_ = x11_window_id();
        // A window manager gives the new window the keyboard in its own time, or not at all
        // (openbox's focus-stealing prevention at times): then the user clicks it.
        const auto focused = [&] {
            ::Window focus = 0;
            int revert = 0;
            XGetInputFocus(display_, &focus, &revert);
            return focus == window_;
        };
        eventually([&] { return attributes().map_state == IsViewable; });
        if (!eventually(focused) && !fake_window_manager_ &&
            attributes().map_state == IsViewable) {
            XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
            eventually(focused);
        }
        // The first passes present the cleared page; events of the opening are of no interest.
        const unsigned long start = x11_pass_count();
        eventually([&] { return x11_pass_count() > start + 2; });
        forget_events();
        return window_ != 0;
    }

    // With nothing to present the passes stop for a while: the driver thread waits for the
    // program or the server.
    bool passes_stop() {
        unsigned long passes = x11_pass_count();
        return eventually([&] {
            std::this_thread::sleep_for(100ms);
            const unsigned long now = x11_pass_count();
            const bool quiet = now == passes;
            passes = now;
            return quiet;
        });
    }

    // Fills framebuffer line y with a pixel value, as drawing does: under the screen lock, marking
    // the line dirty.
    void fill_line(int y, std::uint32_t value) {
        ScreenState& screen = *current_screen();
        screen_lock();
        std::uint8_t* line = screen.visible_fb + y * screen.pitch;
        for (int x = 0; x < screen.width; ++x) {
            if (screen.bytes_per_pixel == 1)
                line[x] = static_cast<std::uint8_t>(value);
            else if (screen.bytes_per_pixel == 2)
                std::memcpy(line + 2 * x, &value, 2);
            else
                std::memcpy(line + 4 * x, &value, 4);
        }
        screen_unlock(y, y);
    }

    XWindowAttributes attributes() {
        XWindowAttributes a{};
        XGetWindowAttributes(display_, window_, &a);
        return a;
    }

    // The window's size hints, which always give its position and size: "fixed" to the screen's
    // size (min and max both that), "free" (no min or max), else "other".
    std::string size_hints() {
        XSizeHints hints{};
        long supplied = 0;
        if (!XGetWMNormalHints(display_, window_, &hints, &supplied) ||
            (hints.flags & (PPosition | PSize)) != (PPosition | PSize))
            return "other"; // a window manager would place and size it as it sees fit
        const ScreenState& screen = *current_screen();
        const bool min = (hints.flags & PMinSize) && hints.min_width == screen.width &&
                         hints.min_height == screen.height;
        const bool max = (hints.flags & PMaxSize) && hints.max_width == screen.width &&
                         hints.max_height == screen.height;
        if (min && max) return "fixed";
        return (hints.flags & (PMinSize | PMaxSize)) ? "other" : "free";
    }

    // What pixel() answers for a pixel that is not opaque.
    static constexpr std::uint32_t see_through = 0xA0000000;

    // The pixel at x, y of the window, as 0x00RRGGBB with each channel widened to 8 bits.
    std::uint32_t pixel(int x, int y) {
        XImage* image = XGetImage(display_, window_, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xFFFFFFFF;
        const unsigned long value = XGetPixel(image, 0, 0);
        const auto channel = [value](unsigned long mask) {
            int shift = 0;
            while (mask && !(mask & 1)) {
                mask >>= 1;
                ++shift;
            }
            const unsigned long bits = (value >> shift) & mask;
            // Widen as the converters narrow: the top bits again below.
            unsigned long wide = bits;
            int width = 0;
            for (unsigned long m = mask; m; m >>= 1)
                ++width;
            wide = width >= 8 ? bits >> (width - 8) : (bits << (8 - width)) | (bits >> (2 * width - 8));
            return static_cast<std::uint32_t>(wide & 0xFF);
        };
        const std::uint32_t rgb = channel(image->red_mask) << 16 | channel(image->green_mask) << 8 |
                                  channel(image->blue_mask);
        // The bits of a 32-bit visual's pixel beyond its channels are its alpha, which a compositor
        // honours: all set, or the desktop shows through.
        const unsigned long alpha =
            image->depth == 32 ? 0xFFFFFFFFul & ~(image->red_mask | image->green_mask | image->blue_mask)
                               : 0;
        const bool opaque = (value & alpha) == alpha;
        XDestroyImage(image);
        return opaque ? rgb : see_through;
    }

    // The colour the window's visual shows for 0x00RRGGBB.
    std::uint32_t shown(std::uint32_t rgb) {
        if (attributes().depth >= 24) return rgb;
        // 5-6-5: the low bits are dropped, and pixel() widens them back from the top bits.
        const auto narrow = [](std::uint32_t c, int bits) {
            const std::uint32_t kept = c >> (8 - bits);
            return (kept << (8 - bits)) | (kept >> (2 * bits - 8));
        };
        return narrow(rgb >> 16 & 0xFF, 5) << 16 | narrow(rgb >> 8 & 0xFF, 6) << 8 |
               narrow(rgb & 0xFF, 5);
    }

    void key(KeySym keysym, bool press) {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), press ? True : False,
                          CurrentTime);
        XFlush(display_);
    }
    void tap(KeySym keysym) {
        key(keysym, true);
        key(keysym, false);
    }
    // Where x, y of the window is on the screen.
    std::pair<int, int> on_root(int x, int y) {
        int root_x = 0, root_y = 0;
        ::Window child;
        XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), x, y, &root_x,
                              &root_y, &child);
        return {root_x, root_y};
    }
    void pointer_to(int x, int y) {
        const auto [root_x, root_y] = on_root(x, y);
        XTestFakeMotionEvent(display_, -1, root_x, root_y, CurrentTime);
        XFlush(display_);
    }
    void button(unsigned number, bool press) {
        XTestFakeButtonEvent(display_, number, press ? True : False, CurrentTime);
        XFlush(display_);
    }

    // Waits until an event of this type and first field has come (since the last forget()).
    bool event_comes(std::int32_t type, std::int32_t field1) {
        return eventually([&] {
            for (const Event& event : take_events())
                seen_.push_back(event);
            return has_event(seen_, type, field1);
        });
    }
    void forget_events() {
        take_events();
        seen_.clear();
    }

    Display* display_ = nullptr;
    ::Window window_ = 0;
    bool fake_window_manager_ = false; // the test plays one: the focus is left alone
    std::vector<Event> seen_;
};

using X11Present = X11Test;
using X11Input = X11Test;
using X11Window = X11Test;
// Tests that play a window manager themselves: for a display without a real one.
using X11FakeWindowManager = X11Test;

} // namespace zered
