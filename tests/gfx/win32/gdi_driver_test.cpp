// The GDI driver on a test screen: what is drawn reaches the window through the right rows and
// colours, and the driver starts, fails and stops cleanly.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

#include "gfx/console/key_input.h"
#include "gfx/win32/driver_screen.h"
#include "gfx/win32/gdi_screen.h"
#include "gfx/win32/planted_calls.h"

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
std::uint32_t colour(int x) {
    return 0x102030u + static_cast<std::uint32_t>(x) * 0x030201u;
}

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

// A test pattern: the framebuffer value of pixel (x, y) at each depth, and the colour the window
// shows for a value. 8 bits go through distinct_colour's palette, in which every entry differs in
// every channel; 16 bits lose the lowest green bit in the 5-5-5 bitmap and are compared in their
// top five bits; 32 bits show as they are.
std::uint32_t pattern(int depth, int x, int y) {
    const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
    if (depth == 8) return (ux + 37 * uy) & 0xFF;
    if (depth == 16) return (ux * 0x0841 + uy * 0x1234) & 0xFFFF;
    return 0xFF000000u | ((ux * 0x030201u + uy * 0x102030u) & 0xFFFFFF);
}
std::uint32_t distinct_colour(std::uint32_t index) {
    return index << 16 | (255 - index) << 8 | ((index * 7) & 0xFF);
}
std::uint32_t shown(int depth, std::uint32_t value) {
    if (depth == 8) return distinct_colour(value);
    if (depth == 16) return (value >> 11) << 19 | ((value >> 6) & 31) << 11 | (value & 31) << 3;
    return value & 0xFFFFFF;
}

void set_distinct_palette() {
    for (std::uint32_t i = 0; i < 256; ++i) {
        const std::uint32_t c = distinct_colour(i);
        palette_set(static_cast<int>(i), c >> 16, (c >> 8) & 0xFF, c & 0xFF);
    }
}

// Writes the pattern into framebuffer lines first to last and marks them.
void fill_lines(GdiScreen& gdi, int first, int last) {
    const ScreenState& s = gdi.screen();
    const int bytes = s.depth / 8;
    screen_lock();
    for (int y = first; y <= last; ++y)
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t value = pattern(s.depth, x, y);
            std::memcpy(s.visible_fb + y * s.pitch + x * bytes, &value, bytes);
        }
    screen_unlock(first, last);
}

// Whether every display row of the window shows its framebuffer line: the pattern on lines first
// to last, value 0 on the others.
::testing::AssertionResult shows_lines(GdiScreen& gdi, int first, int last) {
    const ScreenState& s = gdi.screen();
    const std::uint32_t mask = s.depth == 16 ? 0xF8F8F8 : 0xFFFFFF;
    for (int row = 0; row < s.height * s.scanline_size; ++row) {
        const int y = row / s.scanline_size;
        const std::vector<std::uint32_t> pixels = gdi.read_row(row);
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t want =
                shown(s.depth, y >= first && y <= last ? pattern(s.depth, x, y) : 0);
            if ((pixels[x] & mask) != want)
                return ::testing::AssertionFailure() << "row " << row << " x " << x << ": "
                                                     << std::hex << pixels[x] << ", not " << want;
        }
    }
    return ::testing::AssertionSuccess();
}

// Paints the whole client area white from outside the driver, which does not invalidate it.
void paint_white(GdiScreen& gdi) {
    const HDC dc = ::GetDC(gdi.window());
    const RECT all{0, 0, gdi.screen().width, gdi.screen().height * gdi.screen().scanline_size};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::ReleaseDC(gdi.window(), dc);
}

