#include "gfx/x11/x11_input.h"

#include <X11/Xutil.h>

#include "gfx/window/present_pass.h"
#include "gfx/x11/x11_keys.h"

namespace zered {

namespace {

bool key_down(const X11Input& in, unsigned keycode) {
    return keycode < in.keycode_down.size() && in.keycode_down[keycode];
}

void post_if_any(const Event& event) {
    if (event.type) post_event(event);
}

int button_bit(unsigned button) {
    switch (button) {
    case Button1: return BUTTON_LEFT;
    case Button2: return BUTTON_MIDDLE;
    case Button3: return BUTTON_RIGHT;
    case 8: return BUTTON_EXTRA_1;
    case 9: return BUTTON_EXTRA_2;
    default: return 0;
    }
}

void activation(X11Input& in, bool active) {
    in.active = active ? 1 : 0;
    in.keycode_down.fill(false);
    in.virtual_keys_held.fill(0);
    in.keys_changed = false;
    activation_sequence(active, true, in.cursor_inside != 0, in.buttons, in.tracking);
}

void button_message(X11Input& in, const XButtonEvent& button, bool press) {
    Event event{};
    if (button.button >= 4 && button.button <= 7) {
        // Wheels: 4 and 5 up and down, 6 and 7 left and right; a press is one notch.
        if (!press) return;
        if (button.button <= 5)
            event = wheel_event(in.wheel, button.button == 4, EVENT_WHEEL);
        else
            event = wheel_event(in.hwheel, button.button == 7, EVENT_HORIZONTAL_WHEEL);
        post_event(event);
        return;
    }
    const int bit = button_bit(button.button);
    if (!bit) return;
    if (press) {
        const bool double_click = is_double_click(in.last_press, button.button, button.time,
                                                  button.x_root, button.y_root);
        event = button_event(in.buttons, bit,
                             double_click ? EVENT_BUTTON_DOUBLE_CLICKED : EVENT_BUTTON_PRESSED);
        // A third press starts again.
        in.last_press = {double_click ? 0 : button.button, button.time, button.x_root,
                         button.y_root};
    } else {
        event = button_event(in.buttons, bit, EVENT_BUTTON_RELEASED);
    }
    post_event(event);
}

void motion_message(X11Input& in, const XMotionEvent& motion, int image_left, int image_top) {
    in.cursor_inside = 1;
    Event moved = mouse_move_event(in.pointer, motion.x - image_left, motion.y - image_top,
                                   motion.x_root, motion.y_root, in.active != 0);
    mouse_enter_check(in.tracking, in.active != 0, moved);
    post_if_any(moved);
}

void crossing_message(X11Input& in, bool entered) {
    in.cursor_inside = entered ? 1 : 0;
    if (entered) {
        Event enter{};
        mouse_enter_check(in.tracking, in.active != 0, enter);
        post_if_any(enter);
    } else if (in.active) {
        report_mouse_left(in.tracking);
    }
}

void focus_message(X11Input& in, const XFocusChangeEvent& focus) {
    // Focus moving between the window and its pointer, or a grab's, is not activation.
    if (focus.detail == NotifyPointer || focus.detail == NotifyInferior ||
        focus.mode == NotifyGrab || focus.mode == NotifyUngrab)
        return;
    activation(in, focus.type == FocusIn);
}

} // namespace

bool is_double_click(const LastPress& last, unsigned button, unsigned long time, int x, int y) {
    const std::uint32_t elapsed = static_cast<std::uint32_t>(time - last.time);
    return button != 0 && button == last.button && elapsed <= double_click_ms &&
           std::abs(x - last.x) <= double_click_width / 2 &&
           std::abs(y - last.y) <= double_click_height / 2;
}

KeyAction key_message(X11Input& in, XKeyEvent& key_event, bool press) {
    char typed[8];
    KeySym keysym = NoSymbol;
    XLookupString(&key_event, typed, sizeof typed, &keysym, nullptr);
    const bool was_down = key_down(in, key_event.keycode);
    if (key_event.keycode < in.keycode_down.size() && was_down != press) {
        in.keycode_down[key_event.keycode] = press;
        // Counted under the key's own virtual key, not the keypad's Num Lock one, so that a
        // release finds the count its press made whatever Num Lock did in between.
        std::uint8_t& held =
            in.virtual_keys_held[x11_virtual_key(x11_key_of(key_event.keycode), 0) & 0xFF];
        held = press ? held + 1 : (held ? held - 1 : 0);
        in.keys_changed = true;
    }
    const X11ModifierKeys modifier_keys{
        key_down(in, keycode_left_shift), key_down(in, keycode_right_shift),
        key_down(in, keycode_left_ctrl),  key_down(in, keycode_right_ctrl),
        key_down(in, keycode_left_alt),   key_down(in, keycode_right_alt)};
    const X11KeyStroke stroke =
        x11_key_stroke(key_event.keycode, keysym, key_event.state, modifier_keys);
    if (press && in.active && stroke.virtual_key == vk::return_key && stroke.system)
        return KeyAction::toggle_full_screen;
    x11_key_message(stroke, press, was_down);
    return KeyAction::none;
}



KeyAction input_event(X11Input& in, XEvent& event, int image_left, int image_top) {
    switch (event.type) {
    case KeyPress:
    case KeyRelease:
        return key_message(in, event.xkey, event.type == KeyPress);
    case ButtonPress:
    case ButtonRelease:
        button_message(in, event.xbutton, event.type == ButtonPress);
        break;
    case MotionNotify:
        motion_message(in, event.xmotion, image_left, image_top);
        break;
    case EnterNotify:
    case LeaveNotify:
        crossing_message(in, event.type == EnterNotify);
        break;
    case FocusIn:
    case FocusOut:
        focus_message(in, event.xfocus);
        break;
    default:
        break;
    }
    return KeyAction::none;
}

void fold_held_keys(X11Input& in, ScreenState& screen) {
    if (!in.active || !in.keys_changed) return;
    fold_key_states(screen.key_state.data(), [&in](std::uint8_t virtual_key) {
        return in.virtual_keys_held[virtual_key] != 0;
    });
    in.keys_changed = false;
}

} // namespace zered
