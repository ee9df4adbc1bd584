#include "gfx/window/window_input.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "gfx/console/key_buffer.h"
#include "gfx/console/key_tables.h"
#include "gfx/console/key_test_support.h"
#include "gfx/core/test_screen.h"
#include "gfx/window/code_page_437.h"

namespace zered {
namespace {

using keytest::take_events;

TEST(MouseMove, TheFirstMoveAndMovesWithoutMotionOrFocusMakeNoEvent) {
    PointerMotion pointer;
    Event event = mouse_move_event(pointer, 5, 6, 105, 206, true);
    EXPECT_EQ(event.type, 0) << "first move after opening";
    EXPECT_EQ(pointer.mouse_x, 5);
    EXPECT_EQ(pointer.mouse_y, 6);

    event = mouse_move_event(pointer, 8, 4, 108, 204, true);
    EXPECT_EQ(event.type, EVENT_MOUSE_MOVED);
    EXPECT_EQ(event.field1, 8);
    EXPECT_EQ(event.field2, 4);
    EXPECT_EQ(event.field3, 3);
    EXPECT_EQ(event.field4, -2);

    EXPECT_EQ(mouse_move_event(pointer, 8, 4, 108, 204, true).type, 0) << "no motion";
    EXPECT_EQ(mouse_move_event(pointer, 9, 4, 109, 204, true).type, EVENT_MOUSE_MOVED)
        << "across only";
    EXPECT_EQ(mouse_move_event(pointer, 9, 3, 109, 203, true).type, EVENT_MOUSE_MOVED)
        << "up only";
    event = mouse_move_event(pointer, 10, 4, 110, 204, false);
    EXPECT_EQ(event.type, 0) << "inactive window";
    EXPECT_EQ(pointer.mouse_x, 10) << "the position is kept all the same";
    EXPECT_EQ(pointer.last_screen_x, 110);
}

TEST(Buttons, PressesAndReleasesKeepTheHeldSetAndReportTheBit) {
    int buttons = 0;
    Event event = button_event(buttons, BUTTON_LEFT, EVENT_BUTTON_PRESSED);
    EXPECT_EQ(event.type, EVENT_BUTTON_PRESSED);
    EXPECT_EQ(event.field1, BUTTON_LEFT);
    button_event(buttons, BUTTON_EXTRA_2, EVENT_BUTTON_DOUBLE_CLICKED);
    EXPECT_EQ(buttons, BUTTON_LEFT | BUTTON_EXTRA_2);
    event = button_event(buttons, BUTTON_LEFT, EVENT_BUTTON_RELEASED);
    EXPECT_EQ(event.type, EVENT_BUTTON_RELEASED);
    EXPECT_EQ(event.field1, BUTTON_LEFT);
    EXPECT_EQ(buttons, BUTTON_EXTRA_2);
}

TEST(MouseQuery, AnswersOnlyWhileAvailableAndFillsWhatIsAskedFor) {
    PointerMotion pointer;
    pointer.mouse_x = 12;
    pointer.mouse_y = 34;
    int x = -1, y = -1, wheel = -1, buttons = -1, clipped = -1;
    EXPECT_EQ(report_mouse(false, pointer, 3, 2, 1, {&x, &y, &wheel, &buttons, &clipped}), -1);
    EXPECT_EQ(x, -1) << "nothing stored";
    EXPECT_EQ(report_mouse(true, pointer, 3, 2, 1, {&x, &y, &wheel, &buttons, &clipped}), 0);
    EXPECT_EQ(x, 12);
    EXPECT_EQ(y, 34);
    EXPECT_EQ(wheel, 3);
    EXPECT_EQ(buttons, 2);
    EXPECT_EQ(clipped, 1);
    EXPECT_EQ(report_mouse(true, pointer, 3, 2, 1, {nullptr, nullptr, nullptr, nullptr, nullptr}), 0);
}

TEST(Wheel, EachStepIsOneNotch) {
    int position = 0;
    EXPECT_EQ(wheel_event(position, true, EVENT_WHEEL).field1, 1);
    EXPECT_EQ(wheel_event(position, true, EVENT_WHEEL).field1, 2);
    const Event event = wheel_event(position, false, EVENT_HORIZONTAL_WHEEL);
    EXPECT_EQ(event.type, EVENT_HORIZONTAL_WHEEL);
    EXPECT_EQ(event.field1, 1);
}

TEST(WindowRequests, CloseGivesTheCloseKeyAndEventActivationForgetsHeldInput) {
    test::TestScreen screen({.width = 8, .height = 4});
    while (take_key() != 0) {
    }
    take_events();

    post_close_request();
    EXPECT_EQ(take_key(), close_window_key);
    std::vector<Event> events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, EVENT_CLOSE_REQUESTED);