// Each framebuffer layout, drawn straight or through a conversion, shows a band of two lines in
// the right rows and colours, leaves the others alone, and comes back whole at a paint. The window
// styles ride along: a frame with the maximise box unless switching is off, or none at all.
TEST(GdiDriver, EachLayoutShowsItsLinesAndComesBackAtAPaint) {
    constexpr DWORD framed = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    constexpr DWORD switchable = framed | WS_MAXIMIZEBOX;
    struct Layout {
        int width, depth, scanline_size;
        ModeFlags flags;
        bool converted;
        DWORD style;
    };
    const Layout layouts[] = {
        {256, 8, 1, 0, false, switchable},                 // every palette entry
        {10, 16, 1, MODE_NO_FRAME, true, WS_POPUP},        // 5-6-5 to 5-5-5
        {405, 8, 1, MODE_NO_SWITCH, true, framed},         // rows padded to whole words
        {402, 8, 1, 0, true, switchable},                  // the same
        {64, 8, 2, 0, true, switchable},                   // doubled lines
        {33, 32, 1, MODE_SHAPED_WINDOW, true, switchable}, // the fourth byte cleared
        {33, 32, 1, 0, false, switchable},                 // straight again after a conversion
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(::testing::Message() << l.width << " wide, " << l.depth << " bits, lines x"
                                          << l.scanline_size << ", flags " << l.flags);
        GdiScreen gdi(
            {.width = l.width, .height = 4, .depth = l.depth, .scanline_size = l.scanline_size},
            l.flags);
        ASSERT_EQ(gdi.init_result(), 0);
        EXPECT_EQ(window_state().converter != nullptr, l.converted);
        const auto style = static_cast<DWORD>(::GetWindowLongA(gdi.window(), GWL_STYLE));
        EXPECT_EQ(style & (switchable | WS_POPUP | WS_VISIBLE), l.style | WS_VISIBLE);
        const auto ex_style = static_cast<DWORD>(::GetWindowLongA(gdi.window(), GWL_EXSTYLE));
        EXPECT_EQ((ex_style & WS_EX_LAYERED) != 0, (l.flags & MODE_SHAPED_WINDOW) != 0);
        RECT client;
        ASSERT_TRUE(::GetClientRect(gdi.window(), &client));
        EXPECT_EQ(client.right, l.width);
        EXPECT_EQ(client.bottom, 4 * l.scanline_size);
        expect_centred(gdi.window());

        set_distinct_palette();
        gdi.settle();
        fill_lines(gdi, 1, 2);
        gdi.settle();
        EXPECT_TRUE(shows_lines(gdi, 1, 2));
        if (l.flags & MODE_SHAPED_WINDOW) {
            // The shaped window's bitmap has the fourth byte clear, which the pattern sets.
            screen_lock();
            ScreenState& s = *current_screen();
            std::ranges::fill(s.dirty, std::uint8_t{0});
            s.dirty[1] = 1;
            std::vector<std::uint32_t> bitmap(static_cast<std::size_t>(s.width) * 4);
            window_state().converter(bitmap.data(), s.width * 4);
            screen_unlock(1, 0);
            EXPECT_EQ(bitmap[static_cast<std::size_t>(s.width) + 5], pattern(32, 5, 1) & 0xFFFFFF);
        }

        paint_white(gdi);
        ASSERT_FALSE(shows_lines(gdi, 1, 2)) << "painted over";
        ::InvalidateRect(gdi.window(), nullptr, FALSE);
        eventually([&] { return static_cast<bool>(shows_lines(gdi, 1, 2)); });
        EXPECT_TRUE(shows_lines(gdi, 1, 2)) << "after the paint";
    }
}

// Windows before 2000 get the drawn band invalidated too, so that a paint of the whole picture
// follows; later ones redraw only the band.
TEST(GdiDriver, OnlyOlderSystemsFollowADrawnBandWithAPaint) {
    GdiScreen gdi({.width = 33, .height = 4, .depth = 32});
    ASSERT_EQ(gdi.init_result(), 0);
    fill_lines(gdi, 0, 3);
    gdi.settle();
    for (const int version : {window_state().os_version, 0x400}) {
        SCOPED_TRACE(version);
        screen_lock();
        window_state().os_version = version;
        screen_unlock(1, 0);
        paint_white(gdi);
        screen_lock();
        screen_unlock(2, 2);
        gdi.settle();
        if (version < 0x500) {
            eventually([&] { return gdi.read_row(0)[0] != 0xFFFFFF; });
            EXPECT_TRUE(shows_lines(gdi, 0, 3));
        } else {
            ::Sleep(100);
            gdi.settle();
            EXPECT_EQ(gdi.read_row(2)[4], shown(32, pattern(32, 4, 2)));
            EXPECT_EQ(gdi.read_row(1)[4], 0xFFFFFFu);
            EXPECT_EQ(gdi.read_row(3)[4], 0xFFFFFFu);
        }
    }
}

