// The GDI driver on a test screen: what is drawn reaches the window through the right rows and
// colours, and the driver starts, fails and stops cleanly.
#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "gfx/console/key_input.h"
#include "gfx/win32/driver_screen.h"
#include "gfx/win32/gdi_screen.h"

namespace {

using namespace zered;
using namespace gditest;
using namespace drivertest;

std::uint8_t stripes(int x) {
    return static_cast<std::uint8_t>(1 + x % 7);
}
std::uint8_t background(int) {
    return 0;
}

bool display_has_mode(int width, int height) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    for (DWORD n = 0; ::EnumDisplaySettingsA(nullptr, n, &mode); ++n)
        if (static_cast<int>(mode.dmPelsWidth) == width &&
            static_cast<int>(mode.dmPelsHeight) == height)
            return true;
    return false;
}

// Expects every pixel of the window's row y to show the palette colour of value(x).
void expect_row(GdiScreen& gdi, int y, std::uint8_t (*value)(int x)) {
    const std::vector<std::uint32_t> row = gdi.read_row(y);
    int wrong = 0;
    for (int x = 0; x < static_cast<int>(row.size()); ++x)
        if (row[x] != as_rgb(gdi.screen().device_palette[value(x)]) && ++wrong <= 3)
            ADD_FAILURE() << "row " << y << " x " << x << ": " << std::hex << row[x];
}

// Expects the window's rows from first on to show the given lines.
void expect_rows(GdiScreen& gdi, int first, std::initializer_list<std::uint8_t (*)(int)> lines) {
    for (auto line : lines)
        expect_row(gdi, first++, line);
}

TEST(GdiDriver, UsageScreenShowsItsFramebufferDirectlyBandByBand) {
    GdiScreen gdi({.width = 400, .height = 80});
    ASSERT_EQ(gdi.init_result(), 0);
    EXPECT_EQ(window_state().converter, nullptr);
    RECT client;
    ASSERT_TRUE(::GetClientRect(gdi.window(), &client));
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 80);
    expect_centred(gdi.window());
    EXPECT_EQ(gdi.screen().refresh_rate, reported_refresh_rate(gdi.window()));

    gdi.fill_line(10, stripes);
    gdi.settle();
    expect_rows(gdi, 10, {stripes, background});
    EXPECT_EQ(gdi.screen().dirty[10], 0);

    // A colour changed without marking anything shows only where lines are presented again: the
    // band from the first to the last dirty line, clean lines inside it included.
    screen_lock();
    window_set_palette(0, 255, 255, 255);
    gdi.screen().device_palette[0] = palette_pack(255, 255, 255);
    mark_dirty(gdi.screen(), 20, 20);
    mark_dirty(gdi.screen(), 22, 22);
    screen_unlock(1, 0);
    gdi.settle();
    expect_rows(gdi, 20, {background, background, background});
    EXPECT_EQ(gdi.read_row(19)[0], 0u);
    EXPECT_EQ(gdi.read_row(23)[0], 0u);
}

TEST(GdiDriver, RowsNotAWholeNumberOfWordsArePaddedForTheBitmap) {
    // 401 bytes per line, where the bitmap wants 404; and a 4-bit screen, shown as 8 bits.
    for (auto [width, depth] : {std::pair{401, 8}, std::pair{5, 4}}) {
        GdiScreen gdi({.width = width, .height = 30, .depth = depth});
        ASSERT_EQ(gdi.init_result(), 0);
        gdi.fill_line(7, stripes);
        gdi.fill_line(8, stripes);
        gdi.settle();
        expect_rows(gdi, 7, {stripes, stripes, background});
    }
}

TEST(GdiDriver, DoubledLinesFillBothDisplayRows) {
    GdiScreen gdi({.width = 64, .height = 8, .scanline_size = 2});
    ASSERT_EQ(gdi.init_result(), 0);
    gdi.fill_line(3, stripes);
    gdi.settle();
    expect_rows(gdi, 5, {background, stripes, stripes, background});
}

TEST(GdiDriver, TrueColourPixelsKeepTheirColour) {
    GdiScreen gdi({.width = 33, .height = 4, .depth = 32});
    ASSERT_EQ(gdi.init_result(), 0);
    gdi.fill_line<std::uint32_t>(1,
                                 [](int x) { return 0xFF000000u | (0x102030u + x * 0x030201u); });
    gdi.settle();
    const std::vector<std::uint32_t> row = gdi.read_row(1);
    for (int x = 0; x < 33; ++x)
        ASSERT_EQ(row[x], 0x102030u + x * 0x030201u) << x;
}

