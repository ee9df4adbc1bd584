// The window layer on its own, without a display driver: what its init records and resets, the
// driver thread's start hand-shake, what its exit undoes, the lock, the palette table, the mouse
// report, the frame wait and window placement. The driver thread's body is a stand-in here.
#include <process.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/console/key_tables.h"
#include "gfx/console/key_translate.h"
#include "gfx/core/test_screen.h"
#include "gfx/win32/gdi_screen.h"
#include "gfx/win32/window.h"

namespace {

using namespace zered;

// What the stand-in thread bodies saw and did.
HANDLE seen_start_event = nullptr;
std::atomic<int> body_finished{0};
int teardowns = 0;

// Signals its start, stays while the layer runs, then takes a little longer to finish than the
// layer's exit would wait without waiting for it.
void starts_and_runs(HANDLE start_event) {
    seen_start_event = start_event;
    ::SetEvent(start_event);
    while (window_running())
        ::Sleep(1);
    ::Sleep(60);
    body_finished = 1;
}

// Ends before it has signalled, as a body whose window could not be made does.
void ends_at_once(HANDLE start_event) {
    seen_start_event = start_event;
    body_finished = 1;
}

void count_teardown() {
    ++teardowns;
}

bool handle_closed(HANDLE handle) {
    return ::WaitForSingleObject(handle, 0) == WAIT_FAILED;
}

BOOL screen_saver_active() {
    BOOL active = FALSE;
    ::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    return active;
}

RECT whole_clip() {
    RECT rect;
    ::ClipCursor(nullptr);
    ::GetClipCursor(&rect);
    return rect;
}

class WindowLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        window_state_clear();
        seen_start_event = nullptr;
        body_finished = 0;
        teardowns = 0;
    }
    void TearDown() override {
        window_exit();
        window_state_clear();
        ::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
    }
    // Gives the layer's init the stand-in body and hooks a driver would.
    int init(const char* title, ModeFlags flags, void (*body)(HANDLE) = starts_and_runs) {
        window_state().driver_thread_proc = body;
        window_state().window_teardown_hook = count_teardown;
        return window_init(title, 320, 200, 16, 70, flags);
    }

    test::TestScreen screen{{.width = 32, .height = 8}};
};