// A palette display draws the 8-bit bitmap through the logical palette realised in the window's
// device context, so the program's colours must be in that palette at every realisation. Wine's
// true-colour display never applies a logical palette (it reports no RC_PALETTE even in an 8-bit
// mode), so the realisations are watched where the driver makes them: its RealizePalette calls go
// through this program's import table, where the watch puts itself for its lifetime.
class RealisationWatch {
  public:
    struct Realisation {
        HPALETTE palette;                   // the one selected into the device context
        std::vector<std::uint32_t> colours; // its entries, as 0x00RRGGBB
    };
    RealisationWatch() { original = patch_.original<decltype(original)>(); }
    RealisationWatch(const RealisationWatch&) = delete;
    RealisationWatch& operator=(const RealisationWatch&) = delete;

    // The realisations since the last call, oldest first.
    static std::vector<Realisation> take() {
        ::AcquireSRWLockExclusive(&lock);
        std::vector<Realisation> taken = std::move(seen);
        seen.clear();
        ::ReleaseSRWLockExclusive(&lock);
        return taken;
    }

  private:
    static UINT WINAPI watched(HDC dc) {
        Realisation r{static_cast<HPALETTE>(::GetCurrentObject(dc, OBJ_PAL)), {}};
        WORD count = 0;
        ::GetObjectA(r.palette, sizeof count, &count);
        std::vector<PALETTEENTRY> entries(count);
        ::GetPaletteEntries(r.palette, 0, count, entries.data());
        for (const PALETTEENTRY& e : entries)
            r.colours.push_back(
                static_cast<std::uint32_t>(e.peRed << 16 | e.peGreen << 8 | e.peBlue));
        ::AcquireSRWLockExclusive(&lock);
        seen.push_back(std::move(r));
        ::ReleaseSRWLockExclusive(&lock);
        return original(dc);
    }
    ImportPatch patch_{"RealizePalette", reinterpret_cast<void*>(&watched)};
    static inline UINT(WINAPI* original)(HDC) = nullptr;
    static inline SRWLOCK lock = SRWLOCK_INIT;
    static inline std::vector<Realisation> seen;
};

TEST(GdiDriver, ThePaletteRealisedForDrawingHoldsTheProgramsColours) {
    RealisationWatch watch;
    HPALETTE palette = nullptr;
    {
        GdiScreen gdi({.width = 64, .height = 16});
        ASSERT_EQ(gdi.init_result(), 0);
        RealisationWatch::take();
        // A colour change alone, without a line to draw, is realised at the next pass.
        screen_lock();
        window_set_palette(3, 10, 200, 30);
        window_set_palette(255, 1, 2, 3);
        screen_unlock(1, 0);
        gdi.settle();
        std::vector<RealisationWatch::Realisation> seen = RealisationWatch::take();
        ASSERT_FALSE(seen.empty());
        palette = seen.back().palette;
        EXPECT_NE(palette, ::GetStockObject(DEFAULT_PALETTE));
        ASSERT_EQ(seen.back().colours.size(), 256u);
        EXPECT_EQ(seen.back().colours[3], 0x0AC81Eu);
        EXPECT_EQ(seen.back().colours[255], 0x010203u);

        // Passes without a change leave the palette as it is.
        ::Sleep(100);
        gdi.settle();
        EXPECT_TRUE(RealisationWatch::take().empty());

        // A paint realises the same palette before drawing.
        ::InvalidateRect(gdi.window(), nullptr, FALSE);
        eventually([&] {
            seen = RealisationWatch::take();
            return !seen.empty();
        });
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().palette, palette);
        EXPECT_EQ(seen.back().colours[3], 0x0AC81Eu);
    }
    EXPECT_EQ(::GetObjectType(palette), 0u) << "the screen's end deletes its palette";
}