    screen->key_state[30] = 1;
    screen.clear_dirty();
    int buttons = BUTTON_LEFT | BUTTON_RIGHT;
    reset_input_on_activation(buttons);
    EXPECT_EQ(buttons, 0);
    EXPECT_EQ(screen->key_state[30], 0);
    EXPECT_EQ(screen.dirty_lines(), 4);
    EXPECT_TRUE(take_events().empty()) << "the focus event is the caller's";
}

TEST(KeyMessages, ExtendedCodesOfPressesGoToTheKeyBufferAndAltF10AndCloseEndTheMessage) {
    test::TestScreen screen({.width = 8, .height = 4});
    while (take_key() != 0) {
    }
    const auto keys = [] {
        std::vector<std::int32_t> codes;
        while (key_waiting())
            codes.push_back(take_key());
        return codes;
    };
    struct Case {
        std::int32_t type;
        std::uint32_t virtual_key;
        std::int32_t code;
        int repeat;
        std::vector<std::int32_t> buffered;
        Event event;
        bool goes_on;
    };
    const Case cases[] = {
        // Characters stay out of the key buffer (the character message brings them).
        {EVENT_KEY_PRESSED, 'A', 'a', 1, {}, {EVENT_KEY_PRESSED, 30, 'a', 0, 0}, true},
        {EVENT_KEY_REPEATED, 'A', 255, 2, {}, {EVENT_KEY_REPEATED, 30, 255, 0, 0}, true},
        {EVENT_KEY_PRESSED, vk::left, 0x4BFF, 3, {0x4BFF, 0x4BFF, 0x4BFF},
         {EVENT_KEY_PRESSED, 75, 0, 0, 0}, true},
        {EVENT_KEY_REPEATED, vk::left, 256, 1, {256}, {EVENT_KEY_REPEATED, 75, 0, 0, 0}, true},
        {EVENT_KEY_RELEASED, vk::left, 0x4BFF, 1, {}, {EVENT_KEY_RELEASED, 75, 0, 0, 0}, true},
        {EVENT_KEY_PRESSED, 0x13, -1, 1, {}, {EVENT_KEY_PRESSED, 0, 0, 0, 0}, true}, // Pause
        {EVENT_KEY_PRESSED, vk::menu, -1, 1, {}, {EVENT_KEY_PRESSED, 56, 0, 0, 0}, false},
        {EVENT_KEY_PRESSED, vk::f10, 0x44FF, 1, {0x44FF}, {EVENT_KEY_PRESSED, 68, 0, 0, 0},
         false},
        {EVENT_KEY_PRESSED, vk::f1 + 3u, close_window_key, 1, {close_window_key},
         {EVENT_KEY_PRESSED, 62, 0, 0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("virtual key " + std::to_string(c.virtual_key) + " code " +
                     std::to_string(c.code));
        Event event{};
        EXPECT_EQ(key_message_event(c.type, c.virtual_key, c.code, c.repeat, event), c.goes_on);
        EXPECT_EQ(keys(), c.buffered);
        EXPECT_EQ((std::vector{event.type, event.field1, event.field2}),
                  (std::vector{c.event.type, c.event.field1, c.event.field2}));
    }
    EXPECT_TRUE(take_events().empty()) << "posting the event is the caller's";
}

// The pointer's and the focus's events carry nothing but their type: every other field is 0.
std::vector<std::int32_t> event_types() {
    std::vector<std::int32_t> types;
    for (const Event& event : take_events()) {
        EXPECT_EQ((std::array{event.field1, event.field2, event.field3, event.field4}),
                  (std::array<std::int32_t, 4>{}))
            << "event " << event.type;
        types.push_back(event.type);
    }
    return types;
}

// The pointer's entering is reported once, in an active window; its leaving only after that.
TEST(PointerTracking, EnterOnceWhileActiveLeaveOnlyAfterAnEnter) {
    test::TestScreen screen({.width = 8, .height = 4});
    take_events();
    int tracking = 0;
    Event event{};
    EXPECT_FALSE(mouse_enter_check(tracking, false, event)) << "inactive";
    EXPECT_EQ(event.type, 0);
    EXPECT_FALSE(report_mouse_left(tracking));
    EXPECT_TRUE(mouse_enter_check(tracking, true, event));
    EXPECT_EQ(event.type, EVENT_MOUSE_ENTERED);
    event = Event{};
    EXPECT_FALSE(mouse_enter_check(tracking, true, event)) << "already reported";
    EXPECT_EQ(event.type, 0);
    EXPECT_TRUE(event_types().empty()) << "the enter event is the caller's to post";
    EXPECT_TRUE(report_mouse_left(tracking));
    EXPECT_EQ(tracking, 0);
    EXPECT_EQ(event_types(), std::vector<std::int32_t>{EVENT_MOUSE_LEFT});
}

// Activation as every platform runs it: the events in order and what the platform follows up.
TEST(Activation, EventsInOrderAndWhatThePlatformFollowsUp) {
    test::TestScreen screen({.width = 8, .height = 4});
    struct Case {
        const char* what;
        bool active, focus_event, inside;
        int tracking_before;
        std::vector<std::int32_t> events;
        int tracking_after;
        bool left, entered;
    };
    const Case cases[] = {
        {"lost while tracked", false, true, true, 1, {EVENT_MOUSE_LEFT, EVENT_FOCUS_LOST}, 0,
         true, false},
        {"lost, pointer elsewhere", false, true, false, 0, {EVENT_FOCUS_LOST}, 0, false, false},
        {"gained under the pointer", true, true, true, 0,
         {EVENT_FOCUS_GAINED, EVENT_MOUSE_ENTERED}, 1, false, true},
        {"gained, pointer elsewhere", true, true, false, 0, {EVENT_FOCUS_GAINED}, 0, false,
         false},
        {"gained, entering known", true, true, true, 1, {EVENT_FOCUS_GAINED}, 1, false, false},
        {"no focus event (minimised)", false, false, false, 0, {}, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        take_events();
        screen->key_state[30] = 1;
        screen.clear_dirty();
        int buttons = BUTTON_LEFT;
        int tracking = c.tracking_before;
        const ActivationOutcome outcome =
            activation_sequence(c.active, c.focus_event, c.inside, buttons, tracking);
        EXPECT_EQ(event_types(), c.events);
        EXPECT_EQ(tracking, c.tracking_after);
        EXPECT_EQ(outcome.left, c.left);
        EXPECT_EQ(outcome.entered, c.entered);
        EXPECT_EQ(buttons, 0);
        EXPECT_EQ(screen->key_state[30], 0);
        EXPECT_EQ(screen.dirty_lines(), 4);
    }
}

// Alt+Enter: the leave event first where the pointer was tracked, nothing more where switching
// is disabled; after the switch every line is presented again and the window counts as active.
TEST(FullScreenToggle, LeaveFirstNothingWithoutTheSwitchAfterwardsActiveAndRedrawn) {
    test::TestScreen screen({.width = 8, .height = 4});
    take_events();
    EXPECT_FALSE(full_screen_toggle_begins(1, MODE_NO_SWITCH));
    EXPECT_EQ(event_types(), std::vector<std::int32_t>{EVENT_MOUSE_LEFT});
    EXPECT_TRUE(full_screen_toggle_begins(0, MODE_FULLSCREEN));
    EXPECT_TRUE(event_types().empty());
    screen.clear_dirty();
    int active = 0, tracking = 1;
    full_screen_toggle_ends(active, tracking);
    EXPECT_EQ(active, 1);
    EXPECT_EQ(tracking, 0);
    EXPECT_EQ(screen.dirty_lines(), 4);
    EXPECT_TRUE(event_types().empty());
}

TEST(CodePage437, EveryCharacterOfTheUpperHalfFindsItsByte) {
    // Bytes 0x80 to 0xFE as the code page draws them; 0xFF is the no-break space.
    const std::u32string upper = U"ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
                                 U"└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
    ASSERT_EQ(upper.size(), 128u);
    for (std::size_t i = 0; i < upper.size(); ++i)
        EXPECT_EQ(code_page_437_of(upper[i]), 0x80 + i) << "byte " << std::hex << 0x80 + i;
}

TEST(CodePage437, CharactersMapToTheirBytesAndOthersToNone) {
    EXPECT_EQ(code_page_437_of(U'a'), 'a');
    EXPECT_EQ(code_page_437_of(U'\r'), '\r');
    EXPECT_EQ(code_page_437_of(U'\u007F'), 0x7F) << "last of the lower half";
    EXPECT_EQ(code_page_437_of(U'\u0080'), 0) << "a control character, not 0x80";
    EXPECT_EQ(code_page_437_of(U'\u00C7'), 0x80); // first of the upper half
    EXPECT_EQ(code_page_437_of(U'\u00E9'), 0x82); // é
    EXPECT_EQ(code_page_437_of(U'\u2591'), 0xB0); // light shade
    EXPECT_EQ(code_page_437_of(U'\u00DF'), 0xE1); // ß
    EXPECT_EQ(code_page_437_of(U'\u00A0'), 0xFF); // last: no-break space
    EXPECT_EQ(code_page_437_of(U'\u20AC'), 0) << "no euro sign";
    EXPECT_EQ(code_page_437_of(U'\u00C0'), 0) << "no capital A grave";
}

TEST(DisplayTiming, FrameWaitAndDepthFamilies) {
    EXPECT_EQ(frame_wait_ms(0), 16);
    EXPECT_EQ(frame_wait_ms(60), 16);
    EXPECT_EQ(frame_wait_ms(75), 13);
    EXPECT_EQ(frame_wait_ms(1000), 1);
    EXPECT_TRUE(same_display_depth(15, 16));
    EXPECT_TRUE(same_display_depth(32, 24));
    EXPECT_TRUE(same_display_depth(8, 8));
    EXPECT_FALSE(same_display_depth(16, 32));
    EXPECT_FALSE(same_display_depth(8, 16));
}

} // namespace
} // namespace zered