TEST_F(WindowLayer, InitRecordsTheScreenStartsTheThreadAndExitUndoesIt) {
    struct Case {
        ModeFlags flags;
        UINT class_style;
        bool threaded;
        int priority;
    };
    const HMODULE user32 = ::GetModuleHandleA("USER32");
    for (const Case& c :
         {Case{0, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, true, THREAD_PRIORITY_NORMAL},
          Case{MODE_HIGH_PRIORITY, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, true,
               THREAD_PRIORITY_ABOVE_NORMAL},
          Case{MODE_OPENGL, CS_DBLCLKS, false, 0}}) {
        SCOPED_TRACE(c.flags);
        SetUp();
        // Left over from an earlier screen: none of it may reach this one.
        WindowProcessState& ps = window_process_state();
        ps.cursor_visible = 0;
        ps.pointer.last_screen_x = 12;
        ps.tracking = 1;
        ps.wheel = 3;
        ps.hwheel = -2;
        ps.buttons = 5;
        ps.wide_chars.reserve(8);
        ps.narrow_chars.reserve(8);
        window_state().clip_cursor = 1;
        ::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
        ASSERT_EQ(screen_saver_active(), TRUE);

        const char* title = "layer test";
        ASSERT_EQ(init(title, c.flags), 0);
        const WindowState& ws = window_state();
        EXPECT_TRUE(window_running());
        EXPECT_EQ(std::vector({ws.width, ws.height, ws.depth, ws.requested_refresh}),
                  std::vector({320, 200, 16, 70}));
        EXPECT_EQ(ws.flags, c.flags);
        EXPECT_EQ(ws.title, title);
        EXPECT_EQ(ws.instance, ::GetModuleHandleA(nullptr));
        EXPECT_STREQ(ws.class_name, "zeredclass_layer test");
        EXPECT_EQ(std::vector({ps.cursor_visible, ps.pointer.last_screen_x, ps.tracking, ps.wheel,
                               ps.hwheel, ps.buttons, ws.clip_cursor}),
                  std::vector({1, no_last_position, 0, 0, 0, 0, 0}));
        EXPECT_EQ(ps.wide_chars.capacity + ps.narrow_chars.capacity, 0);
        EXPECT_EQ(screen_saver_active(), FALSE);

        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof version;
        ASSERT_TRUE(::GetVersionExA(&version));
        EXPECT_EQ(ws.os_version,
                  static_cast<int>(version.dwMajorVersion << 8 | version.dwMinorVersion));
        // The system has every optional entry point, the real leave notification among them.
        const auto entry = [user32](const char* name) {
            return reinterpret_cast<void*>(::GetProcAddress(user32, name));
        };
        EXPECT_EQ(reinterpret_cast<void*>(ws.entry.SetLayeredWindowAttributes),
                  entry("SetLayeredWindowAttributes"));
        EXPECT_EQ(reinterpret_cast<void*>(ws.entry.MonitorFromWindow), entry("MonitorFromWindow"));
        EXPECT_EQ(reinterpret_cast<void*>(ws.entry.MonitorFromPoint), entry("MonitorFromPoint"));
        EXPECT_EQ(reinterpret_cast<void*>(ws.entry.FlashWindowEx), entry("FlashWindowEx"));
        EXPECT_EQ(reinterpret_cast<void*>(ws.entry.TrackMouseEvent), entry("TrackMouseEvent"));
        EXPECT_EQ(reinterpret_cast<void*>(ws.entry.GetMonitorInfoA), entry("GetMonitorInfoA"));
        EXPECT_EQ(reinterpret_cast<void*>(ws.entry.ChangeDisplaySettingsExA),
                  entry("ChangeDisplaySettingsExA"));
        POINT cursor{};
        ::GetCursorPos(&cursor);
        EXPECT_EQ(ws.monitor, ::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST));

        WNDCLASSA wc{};
        ASSERT_TRUE(::GetClassInfoA(ws.instance, "zeredclass_layer test", &wc));
        EXPECT_EQ(wc.style, c.class_style);
        EXPECT_EQ(wc.lpfnWndProc, handle_window_message);
        // The program's own icon where it has one, the system's otherwise.
        const HICON own_icon = ::LoadIconA(ws.instance, "ZERED_PROGRAM_ICON");
        EXPECT_EQ(wc.hIcon, own_icon ? own_icon : ::LoadIconA(nullptr, IDI_APPLICATION));
        EXPECT_EQ(wc.hCursor, ::LoadCursorA(nullptr, IDC_ARROW));

        const HANDLE thread = ps.driver_thread;
        EXPECT_EQ(thread != nullptr, c.threaded);
        EXPECT_EQ(ps.driver_lock_ready, c.threaded);
        if (c.threaded) {
            EXPECT_EQ(::GetThreadPriority(thread), c.priority);
            // The hand-shake's event is the layer's to close once the thread has started.
            EXPECT_TRUE(handle_closed(seen_start_event));
        } else {
            EXPECT_EQ(seen_start_event, nullptr);
        }

        // As the character conversions of a screen leave them.
        ps.wide_chars.reserve(4);
        ps.narrow_chars.reserve(4);
        window_exit();
        EXPECT_FALSE(window_running());
        EXPECT_EQ(teardowns, 1);
        EXPECT_EQ(body_finished.load(), c.threaded ? 1 : 0);
        EXPECT_EQ(ps.driver_thread, nullptr);
        if (c.threaded) {
            EXPECT_TRUE(handle_closed(thread));
        }
        EXPECT_FALSE(ps.driver_lock_ready);
        EXPECT_EQ(ps.wide_chars.capacity + ps.narrow_chars.capacity, 0);
        EXPECT_EQ(screen_saver_active(), TRUE);
        EXPECT_FALSE(::GetClassInfoA(ws.instance, "zeredclass_layer test", &wc));
        // A second exit finds nothing left to do.
        window_exit();
        EXPECT_EQ(teardowns, 1);
    }
}

