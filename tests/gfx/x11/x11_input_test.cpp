// Input through the X11 driver's window, made with XTest: keys, buttons, the wheel, double
// clicks, the pointer, focus, arriving as on every platform.
#include "gfx/x11/x11_test_fixture.h"

namespace zered {
namespace {

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
    // It holds pass after pass, not every other one.
    for (int line = 0; line < 6; ++line) {
        const unsigned long before = x11_pass_count();
        fill_line(line, 0x00FFFFFF);
        ASSERT_TRUE(eventually([&] { return x11_pass_count() > before + 1; }));
        EXPECT_FALSE(pointer_free()) << "after line " << line;
    }
    EXPECT_EQ(driver.get_mouse(nullptr, nullptr, nullptr, nullptr, &clipped), 0);
    EXPECT_EQ(clipped, 1);
    driver.set_mouse(-1, 0, 1, 0);
    EXPECT_TRUE(eventually(pointer_free));
    driver.set_mouse(-1, 0, 1, 1);
    EXPECT_TRUE(eventually([&] { return !pointer_free(); })) << "kept inside again";
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
    // Pressed again, it is a new press, not a repeat of the one let go elsewhere.
    key(XK_Shift_L, true);
    EXPECT_TRUE(eventually([] { return key_down(42) != 0; }));
    key(XK_Shift_L, false);
    EXPECT_TRUE(eventually([] { return key_down(42) == 0; }));
    XDestroyWindow(display_, other);
}

// Focus that moves between the window and the pointer (a keyboard that follows the pointer), into
// a child, or to and from a grab is no change of activation; every other change is.
TEST_F(X11Input, FocusOfThePointerOrAGrabIsNoActivation) {
    ASSERT_TRUE(open(200, 50, 8));
    const auto send_focus = [&](int type, int detail, int mode) {
        XEvent event{};
        event.xfocus.type = type;
        event.xfocus.display = display_;
        event.xfocus.window = window_;
        event.xfocus.detail = detail;
        event.xfocus.mode = mode;
        XSendEvent(display_, window_, False, FocusChangeMask, &event);
        XFlush(display_);
    };
    struct Row {
        int detail, mode;
        bool activation;
    };
    const Row rows[] = {
        {NotifyPointer, NotifyNormal, false},   {NotifyInferior, NotifyNormal, false},
        {NotifyNonlinear, NotifyGrab, false},   {NotifyNonlinear, NotifyUngrab, false},
        {NotifyNonlinear, NotifyNormal, true},  {NotifyAncestor, NotifyWhileGrabbed, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("detail " + std::to_string(row.detail) + " mode " + std::to_string(row.mode));
        forget_events();
        send_focus(FocusOut, row.detail, row.mode);
        // The window's own focus coming back, always reported, marks the end.
        send_focus(FocusIn, NotifyNonlinear, NotifyNormal);
        ASSERT_TRUE(event_comes(EVENT_FOCUS_GAINED, 0));
        EXPECT_EQ(has_event(seen_, EVENT_FOCUS_LOST, 0), row.activation);
    }
}

} // namespace
} // namespace zered
