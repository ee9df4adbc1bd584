// Screen set-up with the real Windows driver list.
#include <windows.h>

#include <gtest/gtest.h>

#include "gfx/screen/screen_setup.h"
#include "gfx/core/screen_state.h"
#include "gfx/win32/drivers.h"
#include "gfx/win32/window.h"

namespace {

struct DisplayMode {
    DWORD width, height, bits;
};

DisplayMode current_mode() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    ::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return {mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel};
}

TEST(ScreenChoice, FullScreenThatTheDisplayLacksEndsWindowed) {
    const DisplayMode before = current_mode();
    // No display has a 400 by 80 mode: the full-screen passes fail and the flipped pass opens a
    // window.
    ASSERT_EQ(zered::screen_open_sized(400, 80, 8, 1, zered::MODE_FULLSCREEN, 0), 0);
    const zered::ScreenState* screen = zered::current_screen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->driver, zered::driver_selection_list().front());
    const zered::WindowState& ws = zered::window_state();
    EXPECT_EQ(ws.flags & zered::MODE_FULLSCREEN, 0u);
    RECT client{};
    ASSERT_TRUE(::GetClientRect(ws.window, &client));
    EXPECT_EQ(client.right - client.left, 400);
    EXPECT_EQ(client.bottom - client.top, 80);
    EXPECT_NE(::GetWindowLongA(ws.window, GWL_STYLE) & WS_CAPTION, 0);
    const DisplayMode during = current_mode();
    EXPECT_EQ(during.width, before.width);
    EXPECT_EQ(during.height, before.height);

    const HWND window = ws.window;
    zered::screen_exit_handler();
    EXPECT_EQ(zered::current_screen(), nullptr);
    EXPECT_FALSE(::IsWindow(window));
}

} // namespace