TEST_F(WindowLayer, ClassNameTakesWhatFitsOfTheTitle) {
    const std::string long_title(200, 't');
    const std::string prefix = "zeredclass_";
    for (const auto& [title, name] :
         {std::pair<const char*, std::string>{nullptr, prefix},
          {"x", prefix + "x"},
          {long_title.c_str(),
           prefix + std::string(window_class_name_size - 1 - prefix.size(), 't')}}) {
        SetUp();
        ASSERT_EQ(init(title, MODE_OPENGL), 0);
        EXPECT_EQ(std::string(window_state().class_name), name);
        WNDCLASSA wc{};
        EXPECT_TRUE(::GetClassInfoA(window_state().instance, name.c_str(), &wc));
        window_exit();
    }
}

TEST_F(WindowLayer, ThreadThatEndsBeforeItsStartFailsTheInit) {
    EXPECT_EQ(init("layer test", 0, ends_at_once), -1);
    EXPECT_EQ(body_finished.load(), 1);
    EXPECT_TRUE(handle_closed(seen_start_event));
    window_exit();
    EXPECT_EQ(window_process_state().driver_thread, nullptr);
    EXPECT_FALSE(window_process_state().driver_lock_ready);
}

TEST_F(WindowLayer, ExitLetsGoOfTheScreenLockAndTheCursor) {
    for (const int held : {0, 2}) {
        SetUp();
        ASSERT_EQ(init("layer test", 0), 0);
        screen->lock_count = held;
        screen.driver().clear();
        window_state().clip_cursor = 1;
        const RECT whole = whole_clip();
        RECT corner{0, 0, 50, 50};
        ::ClipCursor(&corner);
        window_exit();
        EXPECT_EQ(screen->lock_count, 0);
        EXPECT_EQ(screen.driver().unlocks, held ? 1 : 0);
        EXPECT_EQ(window_state().clip_cursor, 0);
        RECT clip;
        ::GetClipCursor(&clip);
        EXPECT_TRUE(::EqualRect(&clip, &whole));
        ::ClipCursor(nullptr);
    }
}

unsigned __stdcall take_layer_lock(void* entered) {
    window_lock();
    static_cast<std::atomic<int>*>(entered)->store(1);
    window_unlock();
    return 0;
}

