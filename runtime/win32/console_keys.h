// The Windows console's key input behind the console key check, open to tests.
#pragma once

#include <windows.h>

namespace rt {

// One key record from the console's input: stores the key code it makes, if any, into the
// console's key buffer.
void console_key_record(const KEY_EVENT_RECORD& key);

// The console control handler: the close, log-off and shut-down notifications store the
// close-window key and count as handled; every other one is left to the next handler.
BOOL WINAPI console_control_handler(DWORD event);

} // namespace rt
