#include "gfx/win32/window.h"

#include <process.h>

#include <algorithm>
#include <atomic>

#include "gfx/console/key_tables.h"
#include "gfx/core/ddraw_modes.h"
#include "gfx/core/display_driver.h"
#include "gfx/window/present_pass.h"

namespace zered {

namespace {

WindowState state;
WindowProcessState process_state;

// GetProcAddress answers with a generic function type; going through void (*)() is the cast
// that -Wcast-function-type accepts.
template <typename Fn> void look_up(HMODULE module, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

void look_up_entry_points(OptionalEntryPoints& entry) {
    const HMODULE user32 = ::GetModuleHandleA("USER32");
    if (!user32) return;
    look_up(user32, "SetLayeredWindowAttributes", entry.SetLayeredWindowAttributes);
    look_up(user32, "MonitorFromWindow", entry.MonitorFromWindow);
    look_up(user32, "MonitorFromPoint", entry.MonitorFromPoint);
    look_up(user32, "FlashWindowEx", entry.FlashWindowEx);
    look_up(user32, "TrackMouseEvent", entry.TrackMouseEvent);
    look_up(user32, "GetMonitorInfoA", entry.GetMonitorInfoA);
    look_up(user32, "ChangeDisplaySettingsExA", entry.ChangeDisplaySettingsExA);
}

// "zeredclass_" and as much of the title as fits with the terminator.
void make_class_name(const char* title, char (&name)[window_class_name_size]) {
    std::size_t length = 0;
    for (const char* p = window_class_prefix; *p && length + 1 < sizeof name; ++p)
        name[length++] = *p;
    for (const char* p = title; p && *p && length + 1 < sizeof name; ++p)
        name[length++] = *p;
    name[length] = '\0';
}

void register_window_class(ModeFlags flags) {
    WNDCLASSA& wc = state.window_class;
    wc = WNDCLASSA{};
    // An OpenGL window keeps its pixels through a resize; the others redraw the whole image.
    wc.style = (flags & MODE_OPENGL) ? CS_DBLCLKS : CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = handle_window_message;
    wc.hInstance = state.instance;
    wc.hIcon = ::LoadIconA(state.instance, "ZERED_PROGRAM_ICON");
    if (!wc.hIcon) wc.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = state.class_name;
    // A failure shows as a failed window creation.
    ::RegisterClassA(&wc);
}

unsigned __stdcall driver_thread_entry(void* start_event) {
    state.driver_thread_proc(static_cast<HANDLE>(start_event));
    return 0;
}

// Starts the driver thread and waits until it has signalled its start (true) or ended (false).
bool start_driver_thread() {
    const HANDLE start_event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!start_event) return false;
    const auto thread = reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, driver_thread_entry, start_event, 0, nullptr));
    if (!thread) {
        ::CloseHandle(start_event);
        return false;
    }
    const HANDLE waits[2] = {start_event, thread};
    const DWORD first = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    ::CloseHandle(start_event);
    process_state.driver_thread = thread;
    return first == WAIT_OBJECT_0;
}

// Holds driver_lock where one exists (not on an OpenGL screen).
class DriverLockGuard {
  public:
    DriverLockGuard() { window_lock(); }
    ~DriverLockGuard() { window_unlock(); }
    DriverLockGuard(const DriverLockGuard&) = delete;
    DriverLockGuard& operator=(const DriverLockGuard&) = delete;
};

} // namespace

WindowState& window_state() {
    return state;
}
WindowProcessState& window_process_state() {
    return process_state;
}

void window_state_clear() {
    state = WindowState{};
}

bool window_running() {
    return std::atomic_ref<int>(state.running).load(std::memory_order_acquire) == 1;
}

bool client_rect_on_screen(HWND window, RECT& rect) {
    if (!::GetClientRect(window, &rect)) return false;
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ::ClientToScreen(window, &corners[0]);
    ::ClientToScreen(window, &corners[1]);
    rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    return true;
}