// What is painted over the window from outside comes back from the framebuffer at the next paint,
// though no line was marked.
std::uint32_t colour(int x) { return 0x102030u + static_cast<std::uint32_t>(x) * 0x030201u; }

TEST(GdiDriver, APaintRestoresWhatWasPaintedOver) {
    GdiScreen gdi({.width = 33, .height = 4, .depth = 32});
    ASSERT_EQ(gdi.init_result(), 0);
    gdi.fill_line<std::uint32_t>(1, [](int x) { return 0xFF000000u | colour(x); });
    gdi.settle();
    const HDC dc = ::GetDC(gdi.window());
    const RECT all{0, 0, 33, 4};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::ReleaseDC(gdi.window(), dc);
    ASSERT_EQ(gdi.read_row(1)[5], 0xFFFFFFu) << "painted over";
    ::InvalidateRect(gdi.window(), nullptr, FALSE);
    EXPECT_TRUE(eventually([&] { return gdi.read_row(1)[32] == colour(32); }));
    const std::vector<std::uint32_t> row = gdi.read_row(1);
    for (int x = 0; x < 33; ++x)
        ASSERT_EQ(row[x], colour(x)) << x;
}

// Needs the 5-6-5 to 5-5-5 converter, which comes with the converter module.
TEST(GdiDriver, HighColourGoesThroughTheFiveFiveFiveConversion) {
    GdiScreen gdi({.width = 10, .height = 4, .depth = 16});
    ASSERT_EQ(gdi.init_result(), 0);
    EXPECT_NE(window_state().converter, nullptr);
    // Pure red, pure green, pure blue in 5-6-5.
    gdi.fill_line<std::uint16_t>(2, [](int x) {
        return static_cast<std::uint16_t>(x % 3 == 0 ? 0xF800 : x % 3 == 1 ? 0x07E0 : 0x001F);
    });
    gdi.settle();
    const std::vector<std::uint32_t> row = gdi.read_row(2);
    for (int x = 0; x < 10; ++x) {
        const std::uint32_t dominant = 0xFF0000u >> (8 * (x % 3));
        EXPECT_EQ(row[x] & ~dominant & 0xF8F8F8, 0u) << x;
        EXPECT_GE(row[x] & dominant, dominant & 0xF8F8F8) << x;
    }
}

TEST(GdiDriver, ShapedWindowsSeeThroughBlackOnPaletteScreensAndMagentaOnOthers) {
    for (auto [depth, key] : {std::pair{8, RGB(0, 0, 0)}, std::pair{32, RGB(255, 0, 255)}}) {
        GdiScreen gdi({.width = 64, .height = 16, .depth = depth}, MODE_SHAPED_WINDOW);
        ASSERT_EQ(gdi.init_result(), 0);
        COLORREF see_through = 1;
        BYTE alpha = 0;
        DWORD how = 0;
        ASSERT_TRUE(::GetLayeredWindowAttributes(gdi.window(), &see_through, &alpha, &how));
        EXPECT_EQ(how, DWORD{LWA_COLORKEY}) << depth;
        EXPECT_EQ(see_through, key) << depth;
    }
}

