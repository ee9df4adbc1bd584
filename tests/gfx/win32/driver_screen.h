// A test screen on one of the real display drivers: a TestScreen whose driver slot holds the
// driver, started with its init and closed with its exit slot, and ways to read what reached the
// display.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "gfx/core/builtin_data.h"
#include "gfx/core/display_driver.h"
#include "gfx/core/test_screen.h"
#include "gfx/win32/window.h"

namespace drivertest {

// The pixels of row y of a window's client area (nullptr: the whole screen), as 0x00RRGGBB.
inline std::vector<std::uint32_t> read_client_row(HWND window, int width, int y) {
    std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
    const HDC dc = ::GetDC(window);
    for (int x = 0; x < width; ++x) {
        const COLORREF c = ::GetPixel(dc, x, y);
        row[static_cast<std::size_t>(x)] =
            static_cast<std::uint32_t>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
    }
    ::ReleaseDC(window, dc);
    return row;
}

// Expects a window to stand in the middle of the display; an odd pixel left over goes to the
// right and below.
inline void expect_centred(HWND window) {
    RECT outer{};
    ASSERT_TRUE(::GetWindowRect(window, &outer));
    EXPECT_EQ(outer.left, (::GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (::GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
}

// The refresh rate a window's device context reports, as a screen keeps it: 0 and 1 say nothing
// of the rate and count as unknown (0).
inline int reported_refresh_rate(HWND window) {
    const HDC dc = ::GetDC(window);
    const int reported = ::GetDeviceCaps(dc, VREFRESH);
    ::ReleaseDC(window, dc);
    return reported > 1 ? reported : 0;
}

inline bool class_registered(const char* name) {
    WNDCLASSA wc;
    return ::GetClassInfoA(::GetModuleHandleA(nullptr), name, &wc) != FALSE;
}

// The desktop's display mode: width << 16 | height, and bits per pixel.
using DisplayMode = std::pair<std::uint32_t, int>;
inline DisplayMode desktop() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    ::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return {mode.dmPelsWidth << 16 | mode.dmPelsHeight, static_cast<int>(mode.dmBitsPerPel)};
}
// The test display's size, and the only one it offers (at 8, 16 and 32 bits).
inline constexpr std::uint32_t xga = 1024 << 16 | 768;

// Alt+Enter, as the window procedure sees it, and the maximise box, as the caption sends it.
inline void press_alt_enter(HWND window) {
    ::SendMessageA(window, WM_SYSKEYDOWN, VK_RETURN, 1 << 29);
}
inline void press_maximise(HWND window) {
    ::SendMessageA(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
}

// Expects the window and the display to be what window_state()'s flags say. Full screen: a bare,
// unzoomed window over the whole display, which is in a mode of the window's size and full_bits.
// Windowed: a captioned, unzoomed window whose client area is width by height, and the desktop's
// own mode.
inline void expect_window_matches_flags(int width, int height, const DisplayMode& own_desktop,
                                        int full_bits) {
    const HWND window = zered::window_state().window;
    const auto style = static_cast<DWORD>(::GetWindowLongA(window, GWL_STYLE));
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(style & WS_MAXIMIZE, 0u) << "zoomed";
    RECT outer{}, client{};
    ::GetWindowRect(window, &outer);
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, width);
    EXPECT_EQ(client.bottom, height);
    if (zered::window_state().flags & zered::MODE_FULLSCREEN) {
        EXPECT_EQ(style & (WS_CAPTION | WS_POPUP), DWORD{WS_POPUP});
        EXPECT_EQ(std::vector({outer.left, outer.top, outer.right, outer.bottom}),
                  std::vector<LONG>({0, 0, width, height}));
        EXPECT_EQ(desktop(),
                  (DisplayMode{static_cast<std::uint32_t>(width << 16 | height), full_bits}));
    } else {
        EXPECT_EQ(style & (WS_CAPTION | WS_POPUP), DWORD{WS_CAPTION});
        EXPECT_EQ(desktop(), own_desktop);
    }
}

class DriverScreen {
  public:
    DriverScreen(const zered::DisplayDriver& driver, const zered::test::TestScreenOptions& options,
                 zered::ModeFlags flags, const char* title)
        : driver_(driver), test_screen_(with_palette(options)) {
        test_screen_->driver = &driver;
        const zered::ScreenState& s = screen();
        result_ = driver.init(title, s.width, s.height * s.scanline_size, s.depth, 0, flags);
    }
    ~DriverScreen() { driver_.exit(); }
    DriverScreen(const DriverScreen&) = delete;
    DriverScreen& operator=(const DriverScreen&) = delete;

    int init_result() const { return result_; }
    zered::ScreenState& screen() { return test_screen_.screen(); }
    zered::test::TestScreen& test_screen() { return test_screen_; }
    HWND window() const { return zered::window_state().window; }
    std::vector<std::uint32_t> read_row(int y) {
        return read_client_row(window(), screen().width, y);
    }

  private:
    // The default palette's colours exist once the built-in data is unpacked; without them every
    // entry would be black and a wrong pixel could not be told from a right one.
    static const zered::test::TestScreenOptions& with_palette(
        const zered::test::TestScreenOptions& options) {
        zered::unpack_builtin_data();
        return options;
    }

    const zered::DisplayDriver& driver_;
    zered::test::TestScreen test_screen_;
    int result_ = -1;
};

} // namespace drivertest