int window_init(const char* title, int width, int height, int depth, int refresh_rate,
                ModeFlags flags) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (::GetVersionExA(&version))
        state.os_version = static_cast<int>(version.dwMajorVersion << 8 | version.dwMinorVersion);

    look_up_entry_points(state.entry);
    if (state.entry.MonitorFromPoint) {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        state.monitor = state.entry.MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
    }
    process_state.cursor_visible = 1;
    process_state.pointer.last_screen_x = no_last_position;
    // Leave notification armed for an earlier window never arrives for this one.
    process_state.tracking = 0;
    state.clip_cursor = 0;
    if (!state.entry.TrackMouseEvent) state.entry.TrackMouseEvent = leave_tracking_fallback;

    // The screen saver would cover the picture; window_exit puts the setting back.
    ::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &process_state.saved_screensaver, 0);
    ::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);

    state.instance = ::GetModuleHandleA(nullptr);
    make_class_name(title, state.class_name);
    state.title = title;
    state.width = width;
    state.height = height;
    state.depth = depth;
    state.requested_refresh = refresh_rate;
    state.flags = flags;
    register_window_class(flags);

    // Both wheels count from 0 on each screen.
    process_state.wheel = 0;
    process_state.hwheel = 0;
    process_state.buttons = 0;
    state.running = 1;
    process_state.wide_chars.release();
    process_state.narrow_chars.release();

    if (flags & MODE_OPENGL) {
        // The OpenGL driver makes its window on this thread.
        process_state.driver_thread = nullptr;
        return 0;
    }
    if (!process_state.driver_lock_ready) {
        ::InitializeCriticalSection(&process_state.driver_lock);
        process_state.driver_lock_ready = true;
    }
    if (!start_driver_thread()) return -1;
    if (flags & MODE_HIGH_PRIORITY)
        ::SetThreadPriority(process_state.driver_thread, THREAD_PRIORITY_ABOVE_NORMAL);
    return 0;
}

int open_window(DWORD style, DWORD ex_style, int x, int y, int outer_width, int outer_height) {
    state.created_width = outer_width;
    state.created_height = outer_height;
    state.window =
        ::CreateWindowExA(ex_style, state.class_name, state.title ? state.title : "", style, x, y,
                          outer_width, outer_height, nullptr, nullptr, state.instance, nullptr);
    if (!state.window) return -1;
    if (state.flags & MODE_ALWAYS_ON_TOP)
        ::SetWindowPos(state.window, HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOSENDCHANGING);
    ::SetForegroundWindow(state.window);
    return 0;
}

bool window_monitor_info(MONITORINFOEXA& info) {
    info = MONITORINFOEXA{};
    info.cbSize = sizeof info;
    return state.entry.GetMonitorInfoA && state.monitor &&
           state.entry.GetMonitorInfoA(state.monitor, &info);
}

bool window_change_display_mode(const char* device) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode.dmPelsWidth = static_cast<DWORD>(state.width);
    mode.dmPelsHeight = static_cast<DWORD>(state.height);
    mode.dmBitsPerPel = static_cast<DWORD>(state.depth);
    mode.dmDisplayFrequency = static_cast<DWORD>(state.requested_refresh);
    const LONG result =
        state.entry.ChangeDisplaySettingsExA
            ? state.entry.ChangeDisplaySettingsExA(device, &mode, nullptr, CDS_FULLSCREEN, nullptr)
            : ::ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
    return result == DISP_CHANGE_SUCCESSFUL;
}

POINT window_centred_position(const MONITORINFOEXA* monitor, int outer_width, int outer_height) {
    if (monitor) {
        const RECT& area = monitor->rcMonitor;
        return {area.left + ((area.right - area.left - outer_width) >> 1),
                area.top + ((area.bottom - area.top - outer_height) >> 1)};
    }
    return {(::GetSystemMetrics(SM_CXSCREEN) - outer_width) >> 1,
            (::GetSystemMetrics(SM_CYSCREEN) - outer_height) >> 1};
}

