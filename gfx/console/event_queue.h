// The open screen's queue of input events: a ring of 128 records in the ScreenState, holding at
// most 127, guarded by the screen's event_lock semaphore. The window layer posts; the program
// may take.
#pragma once

#include "gfx/core/screen_state.h"

namespace zered {

// Event types.
inline constexpr std::int32_t EVENT_KEY_PRESSED = 1;
inline constexpr std::int32_t EVENT_KEY_RELEASED = 2;
inline constexpr std::int32_t EVENT_KEY_REPEATED = 3;
inline constexpr std::int32_t EVENT_MOUSE_MOVED = 4;
inline constexpr std::int32_t EVENT_BUTTON_PRESSED = 5;
inline constexpr std::int32_t EVENT_BUTTON_RELEASED = 6;
inline constexpr std::int32_t EVENT_BUTTON_DOUBLE_CLICKED = 7;
inline constexpr std::int32_t EVENT_WHEEL = 8;
inline constexpr std::int32_t EVENT_MOUSE_ENTERED = 9;
inline constexpr std::int32_t EVENT_MOUSE_LEFT = 10;
inline constexpr std::int32_t EVENT_FOCUS_GAINED = 11;
inline constexpr std::int32_t EVENT_FOCUS_LOST = 12;
inline constexpr std::int32_t EVENT_CLOSE_REQUESTED = 13;
inline constexpr std::int32_t EVENT_HORIZONTAL_WHEEL = 14;

// Copies the record into the open screen's queue, dropping the oldest event when 127 are held.
// Without an open screen the event goes nowhere.
void post_event(const Event& record);

// Takes the oldest event of the open screen into out: 1, or 0 when there is none (or no screen).
int take_event(Event* out);

} // namespace zered
