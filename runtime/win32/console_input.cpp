#include "runtime/console_input.h"
#include "runtime/key_translate.h"
#include "runtime/win32/console_keys.h"

#include <cstdlib>

namespace rt {

namespace {

void remove_control_handler() {
    ::SetConsoleCtrlHandler(console_control_handler, FALSE);
}

} // namespace

// A press (repeat count above 0) stores the code the window layer's translation gives for the
// same key, so that a key means the same at the console and in a window; a key that gives none
// (a modifier alone) stores nothing. The console composes Alt plus keypad digits itself and
// hands the character over with the release of Alt; other releases make no code.
void console_key_record(const KEY_EVENT_RECORD& key) {
    const auto character = static_cast<unsigned char>(key.uChar.AsciiChar);
    if (!key.bKeyDown) {
        if (key.wVirtualKeyCode == VK_MENU && character != 0) console_store_key(character);
        return;
    }
    if (key.wRepeatCount == 0) return;
    const std::int32_t code = translate_key(character, key.wVirtualScanCode, key.wVirtualKeyCode,
                                            key.dwControlKeyState, 0);
    if (code != no_key_code) console_store_key(code);
}

BOOL WINAPI console_control_handler(DWORD event) {
    switch (event) {
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        console_store_key(close_window_key);
        return TRUE;
    default:
        return FALSE;
    }
}

bool platform_console_present() {
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    return in != nullptr && in != INVALID_HANDLE_VALUE && ::GetConsoleMode(in, &mode) != 0;
}

void platform_console_poll() {
    static bool handler_installed = false;
    if (!handler_installed) {
        handler_installed = true;
        std::atexit(remove_control_handler);
        ::SetConsoleCtrlHandler(console_control_handler, TRUE);
    }
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    INPUT_RECORD record{};
    DWORD pending = 0;
    while (::PeekConsoleInputA(in, &record, 1, &pending) && pending > 0) {
        DWORD read = 0;
        if (!::ReadConsoleInputA(in, &record, 1, &read) || read == 0) return;
        if (record.EventType == KEY_EVENT) console_key_record(record.Event.KeyEvent);
    }
}

} // namespace rt