void drain_messages() {
    MSG message;
    // The window is looked up again for every message: a switch to full screen replaces it.
    while (::PeekMessageA(&message, state.window, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

void refresh_key_states() {
    ScreenState* screen = current_screen();
    BYTE keys[256];
    if (!screen || !::GetKeyboardState(keys)) return;
    fold_key_states(screen->key_state.data(),
                    [&keys](std::uint8_t virtual_key) { return (keys[virtual_key] & 0x80) != 0; });
}

void clip_cursor_to_client() {
    RECT client;
    if (client_rect_on_screen(state.window, client)) ::ClipCursor(&client);
}

void window_exit() {
    if (!window_running()) return;
    std::atomic_ref<int>(state.running).store(0, std::memory_order_release);
    // The program may be inside screen_lock; the driver thread needs the lock to finish its pass.
    ScreenState* screen = current_screen();
    if (screen && screen->lock_count != 0) {
        screen->lock_count = 0;
        if (screen->driver && screen->driver->unlock) screen->driver->unlock();
    }
    if (process_state.driver_thread) {
        ::WaitForSingleObject(process_state.driver_thread, INFINITE);
        ::CloseHandle(process_state.driver_thread);
        process_state.driver_thread = nullptr;
    }
    if (process_state.driver_lock_ready) {
        ::DeleteCriticalSection(&process_state.driver_lock);
        process_state.driver_lock_ready = false;
    }
    process_state.wide_chars.release();
    process_state.narrow_chars.release();
    if (state.window_teardown_hook) state.window_teardown_hook();
    ::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE,
                            static_cast<UINT>(process_state.saved_screensaver), nullptr, 0);
    ::UnregisterClassA(state.class_name, state.instance);
    if (state.clip_cursor) {
        ::ClipCursor(nullptr);
        state.clip_cursor = 0;
    }
}

void window_lock() {
    if (process_state.driver_lock_ready) ::EnterCriticalSection(&process_state.driver_lock);
}

void window_unlock() {
    if (process_state.driver_lock_ready) ::LeaveCriticalSection(&process_state.driver_lock);
}

void window_set_palette(int index, int red, int green, int blue) {
    if (index < 0 || index > 255) return;
    state.palette_entries[index] = PALETTEENTRY{static_cast<BYTE>(red), static_cast<BYTE>(green),
                                                static_cast<BYTE>(blue), PC_NOCOLLAPSE};
    state.palette_changed = 1;
}

void window_wait_vsync() {
    const ScreenState* screen = current_screen();
    ::Sleep(static_cast<DWORD>(frame_wait_ms(screen ? screen->refresh_rate : 0)));
}

int window_get_mouse(int* x, int* y, int* wheel, int* buttons, int* clipped) {
    // The driver thread writes these while it handles messages; the lock gives a consistent set.
    DriverLockGuard lock;
    if (!state.active || !process_state.cursor_inside) return -1;
    if (x) *x = process_state.pointer.mouse_x;
    if (y) *y = process_state.pointer.mouse_y;
    if (wheel) *wheel = process_state.wheel;
    if (buttons) *buttons = process_state.buttons;
    if (clipped) *clipped = state.clip_cursor;
    return 0;
}

void window_set_mouse(int x, int y, int cursor, int clip) {
    DriverLockGuard lock;
    if (x >= 0) {
        POINT target{std::min(x, state.width - 1), std::max(0, std::min(y, state.height - 1))};
        if (!(state.flags & MODE_FULLSCREEN)) ::ClientToScreen(state.window, &target);
        ::SetCursorPos(target.x, target.y);
        process_state.pointer.mouse_x = x;
        process_state.pointer.mouse_y = y;
    }
    if (cursor >= 0) {
        const int visible = cursor > 0 ? 1 : 0;
        if (visible != process_state.cursor_visible) {
            process_state.cursor_visible = visible;
            // The cursor belongs to the window's thread; let it apply the change.
            ::PostMessageA(state.window, WM_SETCURSOR, reinterpret_cast<WPARAM>(state.window),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        }
    }
    if (clip == 0) {
        state.clip_cursor = 0;
        ::ClipCursor(nullptr);
    } else if (clip > 0) {
        state.clip_cursor = 1;
        clip_cursor_to_client();
    }
}

void window_set_title(const char* title) {
    // SetWindowTextA waits for the window's thread, which may itself be waiting for the lock the
    // program holds through screen_lock.
    const ScreenState* screen = current_screen();
    const bool release = screen && screen->lock_count != 0 && process_state.driver_thread;
    if (release) window_unlock();
    state.title = title;
    ::SetWindowTextA(state.window, title ? title : "");
    if (release) window_lock();
}

std::int32_t window_set_position(std::int32_t x, std::int32_t y) {
    if (state.flags & MODE_FULLSCREEN) return 0;
    if (x == window_position_query && y == window_position_query) {
        RECT rect;
        if (!::GetWindowRect(state.window, &rect)) return 0;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(rect.top) << 16 |
                                         (static_cast<std::uint32_t>(rect.left) & 0xFFFF));
    }
    ::SetWindowPos(state.window, nullptr, x, y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_ASYNCWINDOWPOS);
    return 0;
}

} // namespace zered
