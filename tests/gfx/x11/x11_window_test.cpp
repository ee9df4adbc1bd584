// The X11 driver's window with and without a window manager: close, full screen, frames, focus,
// title and position, and screens opened and closed quickly and from other threads.
#include "gfx/x11/x11_test_fixture.h"

#include <optional>
#include <string>
#include <vector>

namespace zered {
namespace {

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

// The window's desktop name (_NET_WM_NAME, UTF-8), or nothing when the property is missing.
std::optional<std::string> utf8_name(Display* display, ::Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<std::string> name;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 256,
                           False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data)
        name.emplace(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    return name;
}

TEST_F(X11Window, AltEnterGoesFullScreenWithTheImageCentredOnBlackAndBack) {
    ASSERT_TRUE(open(400, 80, 32));
    EXPECT_EQ(size_hints(), "fixed");
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
    EXPECT_TRUE(eventually([&] { return on_root(0, 0) == std::pair{0, 0}; })) << "covering the screen";
    const int left = (screen_width - 400) / 2, top = (screen_height - 80) / 2;
    EXPECT_TRUE(eventually([&] { return pixel(left + 5, top) == 0xFFFFFFu; }));
    EXPECT_EQ(pixel(left - 1, top), 0u);
    EXPECT_EQ(pixel(5, 5), 0u);
    // Painted over and exposed, the window comes back: black on all four sides, the image between.
    GC white = XCreateGC(display_, window_, 0, nullptr);
    XSetForeground(display_, white, ~0UL);
    XFillRectangle(display_, window_, white, 0, 0, static_cast<unsigned>(screen_width),
                   static_cast<unsigned>(screen_height));
    XFreeGC(display_, white);
    XClearArea(display_, window_, 0, 0, 1, 1, True);
    XFlush(display_);
    EXPECT_TRUE(eventually([&] {
        return pixel(5, screen_height - 5) == 0u && pixel(5, 5) == 0u &&
               pixel(left - 1, top + 5) == 0u && pixel(left + 400, top + 5) == 0u &&
               pixel(left + 5, top + 40) == 0u && pixel(left + 5, top) == 0xFFFFFFu;
    })) << std::hex << pixel(5, screen_height - 5) << " below, " << pixel(5, 5) << " above, "
        << pixel(left - 1, top + 5) << " left, " << pixel(left + 400, top + 5) << " right";
    EXPECT_EQ(current_screen()->driver->set_window_pos(INT32_MIN, INT32_MIN), 0)
        << "no position in full screen";
    EXPECT_EQ(size_hints(), "free") << "full screen lifts the fixed size";
    EXPECT_TRUE(passes_stop()) << "a window in full screen goes quiet too";

    key(XK_Alt_L, true);
    tap(XK_Return);
    key(XK_Alt_L, false);
    ASSERT_TRUE(eventually([&] { return attributes().width == 400; }));
    EXPECT_EQ(attributes().height, 80);
    EXPECT_TRUE(eventually([&] { return pixel(5, 0) == 0xFFFFFFu; }));
    EXPECT_EQ(size_hints(), "fixed") << "the fixed size again";

    // Asked for full screen, it starts so.
    screen_exit_handler();
    ASSERT_TRUE(open(400, 80, 32, MODE_FULLSCREEN));
    EXPECT_TRUE(eventually([&] { return attributes().width == screen_width; }));
    EXPECT_EQ(attributes().height, screen_height);
    EXPECT_EQ(size_hints(), "free");

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
    // Flags (decorations given), functions, decorations (none), input mode, status.
    EXPECT_EQ(std::vector<long>(hints, hints + 5), (std::vector<long>{2, 0, 0, 0, 0}));
    XFree(data);

    // The desktop's UTF-8 name is there from the start, as on a framed window.
    EXPECT_TRUE(utf8_name(display_, window_).has_value());
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
    EXPECT_EQ(size_hints(), "free") << "a window manager keeps a fixed size from covering the screen";
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
        if (manager) {
            // Active from the start, as a new window is on Windows. The keyboard follows the
            // pointer (PointerRoot): its focus events (NotifyPointer) are no activation.
            pointer_to(-20, -20);
            forget_events();
            pointer_to(10, 10);
            EXPECT_TRUE(event_comes(EVENT_MOUSE_ENTERED, 0));
            pointer_to(-20, -20);
            EXPECT_TRUE(event_comes(EVENT_MOUSE_LEFT, 0));
            std::this_thread::sleep_for(50ms);
            for (const Event& event : take_events())
                seen_.push_back(event);
            EXPECT_FALSE(has_event(seen_, EVENT_FOCUS_GAINED, 0) ||
                         has_event(seen_, EVENT_FOCUS_LOST, 0));
        }
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
    EXPECT_EQ(size_hints(), "fixed");

    // The title as the plain name and as the desktop's UTF-8 one, from the start.
    const auto names = [&] {
        char* name = nullptr;
        std::string plain = XFetchName(display_, window_, &name) && name ? name : "";
        if (name) XFree(name);
        return std::pair{plain, utf8_name(display_, window_).value_or("")};
    };
    EXPECT_EQ(names(), (std::pair<std::string, std::string>{"zered-x11-test", "zered-x11-test"}));
    screen_set_title("renamed");
    EXPECT_TRUE(eventually([&] {
        return names() == std::pair<std::string, std::string>{"renamed", "renamed"};
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

} // namespace
} // namespace zered