TEST_F(WindowLayer, LockKeepsOtherThreadsOutUntilReleased) {
    ASSERT_EQ(init("layer test", 0), 0);
    std::atomic<int> entered{0};
    window_lock();
    const auto other = reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, take_layer_lock, &entered, 0, nullptr));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(::WaitForSingleObject(other, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(entered.load(), 0);
    window_unlock();
    EXPECT_EQ(::WaitForSingleObject(other, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(entered.load(), 1);
    ::CloseHandle(other);
}

TEST_F(WindowLayer, PaletteEntriesOutsideTheTableChangeNothing) {
    struct Call {
        int index;
        bool stored;
    };
    for (const Call& call : {Call{-1, false}, Call{0, true}, Call{1, true}, Call{254, true},
                             Call{255, true}, Call{256, false}}) {
        window_state_clear();
        window_set_palette(call.index, 10, 20, 30);
        EXPECT_EQ(window_state().palette_changed, call.stored ? 1 : 0) << call.index;
        if (call.stored) {
            const PALETTEENTRY& e = window_state().palette_entries[call.index];
            EXPECT_EQ(std::vector({e.peRed, e.peGreen, e.peBlue, e.peFlags}),
                      std::vector<BYTE>({10, 20, 30, PC_NOCOLLAPSE}))
                << call.index;
        }
        EXPECT_EQ(window_state().converter, nullptr) << call.index;
    }
}

TEST_F(WindowLayer, MouseIsReportedOnlyWhileActiveAndInside) {
    WindowProcessState& ps = window_process_state();
    ps.pointer.mouse_x = 17;
    ps.pointer.mouse_y = 9;
    ps.wheel = -4;
    ps.buttons = BUTTON_RIGHT | BUTTON_EXTRA_2;
    window_state().clip_cursor = 1;
    struct Case {
        int active, inside, result;
    };
    for (const Case& c : {Case{0, 0, -1}, Case{1, 0, -1}, Case{0, 1, -1}, Case{1, 1, 0}}) {
        window_state().active = c.active;
        ps.cursor_inside = c.inside;
        int x = 0, y = 0, wheel = 0, buttons = 0, clipped = 0;
        EXPECT_EQ(window_get_mouse(&x, &y, &wheel, &buttons, &clipped), c.result)
            << c.active << c.inside;
        if (c.result == 0) {
            EXPECT_EQ(std::vector({x, y, wheel, buttons, clipped}),
                      std::vector({17, 9, -4, BUTTON_RIGHT | BUTTON_EXTRA_2, 1}));
        }
    }
    ps.cursor_inside = 0;
    ps.wheel = 0;
    ps.buttons = 0;
}

TEST_F(WindowLayer, FrameWaitFollowsTheScreensRefreshRate) {
    struct Case {
        int rate;
        ULONGLONG at_least, below;
    };
    for (const Case& c : {Case{10, 95, 600}, Case{0, 12, 600}}) {
        screen->refresh_rate = c.rate;
        // Timed with the performance counter: Wine's tick count moves in steps of about 16 ms.
        LARGE_INTEGER frequency, start, end;
        ::QueryPerformanceFrequency(&frequency);
        ::QueryPerformanceCounter(&start);
        window_wait_vsync();
        ::QueryPerformanceCounter(&end);
        const auto waited =
            static_cast<ULONGLONG>((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart);
        EXPECT_GE(waited, c.at_least) << c.rate;
        EXPECT_LT(waited, c.below) << c.rate;
    }
}

TEST(WindowPlacement, CentredOnTheMonitorOrThePrimaryScreen) {
    MONITORINFOEXA monitor{};
    monitor.rcMonitor = RECT{100, 50, 1124, 818}; // 1024 by 768, not at the origin
    struct Case {
        int width, height;
        LONG x, y;
    };
    // An odd leftover goes right and below; a window larger than the area stands out on both
    // sides, rounded towards the top left.
    for (const Case& c : {Case{400, 300, 412, 284}, Case{401, 301, 411, 283},
                          Case{1024, 768, 100, 50}, Case{1027, 771, 98, 48}}) {
        const POINT at = window_centred_position(&monitor, c.width, c.height);
        EXPECT_EQ(std::vector({at.x, at.y}), std::vector({c.x, c.y})) << c.width;
    }
    // Without a monitor, the primary screen (the test display's 1024 by 768).
    if (::GetSystemMetrics(SM_CXSCREEN) != 1024 || ::GetSystemMetrics(SM_CYSCREEN) != 768)
        GTEST_SKIP() << "needs a 1024 by 768 screen";
    for (const Case& c :
         {Case{400, 300, 312, 234}, Case{401, 301, 311, 233}, Case{1027, 771, -2, -2}}) {
        const POINT at = window_centred_position(nullptr, c.width, c.height);
        EXPECT_EQ(std::vector({at.x, at.y}), std::vector({c.x, c.y})) << c.width;
    }
}

// A window made on the test's own thread, as the OpenGL driver makes its window: the procedure
// handles each message as it is sent, with this thread's key state.
class OwnThreadWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        window_state_clear();
        ASSERT_EQ(window_init("own thread", 200, 100, 32, 0, MODE_OPENGL), 0);
    }
    void TearDown() override {
        if (window_state().window) ::DestroyWindow(window_state().window);
        window_exit();
        window_state_clear();
        BYTE none[256] = {};
        ::SetKeyboardState(none);
        gditest::take_keys();
    }
    HWND open(ModeFlags flags = 0, DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE) {
        window_state().flags = MODE_OPENGL | flags;
        EXPECT_EQ(open_window(style, 0, 37, 29, 300, 200), 0);
        gditest::take_events();
        return window_state().window;
    }
    std::vector<LONG> outer() {
        RECT rect{};
        ::GetWindowRect(window_state().window, &rect);
        return {rect.left, rect.top, rect.right, rect.bottom};
    }

    test::TestScreen screen{{.width = 32, .height = 8}};
};

TEST_F(OwnThreadWindow, OpenedWindowKeepsItsPlaceComesForwardAndMayStayOnTop) {
    // Made hidden, so that only the layer can bring it forward.
    for (const ModeFlags flags : {ModeFlags{0}, ModeFlags{MODE_ALWAYS_ON_TOP}}) {
        const HWND window = open(flags, WS_OVERLAPPEDWINDOW);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(outer(), (std::vector<LONG>{37, 29, 337, 229})) << flags;
        EXPECT_EQ(std::vector({window_state().created_width, window_state().created_height}),
                  std::vector({300, 200}));
        EXPECT_EQ((::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0,
                  flags == MODE_ALWAYS_ON_TOP);
        EXPECT_EQ(::GetForegroundWindow(), window) << flags;
        ::DestroyWindow(window);
        window_state().window = nullptr;
    }
    // Without its class no window can be made.
    std::strcpy(window_state().class_name, "zeredclass_not registered");
    EXPECT_EQ(open_window(WS_OVERLAPPEDWINDOW, 0, 37, 29, 300, 200), -1);
    EXPECT_EQ(window_state().window, nullptr);
}

TEST_F(OwnThreadWindow, ClientAreaInScreenCoordinates) {
    const HWND window = open();
    RECT client{};
    ASSERT_TRUE(::GetClientRect(window, &client));
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    ASSERT_NE(origin.x, 0);
    ASSERT_NE(origin.y, 0);
    RECT on_screen{};
    ASSERT_TRUE(client_rect_on_screen(window, on_screen));
    EXPECT_EQ(std::vector({on_screen.left, on_screen.top, on_screen.right, on_screen.bottom}),
              std::vector({origin.x, origin.y, origin.x + client.right, origin.y + client.bottom}));
    ::DestroyWindow(window);
    window_state().window = nullptr;
    EXPECT_FALSE(client_rect_on_screen(window, on_screen));
}

TEST_F(OwnThreadWindow, TitleAndPositionFromTheProgram) {
    // A bare window: nothing but the move itself keeps its size.
    const HWND window = open(0, WS_POPUP | WS_VISIBLE);
    char text[32] = {};
    window_set_title("renamed");
    ::GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "renamed");
    EXPECT_STREQ(window_state().title, "renamed");
    window_set_title(nullptr);
    ::GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(window_state().title, nullptr);

    // A move keeps the size.
    EXPECT_EQ(window_set_position(51, 43), 0);
    EXPECT_TRUE(gditest::eventually([&] {
        drain_messages();
        return outer() == std::vector<LONG>{51, 43, 351, 243};
    })) << outer()[0]
        << ", " << outer()[1] << ", " << outer()[2] << ", " << outer()[3];
}

TEST_F(OwnThreadWindow, MonitorInformationNeedsTheEntryPointAndAMonitor) {
    MONITORINFOEXA info;
    ASSERT_NE(window_state().monitor, nullptr);
    ASSERT_TRUE(window_monitor_info(info));
    EXPECT_EQ(info.cbSize, sizeof info);
    EXPECT_EQ(std::vector({info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right,
                           info.rcMonitor.bottom}),
              std::vector<LONG>(
                  {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}));
    EXPECT_NE(info.szDevice[0], '\0');

    const HMONITOR monitor = window_state().monitor;
    window_state().monitor = nullptr;
    EXPECT_FALSE(window_monitor_info(info));
    window_state().monitor = monitor;
    window_state().entry.GetMonitorInfoA = nullptr;
    EXPECT_FALSE(window_monitor_info(info));
}

// A key pressed with Alt is a press like any other, so that Alt combinations reach the program;
// an inactive window leaves them to the system.
TEST_F(OwnThreadWindow, AltCombinationsReachTheProgramOnlyFromTheActiveWindow) {
    const HWND window = open();
    BYTE state[256] = {};
    state[VK_MENU] = state[VK_LMENU] = 0x80;
    ASSERT_TRUE(::SetKeyboardState(state));
    const LPARAM alt_x = 1 | 0x2D << 16 | 1 << 29;
    for (const int active : {1, 0}) {
        window_state().active = active;
        ::SendMessageA(window, WM_SYSKEYDOWN, 'X', alt_x);
        ::SendMessageA(window, WM_SYSKEYUP, 'X', alt_x | 1 << 30 | static_cast<LPARAM>(1u << 31));
        EXPECT_EQ(gditest::take_keys(),
                  active ? std::vector<std::int32_t>{0x2DFF} : std::vector<std::int32_t>{});
        std::vector<std::vector<std::int32_t>> events;
        for (const Event& e : gditest::take_events())
            events.push_back({e.type, e.field1, e.field2});
        using Rows = std::vector<std::vector<std::int32_t>>;
        const Rows pressed_and_released{{EVENT_KEY_PRESSED, 45, 0}, {EVENT_KEY_RELEASED, 45, 0}};
        EXPECT_EQ(events, active ? pressed_and_released : Rows{});
    }
}

// The modifiers of a key come from the key state of the thread the window's messages are handled
// on; a key only toggled (Caps Lock style, the low bit) is not held.
TEST_F(OwnThreadWindow, KeyModifiersComeFromTheThreadsKeyState) {
    const HWND window = open();
    const int modifier_keys[] = {VK_SHIFT,    VK_LSHIFT, VK_RSHIFT, VK_CONTROL, VK_LCONTROL,
                                 VK_RCONTROL, VK_MENU,   VK_LMENU,  VK_RMENU};
    struct Held {
        int key;
        KeyModifiers modifiers;
    };
    // Per key: F1, and the arrow Up of the enhanced block and of the keypad.
    struct Key {
        UINT virtual_key;
        int scan_code;
        bool extended;
    };
    const Key keys[] = {{VK_F1, 0x3B, false}, {VK_UP, 0x48, true}, {VK_UP, 0x48, false}};
    std::vector<std::int32_t> plain_f1_codes;
    for (const Held& held :
         {Held{0, 0}, Held{VK_SHIFT, KEYMOD_SHIFT}, Held{VK_LSHIFT, KEYMOD_SHIFT},
          Held{VK_RSHIFT, KEYMOD_SHIFT}, Held{VK_CONTROL, KEYMOD_LEFT_CTRL},
          Held{VK_LCONTROL, KEYMOD_LEFT_CTRL}, Held{VK_RCONTROL, KEYMOD_RIGHT_CTRL},
          Held{VK_MENU, KEYMOD_LEFT_ALT}, Held{VK_LMENU, KEYMOD_LEFT_ALT},
          Held{VK_RMENU, KEYMOD_RIGHT_ALT}}) {
        BYTE state[256] = {};
        for (const int key : modifier_keys)
            state[key] = 0x01;
        if (held.key) state[held.key] = 0x80;
        ASSERT_TRUE(::SetKeyboardState(state));
        for (const Key& k : keys) {
            ::SendMessageA(window, WM_KEYDOWN, k.virtual_key,
                           1 | k.scan_code << 16 | (k.extended ? 1 << 24 : 0));
            const std::int32_t code =
                translate_key(0, k.scan_code, k.virtual_key,
                              held.modifiers | (k.extended ? KEYMOD_ENHANCED : 0), 0);
            EXPECT_EQ(gditest::take_keys(),
                      code > 255 ? std::vector{code} : std::vector<std::int32_t>{})
                << held.key << " " << k.virtual_key << " " << k.extended;
            if (k.virtual_key == VK_F1) plain_f1_codes.push_back(code);
        }
        gditest::take_events();
    }
    // Plain, Shift, Ctrl and Alt give F1 four different codes.
    std::sort(plain_f1_codes.begin(), plain_f1_codes.end());
    EXPECT_EQ(std::unique(plain_f1_codes.begin(), plain_f1_codes.end()) - plain_f1_codes.begin(),
              4);
}

} // namespace
