// The X11 driver on a real X server (the test runs on a private Xvfb display): what is drawn
// reaches the window, input made with XTest arrives as on every platform, the window goes full
// screen and back, and screens open and close quickly and while the driver thread presents.
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
namespace {

using namespace std::chrono_literals;

// Polls for up to two seconds.
template <typename Condition> bool eventually(Condition condition) {
    for (int i = 0; i < 200; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

using keytest::take_events;

bool has_event(const std::vector<Event>& events, std::int32_t type, std::int32_t field1) {
    for (const Event& event : events)
        if (event.type == type && event.field1 == field1) return true;
    return false;
}

// 0x00RRGGBB of a device_palette entry (0x00BBGGRR).
std::uint32_t rgb_of_entry(std::uint32_t entry) {
    return (entry & 0xFF) << 16 | (entry & 0xFF00) | (entry >> 16 & 0xFF);
}

class X11Test : public ::testing::Test {
  protected:
    void SetUp() override {
        // Connections opened and closed in quick succession make the server refuse one for a
        // moment.
        for (int attempt = 0; attempt < 20 && !display_; ++attempt) {
            display_ = XOpenDisplay(nullptr);
            if (!display_) std::this_thread::sleep_for(20ms);
        }
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
    void pointer_to(int x, int y) {
        const XWindowAttributes a = attributes();
        int root_x = 0, root_y = 0;
        ::Window child;
        XTranslateCoordinates(display_, window_, a.root, x, y, &root_x, &root_y, &child);
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

TEST_F(X11Present, DrawnLinesOfEachDepthReachTheWindow) {
    // 8 bits through the palette, 16 bits 5-6-5, 32 bits as they are; a width that is not a
    // multiple of 4 takes the plain converters.
    for (const int depth : {8, 16, 32}) {
        for (const int width : {400, 401}) {
            SCOPED_TRACE("depth " + std::to_string(depth) + " width " + std::to_string(width));
            ASSERT_TRUE(open(width, 80, depth));
            EXPECT_EQ(attributes().width, width);
            EXPECT_EQ(attributes().height, 80);
            EXPECT_EQ(attributes().visual->c_class, TrueColor);
            Visual* default_visual = DefaultVisual(display_, DefaultScreen(display_));
            if (default_visual->c_class == TrueColor &&
                DefaultDepth(display_, DefaultScreen(display_)) <= 24) {
                EXPECT_EQ(attributes().visual, default_visual) << "the server's own visual";
            }
            int opcode, event, error;
            // Run where the server cannot attach our memory (DN_X11_NO_ATTACH), the image goes
            // through the connection although the server offers shared memory.
            const bool attachable = std::getenv("DN_X11_NO_ATTACH") == nullptr;
            EXPECT_EQ(x11_uses_shared_memory(),
                      attachable &&
                          XQueryExtension(display_, "MIT-SHM", &opcode, &event, &error) == True)
                << "shared memory wherever the server offers it";
            const ScreenState& screen = *current_screen();
            std::uint32_t value, rgb;
            if (depth == 8) {
                value = 4;
                rgb = rgb_of_entry(screen.device_palette[4]);
            } else if (depth == 16) {
                value = 0xF800 | 0x07E0; // red and green full: yellow
                rgb = 0xF8FC00; // widened by shifting, as the converters do
            } else {
                value = 0x00C08040;
                rgb = 0xC08040;
            }
            fill_line(10, value);
            fill_line(79, value);
            EXPECT_TRUE(eventually([&] { return pixel(width - 1, 79) == shown(rgb); }));
            EXPECT_EQ(pixel(0, 10), shown(rgb));
            EXPECT_EQ(pixel(0, 11), 0u) << "a line between them stays as it was";
            screen_exit_handler();
            EXPECT_EQ(x11_window_id(), 0u);
        }
    }
}

TEST_F(X11Present, AChangeAfterAQuietSpellIsPresentedWithinAPass) {
    ASSERT_TRUE(open(400, 80, 32));
    // Quiet: no pass for a while, so the driver thread waits for the program or the server.
    unsigned long passes = x11_pass_count();
    ASSERT_TRUE(eventually([&] {
        std::this_thread::sleep_for(100ms);
        const unsigned long now = x11_pass_count();
        const bool quiet = now == passes;
        passes = now;
        return quiet;
    })) << "passes go on with nothing to present";
    const auto start = std::chrono::steady_clock::now();
    fill_line(40, 0x00FF00FF);
    ASSERT_TRUE(eventually([&] { return pixel(3, 40) == shown(0xFF00FF); }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 400ms)
        << "the drawing wakes the driver thread; it does not wait out its idle time";
}

TEST_F(X11Present, AWindowMadeLargerShowsTheImageInItsMiddleOnBlack) {
    ASSERT_TRUE(open(100, 40, 32));
    fill_line(0, 0x00FFFFFF);
    ASSERT_TRUE(eventually([&] { return pixel(0, 0) == 0xFFFFFFu; }));
    XResizeWindow(display_, window_, 300, 140);
    XFlush(display_);
    EXPECT_TRUE(eventually([&] { return pixel(100, 50) == 0xFFFFFFu; }));
    EXPECT_EQ(pixel(199, 50), 0xFFFFFFu);
    EXPECT_EQ(pixel(99, 50), 0u);
    EXPECT_EQ(pixel(100, 49), 0u);
    EXPECT_EQ(pixel(150, 139), 0u);
    EXPECT_EQ(pixel(299, 70), 0u);

    // Only taller: the image moves down to the middle.
    XResizeWindow(display_, window_, 300, 160);
    XFlush(display_);
    EXPECT_TRUE(eventually([&] { return pixel(100, 60) == 0xFFFFFFu; }));
    EXPECT_EQ(pixel(100, 50), 0u);

    // Back to its size: the image goes back to the corner, though nothing is exposed.
    XResizeWindow(display_, window_, 100, 40);
    XFlush(display_);
    EXPECT_TRUE(eventually([&] { return pixel(0, 0) == 0xFFFFFFu; }));

    // Hidden and shown again: drawn again.
    XUnmapWindow(display_, window_);
    XSync(display_, False);
    XMapWindow(display_, window_);
    XSync(display_, False);
    EXPECT_TRUE(eventually([&] { return pixel(99, 0) == 0xFFFFFFu; }));
}

TEST_F(X11Present, APaletteChangeOnAPalettisedScreenRedrawsEveryLine) {
    ASSERT_TRUE(open(400, 80, 8));
    fill_line(3, 9);
    fill_line(60, 9);
    ScreenState& screen = *current_screen();
    ASSERT_TRUE(eventually([&] { return pixel(7, 60) == shown(rgb_of_entry(screen.device_palette[9])); }));

    // A new colour for value 9 and no line marked: the driver itself redraws.
    screen_lock();
    palette_store(screen, 9, palette_pack(0x10, 0x80, 0xF0));
    screen_unlock(1, 0);
    EXPECT_TRUE(eventually([&] { return pixel(7, 3) == shown(0x1080F0); }));
    EXPECT_EQ(pixel(7, 60), shown(0x1080F0));
}

TEST_F(X11Input, KeysArriveAsKeyCodesAndEventsWithPcScanCodes) {
    ASSERT_TRUE(open(400, 80, 8));
    pointer_to(200, 40);

    tap(XK_a);
    ASSERT_TRUE(eventually([] { return key_waiting() != 0; }));
    EXPECT_EQ(take_key(), 'a');
    EXPECT_TRUE(event_comes(EVENT_KEY_PRESSED, 30));
    EXPECT_TRUE(event_comes(EVENT_KEY_RELEASED, 30));

    // An arrow key gives its extended code; Shift alone gives events but no key code.
    tap(XK_Up);
    ASSERT_TRUE(eventually([] { return key_waiting() != 0; }));
    EXPECT_EQ(take_key(), 0x48FF);
    tap(XK_Shift_L);
    tap(XK_Control_L);
    EXPECT_TRUE(event_comes(EVENT_KEY_PRESSED, 29)) << "Ctrl, after Shift";
    EXPECT_TRUE(has_event(seen_, EVENT_KEY_PRESSED, 42));
    EXPECT_EQ(key_waiting(), 0);

    // Alt alone makes no event at all; Alt+X is an extended code.
    forget_events();
    tap(XK_Alt_L);
    tap(XK_b);
    EXPECT_TRUE(event_comes(EVENT_KEY_RELEASED, 48)) << "B, after Alt";
    EXPECT_FALSE(has_event(seen_, EVENT_KEY_PRESSED, 56));
    EXPECT_FALSE(has_event(seen_, EVENT_KEY_RELEASED, 56));
    EXPECT_EQ(take_key(), 'b');
    key(XK_Alt_L, true);
    tap(XK_x);
    key(XK_Alt_L, false);
    ASSERT_TRUE(eventually([] { return key_waiting() != 0; }));
    EXPECT_EQ(take_key(), 0x2DFF);

    // Keys sent straight to the window (as some tools do) carry no modifier state of their own:
    // a Shift key sent before still counts.
    const auto send = [&](KeySym keysym, bool press) {
        XEvent event{};
        event.xkey.type = press ? KeyPress : KeyRelease;
        event.xkey.display = display_;
        event.xkey.window = window_;
        event.xkey.root = DefaultRootWindow(display_);
        event.xkey.keycode = XKeysymToKeycode(display_, keysym);
        event.xkey.same_screen = True;
        XSendEvent(display_, window_, True, press ? KeyPressMask : KeyReleaseMask, &event);
        XFlush(display_);
    };
    send(XK_Alt_L, true);
    send(XK_x, true);
    send(XK_x, false);
    send(XK_Alt_L, false);
    ASSERT_TRUE(eventually([] { return key_waiting() != 0; }));
    EXPECT_EQ(take_key(), 0x2DFF) << "Alt+X with Alt sent before";
    for (const KeySym shift : {XK_Shift_L, XK_Shift_R}) {
        send(shift, true);
        send(XK_F1, true);
        send(XK_F1, false);
        send(shift, false);
        ASSERT_TRUE(eventually([] { return key_waiting() != 0; }));
        EXPECT_EQ(take_key(), 0x54FF) << "Shift+F1";
    }

    // An extended key keeps its modifiers: Ctrl+Left.
    key(XK_Control_L, true);
    tap(XK_Left);
    ASSERT_TRUE(eventually([] { return key_waiting() != 0; }));
    EXPECT_EQ(take_key(), 0x73FF);
    EXPECT_TRUE(eventually([] { return key_down(29) != 0; }));
    EXPECT_FALSE(key_down(42)) << "Ctrl is not Shift";
    tap(XK_a);
    ASSERT_TRUE(eventually([] { return key_waiting() != 0; }));
    EXPECT_EQ(take_key(), 1) << "Ctrl+A types character 1";
    key(XK_Control_L, false);
    EXPECT_TRUE(eventually([] { return !key_down(29); }));

    // A key pressed again without a release is a repeat; one release lets it go.
    forget_events();
    send(XK_q, true);
    send(XK_q, true);
    send(XK_q, false);
    EXPECT_TRUE(event_comes(EVENT_KEY_RELEASED, 16));
    EXPECT_TRUE(has_event(seen_, EVENT_KEY_REPEATED, 16));
    // A few more passes (drawing keeps the driver thread from idling).
    const unsigned long passes = x11_pass_count();
    ASSERT_TRUE(eventually([&] {
        fill_line(0, 0);
        return x11_pass_count() > passes + 3;
    }));
    EXPECT_EQ(key_down(16), 0) << "the key states of the events just handled are folded";
    while (take_key() != 0) {
    }

    // Held down, the key state shows it; both Shift keys are one virtual key.
    key(XK_Shift_R, true);
    EXPECT_TRUE(eventually([] { return key_down(42) && key_down(54); }));
    key(XK_Shift_R, false);
    EXPECT_TRUE(eventually([] { return !key_down(54); }));
}

TEST_F(X11Input, ButtonsWheelAndPointerAsOnEveryPlatform) {
    ASSERT_TRUE(open(400, 80, 8));
    pointer_to(100, 30);
    pointer_to(120, 35);
    ASSERT_TRUE(eventually([] {
        int x = 0, y = 0;
        return current_screen()->driver->get_mouse(&x, &y, nullptr, nullptr, nullptr) == 0 &&
               x == 120 && y == 35;
    }));
    pointer_to(125, 37);
    EXPECT_TRUE(event_comes(EVENT_MOUSE_MOVED, 125));
    forget_events();

    button(1, true);
    button(1, false);
    button(1, true); // at once: a double click
    button(1, false);
    button(1, true); // and a third press is a press again
    button(1, false);
    button(4, true);
    button(4, false);
    button(5, true); // down a notch and up again
    button(5, false);
    button(4, true);
    button(4, false);
    button(3, true);
    button(3, false);
    button(7, true); // the horizontal wheel, to the right
    button(7, false);
    EXPECT_TRUE(event_comes(EVENT_BUTTON_RELEASED, 2)) << "X's third button is the right one";
    std::vector<std::int32_t> left_presses;
    for (const Event& event : seen_)
        if (event.field1 == 1 &&
            (event.type == EVENT_BUTTON_PRESSED || event.type == EVENT_BUTTON_DOUBLE_CLICKED))
            left_presses.push_back(event.type);
    EXPECT_EQ(left_presses, (std::vector<std::int32_t>{EVENT_BUTTON_PRESSED,
                                                       EVENT_BUTTON_DOUBLE_CLICKED,
                                                       EVENT_BUTTON_PRESSED}));
    EXPECT_TRUE(has_event(seen_, EVENT_BUTTON_RELEASED, 1));
    EXPECT_TRUE(has_event(seen_, EVENT_WHEEL, 1));
    EXPECT_TRUE(has_event(seen_, EVENT_WHEEL, 0)) << "X's button 5 is the wheel turned down";
    EXPECT_TRUE(event_comes(EVENT_HORIZONTAL_WHEEL, 1));

    int wheel = 0, buttons = -1;
    EXPECT_EQ(current_screen()->driver->get_mouse(nullptr, nullptr, &wheel, &buttons, nullptr), 0);
    EXPECT_EQ(wheel, 1);
    EXPECT_EQ(buttons, 0);

    // Leaving the window: event 10, and no mouse position to report.
    pointer_to(-50, -50);
    EXPECT_TRUE(eventually([] {
        return current_screen()->driver->get_mouse(nullptr, nullptr, nullptr, nullptr, nullptr) == -1;
    }));
    EXPECT_TRUE(event_comes(EVENT_MOUSE_LEFT, 0));

    // Coming back in is an enter event again; so is the window coming to lie under the pointer,
    // which is no motion at all.
    forget_events();
    pointer_to(40, 40);
    EXPECT_TRUE(event_comes(EVENT_MOUSE_ENTERED, 0));
    pointer_to(-50, -50);
    EXPECT_TRUE(event_comes(EVENT_MOUSE_LEFT, 0));
    forget_events();
    const XWindowAttributes before = attributes();
    XMoveWindow(display_, window_, before.x - 60, before.y - 60);
    XFlush(display_);
    EXPECT_TRUE(event_comes(EVENT_MOUSE_ENTERED, 0));
    EXPECT_FALSE(has_event(seen_, EVENT_MOUSE_MOVED, 0));
}

// Double clicks as Windows tells them: the same button again within the double-click time and
// within 2 pixels each way (SM_CXDOUBLECLK x SM_CYDOUBLECLK, 4 x 4), also across the wrap of the
// server's 32-bit millisecond clock. The presses are sent with the times and places of each case.
TEST_F(X11Input, DoubleClicksByTimeAndDistanceAcrossTheClocksWrap) {
    ASSERT_TRUE(open(400, 80, 8));
    struct Case {
        const char* what;
        unsigned long first, second; // times
        int dx, dy;
        bool double_click;
    };
    const Case cases[] = {
        {"at once, in place", 1000, 1000, 0, 0, true},
        {"in time, 2 pixels off each way", 1000, 1500, 2, -2, true},
        {"too late", 1000, 1501, 0, 0, false},
        {"3 pixels to the side", 1000, 1100, 3, 0, false},
        {"3 pixels up", 1000, 1100, 0, -3, false},
        {"across the clock's wrap", 0xFFFFFF00ul, 0x10ul, 0, 0, true},
        {"a clock gone back", 2000, 1000, 0, 0, false},
    };
    const auto send = [&](unsigned number, int type, unsigned long time, int x, int y) {
        XEvent event{};
        event.xbutton.type = type;
        event.xbutton.window = window_;
        event.xbutton.root = DefaultRootWindow(display_);
        event.xbutton.time = time;
        event.xbutton.x = x;
        event.xbutton.y = y;
        event.xbutton.x_root = x;
        event.xbutton.y_root = y;
        event.xbutton.button = number;
        event.xbutton.same_screen = True;
        XSendEvent(display_, window_, False,
                   type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &event);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        forget_events();
        send(3, ButtonPress, c.first, 10, 10); // another button: no double click from before
        send(3, ButtonRelease, c.first, 10, 10);
        send(1, ButtonPress, c.first, 100, 40);
        send(1, ButtonRelease, c.first, 100, 40);
        send(1, ButtonPress, c.second, 100 + c.dx, 40 + c.dy);
        send(1, ButtonRelease, c.second, 100 + c.dx, 40 + c.dy);
        XFlush(display_);
        ASSERT_TRUE(event_comes(EVENT_BUTTON_RELEASED, 1));
        eventually([&] {
            int releases = 0;
            for (const Event& event : take_events())
                seen_.push_back(event);
            for (const Event& event : seen_)
                releases += event.type == EVENT_BUTTON_RELEASED && event.field1 == 1;
            return releases == 2;
        });
        std::vector<std::int32_t> presses;
        for (const Event& event : seen_)
            if (event.field1 == 1 &&
                (event.type == EVENT_BUTTON_PRESSED || event.type == EVENT_BUTTON_DOUBLE_CLICKED))
                presses.push_back(event.type);
        EXPECT_EQ(presses, (std::vector<std::int32_t>{EVENT_BUTTON_PRESSED,
                                                      c.double_click ? EVENT_BUTTON_DOUBLE_CLICKED
                                                                     : EVENT_BUTTON_PRESSED}));
    }
}

TEST_F(X11Input, ThePointerIsPlacedKeptInsideTheWindowAndHidden) {
    ASSERT_TRUE(open(400, 80, 8));
    const auto pointer_in_window = [&] {
        ::Window root, child;
        int root_x, root_y, x = -1, y = -1;
        unsigned mask;
        XQueryPointer(display_, window_, &root, &child, &root_x, &root_y, &x, &y, &mask);
        return std::pair{x, y};
    };
    const DisplayDriver& driver = *current_screen()->driver;
    driver.set_mouse(50, 20, -1, -1);
    EXPECT_TRUE(eventually([&] { return pointer_in_window() == std::pair{50, 20}; }));

    int x = 0, y = 0;
    ASSERT_TRUE(eventually([&] {
        return driver.get_mouse(&x, &y, nullptr, nullptr, nullptr) == 0 && x == 50 && y == 20;
    })) << "the move has come back as a motion event";

    // Beyond the window the pointer stops at its edge; the reported position is the one given
    // until the pointer moves again.
    driver.set_mouse(1000, 200, -1, -1);
    ASSERT_EQ(driver.get_mouse(&x, &y, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(x, 1000);
    EXPECT_EQ(y, 200);
    EXPECT_TRUE(eventually([&] { return pointer_in_window() == std::pair{399, 79}; }));

    // Kept inside: the pointer cannot leave while the clip holds, and can once it is lifted.
    // Whether another client could take the pointer now (it gives it back at once).
    const auto pointer_free = [&] {
        const int result = XGrabPointer(display_, DefaultRootWindow(display_), False, 0,
                                        GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (result == GrabSuccess) XUngrabPointer(display_, CurrentTime);
        XSync(display_, False);
        return result == GrabSuccess;
    };
    driver.set_mouse(-1, 0, 0, 1);
    int clipped = 0;
    EXPECT_TRUE(eventually([&] { return !pointer_free(); }));
    EXPECT_EQ(driver.get_mouse(nullptr, nullptr, nullptr, nullptr, &clipped), 0);
    EXPECT_EQ(clipped, 1);
    driver.set_mouse(-1, 0, 1, 0);
    EXPECT_TRUE(eventually(pointer_free));

    // The cursor: hidden and shown again on request; a repeated request changes nothing.
    EXPECT_FALSE(x11_pointer_hidden());
    driver.set_mouse(-1, 0, 0, -1);
    EXPECT_TRUE(eventually([] { return x11_pointer_hidden(); }));
    driver.set_mouse(-1, 0, 0, -1);
    driver.set_mouse(-1, 0, 1, -1);
    EXPECT_TRUE(eventually([] { return !x11_pointer_hidden(); }));

    // A screen closed with the pointer hidden leaves it to the next one shown.
    driver.set_mouse(-1, 0, 0, -1);
    EXPECT_TRUE(eventually([] { return x11_pointer_hidden(); }));
    screen_exit_handler();
    ASSERT_TRUE(open(400, 80, 8));
    EXPECT_FALSE(x11_pointer_hidden());
}

TEST_F(X11Input, FocusIsActivationAndThePointerEntering) {
    ASSERT_TRUE(open(400, 80, 8));
    // A key held when the window loses the keyboard and let go elsewhere is not held after.
    pointer_to(30, 30);
    key(XK_Shift_L, true);
    ASSERT_TRUE(eventually([] { return key_down(42) != 0; }));
    pointer_to(-20, -20);
    // Another window takes the keyboard, as another program's would (a window manager takes
    // the focus back from the root window).
    const ::Window other = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 50,
                                               50, 0, 0, 0);
    XMapWindow(display_, other);
    ASSERT_TRUE(eventually([&] {
        XWindowAttributes a{};
        XGetWindowAttributes(display_, other, &a);
        return a.map_state == IsViewable;
    }));
    XSetInputFocus(display_, other, RevertToPointerRoot, CurrentTime);
    XFlush(display_);
    EXPECT_TRUE(event_comes(EVENT_FOCUS_LOST, 0));
    key(XK_Shift_L, false);
    pointer_to(30, 30);
    pointer_to(31, 30);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(current_screen()->driver->get_mouse(nullptr, nullptr, nullptr, nullptr, nullptr), -1)
        << "an inactive window reports no mouse";

    forget_events();
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XFlush(display_);
    EXPECT_TRUE(event_comes(EVENT_FOCUS_GAINED, 0));
    EXPECT_TRUE(event_comes(EVENT_MOUSE_ENTERED, 0)) << "the pointer was inside already";
    EXPECT_EQ(current_screen()->driver->get_mouse(nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    tap(XK_a);
    ASSERT_TRUE(eventually([] { return key_waiting() != 0; }));
    EXPECT_EQ(take_key(), 'a') << "not 'A': Shift was let go";
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(key_down(42), 0);
    XDestroyWindow(display_, other);
}

TEST_F(X11Window, TheWindowManagersCloseGivesTheCloseKeyAndTheWindowStays) {
    ASSERT_TRUE(open(400, 80, 8));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window_, False, NoEventMask, &event);
    XFlush(display_);
    ASSERT_TRUE(eventually([] { return key_waiting() != 0; }));
    EXPECT_EQ(take_key(), 0x6BFF);
    EXPECT_TRUE(event_comes(EVENT_CLOSE_REQUESTED, 0));
    EXPECT_EQ(x11_window_id(), window_);
}

TEST_F(X11Window, AltEnterGoesFullScreenWithTheImageCentredOnBlackAndBack) {
    ASSERT_TRUE(open(400, 80, 32));
    fill_line(0, 0x00FFFFFF);
    const int screen_width = DisplayWidth(display_, DefaultScreen(display_));
    const int screen_height = DisplayHeight(display_, DefaultScreen(display_));
    pointer_to(10, 10);
    tap(XK_Return);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(attributes().width, 400) << "Return alone is a key like any other";

    key(XK_Alt_L, true);
    tap(XK_Return);
    key(XK_Alt_L, false);
    ASSERT_TRUE(eventually([&] { return attributes().width == screen_width; }));
    EXPECT_EQ(attributes().height, screen_height);
    const int left = (screen_width - 400) / 2, top = (screen_height - 80) / 2;
    EXPECT_TRUE(eventually([&] { return pixel(left + 5, top) == 0xFFFFFFu; }));
    EXPECT_EQ(pixel(left - 1, top), 0u);
    EXPECT_EQ(pixel(5, 5), 0u);
    EXPECT_EQ(current_screen()->driver->set_window_pos(INT32_MIN, INT32_MIN), 0)
        << "no position in full screen";

    key(XK_Alt_L, true);
    tap(XK_Return);
    key(XK_Alt_L, false);
    ASSERT_TRUE(eventually([&] { return attributes().width == 400; }));
    EXPECT_EQ(attributes().height, 80);
    EXPECT_TRUE(eventually([&] { return pixel(5, 0) == 0xFFFFFFu; }));
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(display_, window_, &hints, &supplied));
    EXPECT_TRUE((hints.flags & PMaxSize) && hints.max_width == 400 && hints.max_height == 80)
        << "the fixed size again";

    // Asked for full screen, it starts so.
    screen_exit_handler();
    ASSERT_TRUE(open(400, 80, 32, MODE_FULLSCREEN));
    EXPECT_TRUE(eventually([&] { return attributes().width == screen_width; }));
    EXPECT_EQ(attributes().height, screen_height);

    // Opened with the switch disabled, Alt+Enter changes nothing.
    screen_exit_handler();
    ASSERT_TRUE(open(400, 80, 32, MODE_NO_SWITCH));
    pointer_to(10, 10);
    key(XK_Alt_L, true);
    tap(XK_Return);
    key(XK_Alt_L, false);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(attributes().width, 400);
}

TEST_F(X11Window, AFramelessWindowAsksTheWindowManagerForNoDecorations) {
    ASSERT_TRUE(open(200, 50, 8, MODE_NO_FRAME));
    const Atom motif = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(display_, window_, motif, 0, 5, False, motif, &type, &format,
                                 &count, &after, &data),
              Success);
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(count, 5u);
    const long* hints = reinterpret_cast<const long*>(data);
    EXPECT_EQ(hints[0], 2) << "decorations given";
    EXPECT_EQ(hints[2], 0) << "none";
    XFree(data);
}

TEST_F(X11FakeWindowManager, FullScreenIsAskedOfIt) {
    ASSERT_TRUE(open(400, 80, 32));
    // The test plays the window manager: it says so on the root window and takes the requests.
    const ::Window root = DefaultRootWindow(display_);
    const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    const Atom state = XInternAtom(display_, "_NET_WM_STATE", False);
    const Atom full_screen = XInternAtom(display_, "_NET_WM_STATE_FULLSCREEN", False);
    const long supporting = static_cast<long>(window_);
    XChangeProperty(display_, root, check, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&supporting), 1);
    XSelectInput(display_, root, SubstructureRedirectMask | SubstructureNotifyMask);
    XSync(display_, False);
    pointer_to(10, 10);
    key(XK_Alt_L, true);
    tap(XK_Return);
    key(XK_Alt_L, false);
    bool asked = false;
    eventually([&] {
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == ClientMessage && event.xclient.window == window_ &&
                event.xclient.message_type == state && event.xclient.data.l[0] == 1 &&
                static_cast<Atom>(event.xclient.data.l[1]) == full_screen)
                asked = true;
        }
        return asked;
    });
    XSelectInput(display_, root, NoEventMask);
    XDeleteProperty(display_, root, check);
    XSync(display_, False);
    EXPECT_TRUE(asked);
    EXPECT_EQ(attributes().width, 400) << "the window manager decides the size";
}

// A window manager gives a new window the keyboard as it sees fit; the driver gives it only
// where there is none.
TEST_F(X11FakeWindowManager, TheKeyboardIsLeftToIt) {
    const ::Window root = DefaultRootWindow(display_);
    const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    fake_window_manager_ = true;
    for (const bool manager : {true, false}) {
        SCOPED_TRACE(manager ? "with a window manager" : "without one");
        if (manager) {
            const long supporting = static_cast<long>(root);
            XChangeProperty(display_, root, check, XA_WINDOW, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&supporting), 1);
        }
        XSetInputFocus(display_, PointerRoot, RevertToPointerRoot, CurrentTime);
        XSync(display_, False);
        ASSERT_TRUE(open(200, 50, 8));
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        EXPECT_EQ(focus == window_, !manager);
        screen_exit_handler();
        XDeleteProperty(display_, root, check);
        XSync(display_, False);
    }
}

// The driver catches the X errors of its MIT-SHM attach, and only those: the program's own
// handler is in place again once the screen is open.
TEST_F(X11Window, TheProgramsXErrorHandlerStaysItsOwn) {
    const XErrorHandler mine = [](Display*, XErrorEvent*) { return 0; };
    const XErrorHandler before = XSetErrorHandler(mine);
    const bool opened = open(200, 50, 32);
    EXPECT_EQ(XSetErrorHandler(before), mine);
    EXPECT_TRUE(opened);
}

// Slots called from another thread of the program while screens open and close: the wake-up of
// the driver thread never reaches a descriptor that the close gave back (the thread sanitizer
// sees the race where it could).
TEST_F(X11Window, SlotsFromAnotherThreadWhileScreensClose) {
    std::atomic<bool> stop{false};
    std::thread other([&stop] {
        while (!stop.load())
            x11_driver.set_palette(0, 0, 0, 0);
    });
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(screen_open_sized(64, 32, 8, 1, 0, 0), 0);
        screen_exit_handler();
    }
    stop.store(true);
    other.join();
}

TEST_F(X11Window, TitlePositionAndDisplaySizes) {
    ASSERT_TRUE(open(400, 80, 8));
    const int screen_width = DisplayWidth(display_, DefaultScreen(display_));
    const int screen_height = DisplayHeight(display_, DefaultScreen(display_));
    // The position is the outer corner of the window as the desktop shows it: its frame's under
    // a window manager, which frames and places it in its own time; centred without one.
    const auto outer_corner = [&] {
        ::Window outer = window_, root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        while (XQueryTree(display_, outer, &root, &parent, &children, &count) && parent != root) {
            if (children) XFree(children);
            outer = parent;
        }
        if (children) XFree(children);
        XWindowAttributes a{};
        XGetWindowAttributes(display_, outer, &a);
        return static_cast<std::int32_t>(a.y << 16 | a.x);
    };
    std::int32_t position = 0, corner = 0;
    EXPECT_TRUE(eventually([&] {
        std::this_thread::sleep_for(20ms);
        position = current_screen()->driver->set_window_pos(INT32_MIN, INT32_MIN);
        corner = outer_corner();
        return position == corner;
    })) << "at " << (position & 0xFFFF) << "," << (position >> 16) << ", the frame at "
        << (corner & 0xFFFF) << "," << (corner >> 16);
    if (!std::getenv("DN_XVFB_WM")) {
        EXPECT_EQ(position, (screen_height - 80) / 2 << 16 | (screen_width - 400) / 2)
            << "centred";
    }

    current_screen()->driver->set_window_pos(31, 41);
    EXPECT_TRUE(eventually([] {
        return current_screen()->driver->set_window_pos(INT32_MIN, INT32_MIN) == (41 << 16 | 31);
    }));
    EXPECT_TRUE(eventually([&] { return outer_corner() == (41 << 16 | 31); }));

    // A fixed size: the window manager offers no resizing.
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(display_, window_, &hints, &supplied));
    EXPECT_TRUE(hints.flags & PMinSize);
    EXPECT_TRUE(hints.flags & PMaxSize);
    EXPECT_EQ(hints.min_width, 400);
    EXPECT_EQ(hints.max_width, 400);
    EXPECT_EQ(hints.min_height, 80);
    EXPECT_EQ(hints.max_height, 80);

    screen_set_title("renamed");
    EXPECT_TRUE(eventually([&] {
        char* name = nullptr;
        const bool same = XFetchName(display_, window_, &name) && std::string(name) == "renamed";
        if (name) XFree(name);
        return same;
    }));
    screen_set_title("zered-x11-test");

    const int display_depth = DefaultDepth(display_, DefaultScreen(display_)) == 16 ? 16 : 32;
    int count = -1;
    const std::uint32_t* sizes = current_screen()->driver->fetch_modes(display_depth, &count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(sizes[0], static_cast<std::uint32_t>(screen_width << 16 | screen_height));
    std::free(const_cast<std::uint32_t*>(sizes));
    EXPECT_EQ(current_screen()->driver->fetch_modes(8, &count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(X11Window, ScreensOpenAndCloseQuicklyAndWhileTheDriverPresents) {
    const auto open_files = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator{});
    };
    const auto files_before = open_files();
    for (int i = 0; i < 15; ++i) {
        ASSERT_EQ(screen_open_sized(64 + i, 32, i % 2 ? 8 : 32, 1, 0, 0), 0);
        EXPECT_NE(x11_window_id(), 0u);
        screen_exit_handler();
        EXPECT_EQ(x11_window_id(), 0u);
    }
    EXPECT_EQ(open_files(), files_before) << "every screen gives back its connection and files";

    // Every line changes all the time; the screen closes in the middle of it, once with the screen
    // locked by the program.
    for (const bool locked : {false, true}) {
        ASSERT_TRUE(open(640, 480, 32));
        const auto until = std::chrono::steady_clock::now() + 150ms;
        std::uint32_t value = 0;
        while (std::chrono::steady_clock::now() < until) {
            screen_lock();
            ScreenState& screen = *current_screen();
            std::memset(screen.visible_fb, static_cast<int>(++value), 4 * 640);
            screen_unlock(0, 479);
        }
        if (locked) {
            // Long enough for the driver thread to be waiting for the lock for its next pass.
            screen_lock();
            std::this_thread::sleep_for(50ms);
        }
        screen_exit_handler();
        EXPECT_EQ(current_screen(), nullptr);
        EXPECT_EQ(x11_window_id(), 0u);
    }
}

TEST(X11Driver, OpenGLAndShapedScreensAreNotItsToShow) {
    for (const ModeFlags flags : {MODE_OPENGL, MODE_SHAPED_WINDOW}) {
        EXPECT_NE(screen_open_sized(64, 32, 32, 1, flags, 0), 0) << "flags " << flags;
        EXPECT_EQ(current_screen(), nullptr);
        EXPECT_EQ(x11_window_id(), 0u);
        screen_exit_handler();
    }
}

// A server whose visuals the driver cannot draw in (an 8-bit PseudoColor screen has only 8-bit
// ones) gets no window: the screen does not open, and nothing is left behind.
TEST(X11Driver, AScreenOpensWhereTheServerHasATrueColorVisualOfItsDepths) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "no X display";
    bool drawable = false;
    for (const int depth : {15, 16, 24, 32}) {
        XVisualInfo info{};
        drawable = drawable || XMatchVisualInfo(display, DefaultScreen(display), depth, TrueColor,
                                                &info);
    }
    XCloseDisplay(display);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(screen_open_sized(64, 32, 32, 1, 0, 0) == 0, drawable);
        EXPECT_EQ(x11_window_id() != 0, drawable);
        screen_exit_handler();
        EXPECT_EQ(x11_window_id(), 0u);
    }
}

TEST(X11Driver, WithoutADisplayNoScreenOpens) {
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    unsetenv("DISPLAY");
    EXPECT_NE(screen_open_sized(400, 80, 8, 1, 0, 0), 0);
    EXPECT_EQ(current_screen(), nullptr);
    if (saved) setenv("DISPLAY", display.c_str(), 1);
}

} // namespace
} // namespace zered
