// The window procedure: window messages become key codes for the key buffer, events for the
// screen's event queue, and the mouse state that window_get_mouse reports. On a thread-based
// driver it runs on the driver thread inside drain_messages, with driver_lock held.
#include <cstdint>

#include "gfx/console/event_queue.h"
#include "gfx/console/key_buffer.h"
#include "gfx/console/key_layout.h"
#include "gfx/console/key_translate.h"
#include "gfx/core/ddraw_modes.h"
#include "gfx/core/framebuffer.h"
#include "gfx/core/palette.h"
#include "gfx/win32/window.h"
#include "gfx/window/window_input.h"

namespace zered {

namespace {

inline constexpr UINT_PTR leave_timer_id = 2;
inline constexpr UINT leave_poll_ms = 100;
inline constexpr int version_wheel = 0x40A;  // 4.10: WM_MOUSEWHEEL
inline constexpr int version_extras = 0x500; // 5.0: extra buttons, horizontal wheel
inline constexpr int extra_button_bits = BUTTON_EXTRA_1 | BUTTON_EXTRA_2;

// Bits of a key message's lParam.
inline constexpr LPARAM key_extended_bit = 1 << 24;
inline constexpr LPARAM key_alt_bit = 1 << 29;
inline constexpr LPARAM key_was_down_bit = 1 << 30;

int repeat_count(LPARAM lparam) {
    return static_cast<int>(lparam & 0xFFFF);
}

void post_key_repeated(std::int32_t code, LPARAM lparam) {
    for (int i = repeat_count(lparam); i > 0; --i)
        post_key(code);
}

void post_event_of_type(std::int32_t type) {
    post_event(Event{type, 0, 0, 0, 0});
}

void mark_screen_dirty() {
    if (ScreenState* screen = current_screen()) mark_all_dirty(*screen);
}

// On the first sign of the mouse in an active window: arm the leave notification and make the
// pending event the enter event.
void watch_mouse_leave(HWND window) {
    WindowState& ws = window_state();
    TRACKMOUSEEVENT request{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
    ws.entry.TrackMouseEvent(&request);
    if (ws.clip_cursor) clip_cursor_to_client();
}

void check_mouse_enter(HWND window, Event& event) {
    if (mouse_enter_check(window_process_state().tracking, window_state().active != 0, event))
        watch_mouse_leave(window);
}

KeyModifiers modifiers_of(const BYTE (&keys)[256], bool extended) {
    const auto down = [&keys](int virtual_key) { return (keys[virtual_key] & 0x80) != 0; };
    KeyModifiers modifiers = 0;
    if (down(VK_SHIFT) || down(VK_LSHIFT) || down(VK_RSHIFT)) modifiers |= KEYMOD_SHIFT;
    if (down(VK_CONTROL) || down(VK_LCONTROL)) modifiers |= KEYMOD_LEFT_CTRL;
    if (down(VK_RCONTROL)) modifiers |= KEYMOD_RIGHT_CTRL;
    if (down(VK_MENU) || down(VK_LMENU)) modifiers |= KEYMOD_LEFT_ALT;
    if (down(VK_RMENU)) modifiers |= KEYMOD_RIGHT_ALT;
    if (extended) modifiers |= KEYMOD_ENHANCED;
    return modifiers;
}

// The key message's key code and event (key_message_event); false when the message is to end
// without an event or default handling.
bool translate_key_message(UINT message, WPARAM wparam, LPARAM lparam, Event& event) {
    const auto virtual_key = static_cast<std::uint32_t>(wparam & 0xFFFF);
    const auto scan_code = static_cast<std::int32_t>((lparam >> 16) & 0xFF);
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    const KeyModifiers modifiers = modifiers_of(keys, (lparam & key_extended_bit) != 0);

    std::int32_t character = 0;
    if (!(map_virtual_key_char(virtual_key) & dead_key_bit)) {
        WORD typed = 0;
        if (::ToAscii(virtual_key, static_cast<UINT>(scan_code), keys, &typed, 0) == 1)
            character = static_cast<std::int8_t>(typed & 0xFF);
    }
    const std::int32_t code = translate_key(character, scan_code, virtual_key, modifiers, 0);

    // A system key-down (a key with Alt held) counts as a press like any other, so that Alt
    // combinations reach the key buffer; its system key-up is the release.
    const std::int32_t type = (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
                                  ? ((lparam & key_was_down_bit) ? EVENT_KEY_REPEATED
                                                                 : EVENT_KEY_PRESSED)
                                  : EVENT_KEY_RELEASED;
    return key_message_event(type, virtual_key, code, repeat_count(lparam), event);
}

// A byte of the ANSI code page as a code-page-437 character read as signed (0x82 is -126); 0
// when it cannot be converted.
std::int32_t to_code_page_437(char byte) {
    WindowProcessState& ps = window_process_state();
    GrowableBuffer<wchar_t>& wide = ps.wide_chars;
    GrowableBuffer<char>& narrow = ps.narrow_chars;
    const int wide_needed = ::MultiByteToWideChar(CP_ACP, 0, &byte, 1, nullptr, 0);
    wide.reserve(wide_needed);
    if (!wide.data) return 0;
    const int wide_length =
        ::MultiByteToWideChar(CP_ACP, 0, &byte, 1, wide.data.get(), wide.capacity);
    if (wide_length <= 0) return 0;
    const int narrow_needed =
        ::WideCharToMultiByte(437, 0, wide.data.get(), wide_length, nullptr, 0, nullptr, nullptr);
    narrow.reserve(narrow_needed);
    if (!narrow.data) return 0;
    const int narrow_length = ::WideCharToMultiByte(
        437, 0, wide.data.get(), wide_length, narrow.data.get(), narrow.capacity, nullptr, nullptr);
    if (narrow_length <= 0) return 0;
    return static_cast<std::int8_t>(narrow.data[0]);
}

void character_message(WPARAM wparam, LPARAM lparam) {
    if (wparam > 255) return;
    const std::int32_t code = wparam == 0 ? 0 : to_code_page_437(static_cast<char>(wparam));
    post_key_repeated(code, lparam);
}

void mouse_move(HWND window, LPARAM lparam, POINT cursor, Event& event) {
    event = mouse_move_event(window_process_state().pointer, static_cast<int>(lparam & 0xFFFF),
                             static_cast<int>((lparam >> 16) & 0xFFFF), cursor.x, cursor.y,
                             window_state().active != 0);
    check_mouse_enter(window, event);
}

void release_capture_when_idle(HWND window) {
    if (window_process_state().buttons == 0 && ::GetCapture() == window) ::ReleaseCapture();
}

void button_down(HWND window, int bit, std::int32_t type, Event& event) {
    ::SetCapture(window);
    event = button_event(window_process_state().buttons, bit, type);
}

void button_up(HWND window, int bit, Event& event) {
    event = button_event(window_process_state().buttons, bit, EVENT_BUTTON_RELEASED);
    release_capture_when_idle(window);
}

// The three standard buttons: their bit, and the event of each message.
struct ButtonMessage {
    UINT message;
    int bit;
    std::int32_t type;
};
inline constexpr ButtonMessage button_messages[] = {
    {WM_LBUTTONDOWN, BUTTON_LEFT, EVENT_BUTTON_PRESSED},
    {WM_LBUTTONDBLCLK, BUTTON_LEFT, EVENT_BUTTON_DOUBLE_CLICKED},
    {WM_LBUTTONUP, BUTTON_LEFT, EVENT_BUTTON_RELEASED},
    {WM_RBUTTONDOWN, BUTTON_RIGHT, EVENT_BUTTON_PRESSED},
    {WM_RBUTTONDBLCLK, BUTTON_RIGHT, EVENT_BUTTON_DOUBLE_CLICKED},
    {WM_RBUTTONUP, BUTTON_RIGHT, EVENT_BUTTON_RELEASED},
    {WM_MBUTTONDOWN, BUTTON_MIDDLE, EVENT_BUTTON_PRESSED},
    {WM_MBUTTONDBLCLK, BUTTON_MIDDLE, EVENT_BUTTON_DOUBLE_CLICKED},
    {WM_MBUTTONUP, BUTTON_MIDDLE, EVENT_BUTTON_RELEASED},
};

const ButtonMessage* button_message(UINT message) {
    for (const ButtonMessage& button : button_messages)
        if (button.message == message) return &button;
    return nullptr;
}

void extra_button_down(HWND window, WPARAM wparam, std::int32_t type, Event& event) {
    WindowProcessState& ps = window_process_state();
    ::SetCapture(window);
    ps.previous_buttons = ps.buttons;
    if (wparam & MK_XBUTTON1) ps.buttons |= BUTTON_EXTRA_1;
    if (wparam & MK_XBUTTON2) ps.buttons |= BUTTON_EXTRA_2;
    event = Event{type, ps.buttons & ~ps.previous_buttons, 0, 0, 0};
}

void extra_button_up(HWND window, WPARAM wparam, Event& event) {
    WindowProcessState& ps = window_process_state();
    ps.previous_buttons = ps.buttons;
    if (!(wparam & MK_XBUTTON1)) ps.buttons &= ~BUTTON_EXTRA_1;
    if (!(wparam & MK_XBUTTON2)) ps.buttons &= ~BUTTON_EXTRA_2;
    release_capture_when_idle(window);
    event = Event{EVENT_BUTTON_RELEASED, ps.previous_buttons & ~ps.buttons & extra_button_bits, 0,
                  0, 0};
}

// One notch per message, whatever the delta says.
void wheel_step(int& position, WPARAM wparam, std::int32_t type, Event& event) {
    event = wheel_event(position, static_cast<std::int32_t>(wparam) > 0, type);
}

LRESULT activation(HWND window, WPARAM wparam) {
    WindowState& ws = window_state();
    WindowProcessState& ps = window_process_state();
    const unsigned state = LOWORD(wparam);
    const unsigned minimised = HIWORD(wparam);
    ws.active = (state != 0 && minimised == 0) ? 1 : 0;
    // This runs on the driver thread itself wherever there is one.
    if (!(ws.flags & MODE_OPENGL) && (ws.flags & MODE_HIGH_PRIORITY))
        ::SetThreadPriority(::GetCurrentThread(),
                            ws.active ? THREAD_PRIORITY_ABOVE_NORMAL : THREAD_PRIORITY_NORMAL);
    const ActivationOutcome outcome = activation_sequence(
        ws.active != 0, state == 0 || minimised == 0, ps.cursor_inside != 0, ps.buttons, ps.tracking);
    if (outcome.left) ::KillTimer(window, leave_timer_id);
    if (ws.active) {
        if (outcome.entered)
            watch_mouse_leave(window);
        else if (!ps.cursor_inside && ws.clip_cursor)
            clip_cursor_to_client();
    } else if (ws.clip_cursor) {
        ::ClipCursor(nullptr);
    }
    return 0;
}

// True while toggle_full_screen runs the driver's hooks. The window's own thread is the only one
// that switches, so a plain flag serves.
bool switching = false;

// Alt+Enter or maximise: the driver rebuilds its window for the other mode, and falls back to
// the mode it had when that fails.
LRESULT toggle_full_screen(HWND window) {
    WindowState& ws = window_state();
    WindowProcessState& ps = window_process_state();
    if (!full_screen_toggle_begins(ps.tracking, ws.flags)) return 0;
    ws.monitor = ws.entry.MonitorFromWindow
                     ? ws.entry.MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                     : nullptr;
    if (ws.clip_cursor) ::ClipCursor(nullptr);
    switching = true;
    ws.window_teardown_hook();
    ws.flags ^= MODE_FULLSCREEN;
    if (ws.window_setup_hook() != 0) {
        ws.window_teardown_hook();
        ws.flags ^= MODE_FULLSCREEN;
        ws.window_setup_hook();
    }
    switching = false;
    // A new display surface starts without the program's colours.
    palette_resend();
    full_screen_toggle_ends(ws.active, ps.tracking);
    return 0;
}

void CALLBACK leave_poll(HWND window, UINT, UINT_PTR timer, DWORD) {
    RECT client;
    POINT cursor;
    if (client_rect_on_screen(window, client) && ::GetCursorPos(&cursor) &&
        ::PtInRect(&client, cursor) && ::WindowFromPoint(cursor) == window)
        return;
    ::KillTimer(window, timer);
    ::PostMessageA(window, WM_MOUSELEAVE, 0, 0);
}

} // namespace

BOOL WINAPI leave_tracking_fallback(LPTRACKMOUSEEVENT request) {
    if (!request || request->dwFlags != TME_LEAVE) return FALSE;
    return ::SetTimer(request->hwndTrack, leave_timer_id, leave_poll_ms, leave_poll) != 0;
}

LRESULT CALLBACK handle_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowState& ws = window_state();
    WindowProcessState& ps = window_process_state();
    RECT client{};
    POINT cursor{};
    client_rect_on_screen(window, client);
    ::GetCursorPos(&cursor);
    ps.cursor_inside = ::PtInRect(&client, cursor) ? 1 : 0;

    Event event{};
    const auto tail = [&] {
        if (event.type) post_event(event);
        return ::DefWindowProcA(window, message, wparam, lparam);
    };
    const auto default_handling = [&] { return ::DefWindowProcA(window, message, wparam, lparam); };

    if (const ButtonMessage* button = button_message(message)) {
        if (button->type == EVENT_BUTTON_RELEASED)
            button_up(window, button->bit, event);
        else
            button_down(window, button->bit, button->type, event);
        return tail();
    }
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
        return translate_key_message(message, wparam, lparam, event) ? tail() : 0;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        if (!ws.active) return default_handling();
        if (message == WM_SYSKEYDOWN && wparam == VK_RETURN && (lparam & key_alt_bit))
            return toggle_full_screen(window);
        return translate_key_message(message, wparam, lparam, event) ? tail() : 0;
    case WM_SIZE:
        // The hooks re-style and move a window that may still be zoomed; its size messages are
        // the switch's own, not a request for another one.
        if (ws.active && wparam == SIZE_MAXIMIZED && !switching) return toggle_full_screen(window);
        return default_handling();
    case WM_CHAR:
        character_message(wparam, lparam);
        return default_handling();
    case WM_CLOSE:
        post_close_request();
        return 0;
    case WM_ACTIVATE:
        return activation(window, wparam);
    case WM_PAINT: {
        PAINTSTRUCT paint;
        ::BeginPaint(window, &paint);
        if (ws.repaint_hook) ws.repaint_hook();
        ::EndPaint(window, &paint);
        return default_handling();
    }
    case WM_DISPLAYCHANGE:
        if (ws.repaint_hook) ws.repaint_hook();
        mark_screen_dirty();
        return default_handling();
    case WM_SETCURSOR:
        ::SetCursor(ps.cursor_inside && !ps.cursor_visible ? nullptr
                                                           : ::LoadCursorA(nullptr, IDC_ARROW));
        return TRUE;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        const POINT size{ws.created_width, ws.created_height};
        info->ptMaxSize = info->ptMinTrackSize = info->ptMaxTrackSize = size;
        return 0;
    }
    case WM_MOUSEMOVE:
        mouse_move(window, lparam, cursor, event);
        return tail();
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
        if (ws.os_version >= version_extras)
            extra_button_down(window, wparam,
                              message == WM_XBUTTONDOWN ? EVENT_BUTTON_PRESSED
                                                        : EVENT_BUTTON_DOUBLE_CLICKED,
                              event);
        return tail();
    case WM_XBUTTONUP:
        if (ws.os_version >= version_extras) extra_button_up(window, wparam, event);
        return tail();
    case WM_MOUSEWHEEL:
        if (ws.os_version >= version_wheel) wheel_step(ps.wheel, wparam, EVENT_WHEEL, event);
        return tail();
    case WM_MOUSEHWHEEL:
        if (ws.os_version >= version_extras)
            wheel_step(ps.hwheel, wparam, EVENT_HORIZONTAL_WHEEL, event);
        return tail();
    case WM_MOVING:
        // Dragging needs the cursor free; activation clips it again.
        if (ws.clip_cursor) ::ClipCursor(nullptr);
        return default_handling();
    case WM_MOUSELEAVE:
        if (!ws.active) return default_handling();
        post_event_of_type(EVENT_MOUSE_LEFT);
        ps.tracking = 0;
        return 0;
    default:
        return default_handling();
    }
}

} // namespace zered
