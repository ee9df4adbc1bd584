// A test screen on one of the real display drivers: a TestScreen whose driver slot holds the
// driver, started with its init and closed with its exit slot, and ways to read what reached the
// display.
#pragma once

#include <windows.h>

#include <cstdint>
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

inline bool class_registered(const char* name) {
    WNDCLASSA wc;
    return ::GetClassInfoA(::GetModuleHandleA(nullptr), name, &wc) != FALSE;
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
