#include "gfx/window/window_input.h"

#include "gfx/console/key_buffer.h"
#include "gfx/console/key_translate.h"
#include "gfx/core/ddraw_modes.h"
#include "gfx/core/framebuffer.h"

namespace zered {

Event mouse_move_event(PointerMotion& pointer, int x, int y, int screen_x, int screen_y,
                       bool active) {
    pointer.mouse_x = x;
    pointer.mouse_y = y;
    Event event{EVENT_MOUSE_MOVED, x, y, 0, 0};
    if (pointer.last_screen_x != no_last_position) {
        event.field3 = screen_x - pointer.last_screen_x;
        event.field4 = screen_y - pointer.last_screen_y;
    }
    pointer.last_screen_x = screen_x;
    pointer.last_screen_y = screen_y;
    if (!active || (event.field3 == 0 && event.field4 == 0)) event.type = 0;
    return event;
}

int report_mouse(bool available, const PointerMotion& pointer, int wheel, int buttons,
                 int clipped, const MouseReport& out) {
    if (!available) return -1;
    if (out.x) *out.x = pointer.mouse_x;
    if (out.y) *out.y = pointer.mouse_y;
    if (out.wheel) *out.wheel = wheel;
    if (out.buttons) *out.buttons = buttons;
    if (out.clipped) *out.clipped = clipped;
    return 0;
}

Event button_event(int& buttons, int bit, std::int32_t type) {
    if (type == EVENT_BUTTON_RELEASED)
        buttons &= ~bit;
    else
        buttons |= bit;
    return Event{type, bit, 0, 0, 0};
}

Event wheel_event(int& position, bool up, std::int32_t type) {
    position += up ? 1 : -1;
    return Event{type, position, 0, 0, 0};
}

bool key_message_event(std::int32_t type, std::uint32_t virtual_key, std::int32_t code, int repeat,
                       Event& event) {
    if (type != EVENT_KEY_RELEASED && code > 255)
        for (int i = repeat; i > 0; --i)
            post_key(code);
    event = Event{type, scan_code_of(virtual_key), (code >= 0 && code <= 255) ? code : 0, 0, 0};
    return !(virtual_key == vk::menu || virtual_key == vk::f10 || code == close_window_key);
}

void post_close_request() {
    post_key(close_window_key);
    post_event(Event{EVENT_CLOSE_REQUESTED, 0, 0, 0, 0});
}

void reset_input_on_activation(int& buttons) {
    if (ScreenState* screen = current_screen()) {
        for (std::uint8_t& entry : screen->key_state)
            store_key_state(entry, false);
        mark_all_dirty(*screen);
    }
    buttons = 0;
}

bool mouse_enter_check(int& tracking, bool active, Event& event) {
    if (tracking || !active) return false;
    tracking = 1;
    event = Event{EVENT_MOUSE_ENTERED, 0, 0, 0, 0};
    return true;
}

bool report_mouse_left(int& tracking) {
    if (!tracking) return false;
    post_event(Event{EVENT_MOUSE_LEFT, 0, 0, 0, 0});
    tracking = 0;
    return true;
}

ActivationOutcome activation_sequence(bool active, bool focus_event, bool pointer_inside,
                                      int& buttons, int& tracking) {
    ActivationOutcome outcome;
    reset_input_on_activation(buttons);
    if (!active) outcome.left = report_mouse_left(tracking);
    if (focus_event) post_event(Event{active ? EVENT_FOCUS_GAINED : EVENT_FOCUS_LOST, 0, 0, 0, 0});
    Event enter{};
    if (active && pointer_inside && mouse_enter_check(tracking, true, enter)) {
        post_event(enter);
        outcome.entered = true;
    }
    return outcome;
}

bool full_screen_toggle_begins(int tracking, ModeFlags flags) {
    if (tracking) post_event(Event{EVENT_MOUSE_LEFT, 0, 0, 0, 0});
    return (flags & MODE_NO_SWITCH) == 0;
}

void full_screen_toggle_ends(int& active, int& tracking) {
    if (ScreenState* screen = current_screen()) mark_all_dirty(*screen);
    active = 1;
    tracking = 0;
}

} // namespace zered
