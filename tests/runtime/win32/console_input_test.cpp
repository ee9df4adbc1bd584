#include "runtime/console_input.h"
#include "runtime/win32/console_keys.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

void drain() {
    while (rt::console_take_key() != 0) {
    }
    rt::console_take_key_mark();
}

// What one record leaves in the console's key buffer: the code, or 0 when it stored nothing.
std::int32_t stored_by(const KEY_EVENT_RECORD& key) {
    drain();
    rt::console_key_record(key);
    const bool marked = rt::console_take_key_mark();
    const std::int32_t code = rt::console_take_key();
    EXPECT_EQ(marked, code != 0) << "the mark goes with a stored key";
    EXPECT_EQ(rt::console_take_key(), 0) << "one key at most";
    return code;
}

KEY_EVENT_RECORD key_record(BOOL down, WORD repeat, WORD virtual_key, WORD scan, char character,
                            DWORD state) {
    KEY_EVENT_RECORD key{};
    key.bKeyDown = down;
    key.wRepeatCount = repeat;
    key.wVirtualKeyCode = virtual_key;
    key.wVirtualScanCode = scan;
    key.uChar.AsciiChar = character;
    key.dwControlKeyState = state;
    return key;
}

// The console stores what a window would post for the same key.
TEST(ConsoleKeyRecord, StoresTheWindowsKeyCodes) {
    struct Case {
        const char* what;
        BOOL down;
        WORD repeat;
        WORD virtual_key;
        WORD scan;
        char character;
        DWORD state;
        std::int32_t code;
    };
    constexpr DWORD alt = LEFT_ALT_PRESSED;
    const Case cases[] = {
        {"a", TRUE, 1, 'A', 0x1E, 'a', 0, 'a'},
        {"a held (repeat 3)", TRUE, 3, 'A', 0x1E, 'a', 0, 'a'},
        {"e acute, a byte above 127", TRUE, 1, '2', 0x03, '\xE9', 0, 0xE9},
        {"Alt+X", TRUE, 1, 'X', 0x2D, 'x', alt, 0x2DFF},
        {"Ctrl+Left", TRUE, 1, VK_LEFT, 0x4B, 0, LEFT_CTRL_PRESSED | ENHANCED_KEY, 0x73FF},
        {"F1", TRUE, 1, VK_F1, 0x3B, 0, 0, 0x3BFF},
        {"Alt+F4", TRUE, 1, VK_F4, 0x3E, 0, alt, rt::close_window_key},
        {"Shift alone", TRUE, 1, VK_SHIFT, 0x2A, 0, SHIFT_PRESSED, 0},
        {"Ctrl alone", TRUE, 1, VK_CONTROL, 0x1D, 0, LEFT_CTRL_PRESSED, 0},
        {"right Ctrl alone", TRUE, 1, VK_CONTROL, 0x1D, 0, RIGHT_CTRL_PRESSED | ENHANCED_KEY, 0},
        {"Alt alone", TRUE, 1, VK_MENU, 0x38, 0, alt, 0},
        {"a press without a count", TRUE, 0, 'A', 0x1E, 'a', 0, 0},
        {"a released", FALSE, 1, 'A', 0x1E, 'a', 0, 0},
        {"Alt released after Alt+2, 3, 3 on the keypad", FALSE, 1, VK_MENU, 0x38, '\xE9', 0, 0xE9},
        {"Alt released alone", FALSE, 1, VK_MENU, 0x38, 0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            stored_by(key_record(c.down, c.repeat, c.virtual_key, c.scan, c.character, c.state)),
            c.code)
            << c.what;
    }
}

TEST(ConsoleControlHandler, EndingTheSessionStoresTheCloseKey) {
    const struct {
        DWORD event;
        BOOL handled;
    } cases[] = {
        {CTRL_C_EVENT, FALSE},     {CTRL_BREAK_EVENT, FALSE},   {CTRL_CLOSE_EVENT, TRUE},
        {CTRL_LOGOFF_EVENT, TRUE}, {CTRL_SHUTDOWN_EVENT, TRUE},
    };
    for (const auto& c : cases) {
        drain();
        EXPECT_EQ(rt::console_control_handler(c.event), c.handled) << c.event;
        EXPECT_EQ(rt::console_take_key_mark(), c.handled != FALSE) << c.event;
        EXPECT_EQ(rt::console_take_key(), c.handled ? rt::close_window_key : 0) << c.event;
    }
}

// The real path: records waiting at a console of the test's own are read by the key check, which
// reports them once; the keys stay in the buffer.
TEST(ConsoleKeyCheck, ReadsWhatWaitsAtTheConsole) {
    ::FreeConsole();
    ASSERT_TRUE(::AllocConsole());
    struct Release {
        ~Release() { ::FreeConsole(); }
    } release;
    ASSERT_TRUE(rt::platform_console_present());
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    ::FlushConsoleInputBuffer(in);
    drain();
    EXPECT_EQ(rt::console_key_check(), 0);

    INPUT_RECORD records[3]{};
    const KEY_EVENT_RECORD keys[3] = {
        key_record(TRUE, 1, VK_MENU, 0x38, 0, LEFT_ALT_PRESSED),
        key_record(TRUE, 1, 'X', 0x2D, 'x', LEFT_ALT_PRESSED),
        key_record(FALSE, 1, 'X', 0x2D, 'x', LEFT_ALT_PRESSED),
    };
    for (int i = 0; i < 3; ++i) {
        records[i].EventType = KEY_EVENT;
        records[i].Event.KeyEvent = keys[i];
    }
    DWORD written = 0; // Wine leaves the count at 0
    ASSERT_TRUE(::WriteConsoleInputA(in, records, 3, &written));
    EXPECT_EQ(rt::console_key_check(), 1);
    EXPECT_EQ(rt::console_key_check(), 0) << "reported once";
    EXPECT_EQ(rt::console_take_key(), 0x2DFF);
    EXPECT_EQ(rt::console_take_key(), 0);
    DWORD left = 1;
    ::GetNumberOfConsoleInputEvents(in, &left);
    EXPECT_EQ(left, 0u) << "every record was read";
}

} // namespace
