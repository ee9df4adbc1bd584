// A test screen presented by the GDI driver: a TestScreen whose driver is the real one, started
// with gdi_init and stopped with window_exit, plus ways to wait for the driver thread, read what
// reached the window, and collect keys and events.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gfx/console/event_queue.h"
#include "gfx/console/key_buffer.h"
#include "gfx/console/key_test_support.h"
#include "gfx/core/framebuffer.h"
#include "gfx/core/palette.h"
#include "gfx/core/test_screen.h"
#include "gfx/win32/drivers.h"
#include "gfx/win32/window.h"

namespace gditest {

// Generous: Wine under a loaded machine can stall for seconds.
inline constexpr DWORD patience_ms = 10000;

// Puts the pointer in the screen's top left corner; whether it is still there a little later.
inline bool pointer_parked() {
    ::SetCursorPos(0, 0);
    ::Sleep(100);
    POINT cursor;
    return ::GetCursorPos(&cursor) && cursor.x == 0 && cursor.y == 0;
}

// Polls until done() or the patience runs out; the result is done()'s last answer.
template <typename Done> bool eventually(Done done) {
    const ULONGLONG until = ::GetTickCount64() + patience_ms;
    while (!done()) {
        if (::GetTickCount64() > until) return done();
        ::Sleep(2);
    }
    return true;
}

using keytest::take_events;

// Holds or lets go of the A key (scan code 0x1E), as the keyboard would: with its virtual key,
// which the system's key state is kept by, and its scan code, which DirectInput reads.
inline void hold_a(bool down) {
    INPUT key{};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = 'A';
    key.ki.wScan = 0x1E;
    key.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    ::SendInput(1, &key, sizeof key);
}

inline std::vector<std::int32_t> take_keys() {
    std::vector<std::int32_t> keys;
    while (zered::key_waiting())
        keys.push_back(zered::take_key());
    zered::key_posted_take();
    return keys;
}

class GdiScreen {
  public:
    explicit GdiScreen(const zered::test::TestScreenOptions& options, zered::ModeFlags flags = 0,
                       const char* title = "zered test")
        : test_screen_(options) {
        test_screen_->driver = &zered::gdi_driver;
        const zered::ScreenState& s = screen();
        park_cursor();
        result_ =
            zered::gdi_driver.init(title, s.width, s.height * s.scanline_size, s.depth, 0, flags);
        if (result_ != 0) return;
        zered::screen_lock();
        zered::palette_resend();
        zered::screen_unlock(1, 0);
        // The window may have appeared under the pointer before it could be moved away (a
        // full-screen one stays under it).
        park_cursor();
        if (!(flags & zered::MODE_FULLSCREEN)) {
            EXPECT_TRUE(eventually([] { return zered::window_process_state().tracking == 0; }));
        }
        // Until the window has had nothing to say for a while.
        EXPECT_TRUE(eventually([this] {
            settle();
            ::Sleep(50);
            settle();
            return take_events().empty();
        }));
        take_keys();
    }
    ~GdiScreen() { zered::window_exit(); }
    GdiScreen(const GdiScreen&) = delete;
    GdiScreen& operator=(const GdiScreen&) = delete;

    int init_result() const { return result_; }
    zered::ScreenState& screen() { return test_screen_.screen(); }
    HWND window() const { return zered::window_state().window; }

    // Returns once the driver thread has handled everything sent or posted to the window before
    // the call and presented every line marked before it: the message is handled inside a pass,
    // after that pass's presentation, and the lock is free again only once the pass is over.
    void settle() {
        ::SendMessageA(window(), WM_NULL, 0, 0);
        zered::screen_lock();
        zered::screen_unlock(1, 0);
    }

    // Keeps the real cursor off the window, so that only the test's messages reach it. Under
    // Wine the first warps of a thread can be undone by the X server's own idea of the pointer,
    // so the position is checked again a little later.
    static void park_cursor() { EXPECT_TRUE(eventually(pointer_parked)); }

    // Stores value into every pixel of framebuffer line y and marks the line.
    template <typename Pixel> void fill_line(int y, Pixel (*value)(int x)) {
        zered::screen_lock();
        auto* line = reinterpret_cast<Pixel*>(test_screen_.pixel_address(0, 0, y));
        for (int x = 0; x < screen().width; ++x)
            line[x] = value(x);
        zered::screen_unlock(y, y);
    }

    // The window's client pixels of row y, as 0x00RRGGBB.
    std::vector<std::uint32_t> read_row(int y) {
        const int width = screen().width;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        const HDC window_dc = ::GetDC(window());
        const HDC memory_dc = ::CreateCompatibleDC(window_dc);
        const HBITMAP bitmap =
            ::CreateDIBSection(memory_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HGDIOBJ previous = ::SelectObject(memory_dc, bitmap);
        ::BitBlt(memory_dc, 0, 0, width, 1, window_dc, 0, y, SRCCOPY);
        ::GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        std::vector<std::uint32_t> row(pixels, pixels + width);
        for (std::uint32_t& pixel : row)
            pixel &= 0xFFFFFF;
        ::SelectObject(memory_dc, previous);
        ::DeleteObject(bitmap);
        ::DeleteDC(memory_dc);
        ::ReleaseDC(window(), window_dc);
        return row;
    }

  private:
    zered::test::TestScreen test_screen_;
    int result_ = -1;
};

// A palette entry (0x00BBGGRR) as read_row gives it.
inline std::uint32_t as_rgb(std::uint32_t entry) {
    return static_cast<std::uint32_t>(zered::palette_red(entry) << 16 |
                                      zered::palette_green(entry) << 8 |
                                      zered::palette_blue(entry));
}

} // namespace gditest