// Switches with no monitor to ask (a system without MonitorFromWindow) use the primary display:
// full screen from its corner, windowed in its middle. A shaped window cannot go back to a window
// on a system before 2000, and stays full screen.
TEST(GdiDriver, SwitchesWithoutAMonitorAndRefusedShapesKeepAWorkingWindow) {
    const DisplayMode own = desktop();
    if (own.first != xga) GTEST_SKIP() << "needs a 1024 by 768 desktop";
    {
        GdiScreen gdi({.width = 1024, .height = 768}, MODE_SHAPED_WINDOW);
        ASSERT_EQ(gdi.init_result(), 0);
        screen_lock();
        window_state().entry.MonitorFromWindow = nullptr;
        screen_unlock(1, 0);
        for (const bool full : {true, false}) {
            const HWND before = gdi.window();
            press_alt_enter(gdi.window());
            EXPECT_EQ((window_state().flags & MODE_FULLSCREEN) != 0, full);
            expect_window_matches_flags(1024, 768, own, 8);
            EXPECT_FALSE(::IsWindow(before)) << "the old window is destroyed";
        }
        // Framed, it is taller than the display: the odd pixel of the overhang goes to the top.
        RECT outer;
        ASSERT_TRUE(::GetWindowRect(gdi.window(), &outer));
        EXPECT_EQ(outer.left, (1024 - (outer.right - outer.left)) >> 1);
        EXPECT_EQ(outer.top, (768 - (outer.bottom - outer.top)) >> 1);

        screen_lock();
        window_state().os_version = 0x400;
        screen_unlock(1, 0);
        press_alt_enter(gdi.window());
        press_alt_enter(gdi.window());
        EXPECT_NE(window_state().flags & MODE_FULLSCREEN, 0u);
        expect_window_matches_flags(1024, 768, own, 8);
    }
    EXPECT_EQ(desktop(), own);
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
    // The test display offers its one size at each of 8, 16 and 32 bits.
    if (desktop().first != xga) return;
    for (const int depth : {8, 15, 16, 32}) {
        int count = 0;
        auto* modes = gdi_driver.fetch_modes(depth, &count);
        EXPECT_EQ(std::vector(modes, modes + count), std::vector<std::uint32_t>{xga}) << depth;
        std::free(const_cast<std::uint32_t*>(modes));
    }
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

TEST(GdiDriver, TheScreenSaverIsOffForTheScreenWithoutTouchingTheUsersSavedSetting) {
    // What the user's profile holds: a screen turns the screen saver off for its own life only,
    // so a program that is killed leaves it as the user set it.
    const auto saved = [] {
        char value[16] = "";
        DWORD size = sizeof value;
        return ::RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveActive",
                              RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS
                   ? std::string(value)
                   : std::string("none");
    };
    const std::string before = saved();
    {
        GdiScreen gdi({.width = 64, .height = 16});
        ASSERT_EQ(gdi.init_result(), 0);
        BOOL active = TRUE;
        ::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
        EXPECT_FALSE(active);
        EXPECT_EQ(saved(), before);
    }
    EXPECT_EQ(saved(), before);
}

TEST(GdiDriver, FailedStartsLeaveNothingBehindAndTheNextStartWorks) {
    BOOL saver = FALSE;
    ::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
    WNDCLASSA wc;
    // No screen is open to present.
    EXPECT_EQ(gdi_driver.init("zered no screen", 64, 16, 8, 0, 0), -1);
    window_exit();
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
    // A shaped window where the system has no layered windows; a 16-bit framebuffer for an 8-bit
    // bitmap, which nothing converts.
    {
        test::TestScreen screen({.width = 64, .height = 16, .depth = 16});
        screen->driver = &gdi_driver;
        {
            LookupPatch missing("SetLayeredWindowAttributes", nullptr);
            EXPECT_EQ(gdi_driver.init("zered unshaped", 64, 16, 16, 0, MODE_SHAPED_WINDOW), -1);
            EXPECT_GT(missing.calls(), 0);
        }
        window_exit();
        EXPECT_EQ(gdi_driver.init("zered unconverted", 64, 16, 8, 0, 0), -1);
        window_exit();
        for (const char* name : {"zeredclass_zered unshaped", "zeredclass_zered unconverted"}) {
            EXPECT_EQ(::FindWindowA(name, nullptr), nullptr) << name;
            EXPECT_FALSE(::GetClassInfoA(::GetModuleHandleA(nullptr), name, &wc)) << name;
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
