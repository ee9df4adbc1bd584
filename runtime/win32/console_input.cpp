#include "runtime/console_input.h"

#include <windows.h>

#include <cstdlib>

namespace rt {

namespace {

bool is_modifier(WORD vk) {
    switch (vk) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LWIN:
    case VK_RWIN:
        return true;
    default:
        return false;
    }
}

// A key press becomes a character code, or an extended key (scan code * 256 + 255) for a key
// without a character. Modifiers alone and releases make no code.
void take_key_record(const KEY_EVENT_RECORD& key) {
    if (!key.bKeyDown || key.wRepeatCount == 0 || is_modifier(key.wVirtualKeyCode)) return;
    const auto ch = static_cast<unsigned char>(key.uChar.AsciiChar);
    if (ch != 0)
        console_store_key(ch);
    else
        console_store_key(static_cast<std::int32_t>(key.wVirtualScanCode & 0xFF) * 256 + 255);
}

BOOL WINAPI control_handler(DWORD event) {
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

void remove_control_handler() { ::SetConsoleCtrlHandler(control_handler, FALSE); }

} // namespace

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
        ::SetConsoleCtrlHandler(control_handler, TRUE);
    }
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    INPUT_RECORD record{};
    DWORD pending = 0;
    while (::PeekConsoleInputA(in, &record, 1, &pending) && pending > 0) {
        DWORD read = 0;
        if (!::ReadConsoleInputA(in, &record, 1, &read) || read == 0) return;
        if (record.EventType == KEY_EVENT) take_key_record(record.Event.KeyEvent);
    }
}

} // namespace rt
