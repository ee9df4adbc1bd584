#include "gfx/window/window_input.h"

#include <gtest/gtest.h>

#include "gfx/console/key_buffer.h"
#include "gfx/core/test_screen.h"
#include "gfx/window/code_page_437.h"

namespace zered {
namespace {

std::vector<Event> take_events() {
    std::vector<Event> events;
    Event event;
    while (take_event(&event))
        events.push_back(event);
    return events;
}

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
    event = mouse_move_event(pointer, 9, 4, 109, 204, false);
    EXPECT_EQ(event.type, 0) << "inactive window";
    EXPECT_EQ(pointer.mouse_x, 9) << "the position is kept all the same";
    EXPECT_EQ(pointer.last_screen_x, 109);
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

TEST(CodePage437, CharactersMapToTheirBytesAndOthersToNone) {
    EXPECT_EQ(code_page_437_of(U'a'), 'a');
    EXPECT_EQ(code_page_437_of(U'\r'), '\r');
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