TEST(GdiDriver, KeyStatesFollowTheKeyboardOnlyWhileTheWindowIsActive) {
    GdiScreen gdi({.width = 64, .height = 16});
    ASSERT_EQ(gdi.init_result(), 0);
    ::SetForegroundWindow(gdi.window());
    ASSERT_TRUE(eventually([] { return window_state().active == 1; }));
    hold_a(true);
    EXPECT_TRUE(eventually([] { return key_down(0x1E) != 0; }));
    // Deactivation forgets the key, and no pass reads it again while the window is inactive.
    ::SendMessageA(gdi.window(), WM_ACTIVATE, WA_INACTIVE, 0);
    gdi.settle();
    gdi.settle();
    EXPECT_EQ(key_down(0x1E), 0);
    ::SendMessageA(gdi.window(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(eventually([] { return key_down(0x1E) != 0; }));
    hold_a(false);
    EXPECT_TRUE(eventually([] { return key_down(0x1E) == 0; }));
}

TEST(GdiDriver, ModeListCountsTwentyFourAndThirtyTwoBitsAsOneDepth) {
    int count_32 = -1, count_24 = -1, count_none = -1;
    auto* modes_32 = gdi_driver.fetch_modes(32, &count_32);
    auto* modes_24 = gdi_driver.fetch_modes(24, &count_24);
    auto* modes_none = gdi_driver.fetch_modes(7, &count_none);
    DEVMODEA current{};
    current.dmSize = sizeof current;
    ASSERT_TRUE(::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current));
    ASSERT_TRUE(current.dmBitsPerPel == 24 || current.dmBitsPerPel == 32);

    ASSERT_GT(count_32, 0);
    EXPECT_EQ(std::vector(modes_32, modes_32 + count_32),
              std::vector(modes_24, modes_24 + count_24));
    EXPECT_NE(
        std::find(modes_32, modes_32 + count_32, current.dmPelsWidth << 16 | current.dmPelsHeight),
        modes_32 + count_32);
    EXPECT_EQ(modes_none, nullptr);
    EXPECT_EQ(count_none, 0);
    std::free(const_cast<std::uint32_t*>(modes_32));
    std::free(const_cast<std::uint32_t*>(modes_24));
}

TEST(GdiDriver, FullScreenHasItsOwnModeUntilTheScreenLeavesIt) {
    const DisplayMode own = desktop();
    if (own.first != xga) GTEST_SKIP() << "needs a 1024 by 768 desktop";
    {
        GdiScreen gdi({.width = 1024, .height = 768}, MODE_FULLSCREEN);
        ASSERT_EQ(gdi.init_result(), 0);
        expect_window_matches_flags(1024, 768, own, 8);
        // The 8-bit display shows the colour table's colours, and a changed one.
        gdi.fill_line(100, stripes);
        palette_set(3, 10, 200, 30);
        gdi.settle();
        expect_row(gdi, 100, stripes);
        EXPECT_EQ(gdi.read_row(100)[2], 0x0AC81Eu);

        // Nothing moves a full-screen window, and it has no position to tell.
        EXPECT_EQ(window_set_position(100, 60), 0);
        EXPECT_EQ(window_set_position(window_position_query, window_position_query), 0);
        gdi.settle();
        gdi.settle();
        RECT outer;
        ASSERT_TRUE(::GetWindowRect(gdi.window(), &outer));
        EXPECT_EQ(outer.left, 0);
        EXPECT_EQ(outer.top, 0);

        for (const bool full : {false, true}) {
            press_alt_enter(gdi.window());
            EXPECT_EQ((window_state().flags & MODE_FULLSCREEN) != 0, full);
            expect_window_matches_flags(1024, 768, own, 8);
        }
    }
    EXPECT_EQ(desktop(), own) << "the screen's end puts the desktop's mode back";
}

TEST(GdiDriver, FailedStartsLeaveNothingBehindAndTheNextStartWorks) {
    BOOL saver = FALSE;
    ::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
    WNDCLASSA wc;
    {
        test::TestScreen screen({.width = 400, .height = 80});
        screen->driver = &gdi_driver;
        EXPECT_EQ(gdi_driver.init("zered refused", 400, 80, 8, 0, MODE_OPENGL), -1);
        window_exit();
        EXPECT_FALSE(::GetClassInfoA(::GetModuleHandleA(nullptr), "zeredclass_zered refused", &wc));

        // The display has no 400 by 80 mode, so the driver thread's set-up fails.
        if (!display_has_mode(400, 80)) {
            EXPECT_EQ(gdi_driver.init("zered failed", 400, 80, 8, 0, MODE_FULLSCREEN), -1);
            window_exit();
            EXPECT_EQ(::FindWindowA("zeredclass_zered failed", nullptr), nullptr);
            EXPECT_FALSE(
                ::GetClassInfoA(::GetModuleHandleA(nullptr), "zeredclass_zered failed", &wc));
        }
    }
    ::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &saver, 0);
    EXPECT_TRUE(saver);

    GdiScreen gdi({.width = 400, .height = 80}, 0, "zered again");
    ASSERT_EQ(gdi.init_result(), 0);
    EXPECT_EQ(::FindWindowA("zeredclass_zered again", nullptr), gdi.window());
    ::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &saver, 0);
    EXPECT_FALSE(saver);

    // Exit from inside the screen lock: the driver thread still gets to finish its pass.
    const HWND window = gdi.window();
    screen_lock();
    window_exit();
    EXPECT_EQ(gdi.screen().lock_count, 0);
    EXPECT_FALSE(::IsWindow(window));
    ::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &saver, 0);
    EXPECT_TRUE(saver);

    // A second exit has nothing left to put back: the setting as the system has it now stays.
    ::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
    window_exit();
    ::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &saver, 0);
    EXPECT_FALSE(saver);
    ::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
}

} // namespace
