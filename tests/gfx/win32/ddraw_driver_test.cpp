// The DirectDraw driver under Wine: what is drawn reaches the window in the display's format, the
// keyboard is read, the mode list is right, and every start that fails leaves nothing behind, so
// that the screen set-up falls back to the GDI driver.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

#include "gfx/console/key_input.h"
#include "gfx/screen/screen_setup.h"
#include "gfx/win32/ddraw_driver.h"
#include "gfx/win32/ddraw_state.h"
#include "gfx/win32/driver_screen.h"
#include "gfx/win32/gdi_screen.h"
#include "gfx/win32/planted_calls.h"
#include "gfx/win32/scripted_surface.h"

namespace {

using namespace zered;
using namespace gditest;
using namespace drivertest;

// A screen on the DirectDraw driver with its palette sent and its first passes done.
class DDrawScreen : public DriverScreen {
  public:
    explicit DDrawScreen(const test::TestScreenOptions& options, ModeFlags flags = 0)
        : DriverScreen(ddraw_driver, options, flags, "zered ddraw") {
        if (init_result() != 0) return;
        screen_lock();
        palette_resend();
        screen_unlock(1, 0);
        settle();
    }

    // Returns once the driver thread has presented every line marked before the call (when
    // presented; otherwise once a pass has had its chance): a pass handles its messages after its
    // presentation, and the lock is free only between passes. A sent message can also be handled
    // inside a DirectDraw call of a pass, before it presents, so the marks are watched as well.
    void settle(bool presented = true) {
        ::SendMessageA(window(), WM_NULL, 0, 0);
        screen_lock();
        screen_unlock(1, 0);
        if (presented) {
            eventually([this] {
                screen_lock();
                const bool marked = test_screen().dirty_lines() != 0;
                screen_unlock(1, 0);
                return !marked;
            });
        }
        ::SendMessageA(window(), WM_NULL, 0, 0);
    }

    template <typename Pixel> void fill_line(int y, Pixel (*value)(int x)) {
        screen_lock();
        auto* line = reinterpret_cast<Pixel*>(test_screen().pixel_address(0, 0, y));
        for (int x = 0; x < screen().width; ++x)
            line[x] = value(x);
        screen_unlock(y, y);
    }
};

std::uint8_t stripes(int x) {
    return static_cast<std::uint8_t>(1 + x % 7);
}

// Expects display row y (of the window, or of the screen) to show the palette colours of value(x),
// in the first columns pixels (all of them when negative).
void expect_palette_row(DDrawScreen& dd, int y, std::uint8_t (*value)(int x), bool screen = false,
                        int columns = -1) {
    std::vector<std::uint32_t> row =
        screen ? read_client_row(nullptr, dd.screen().width, y) : dd.read_row(y);
    if (columns >= 0) row.resize(static_cast<std::size_t>(columns));
    int wrong = 0;
    for (int x = 0; x < static_cast<int>(row.size()); ++x)
        if (row[x] != as_rgb(dd.screen().device_palette[value(x)]) && ++wrong <= 3)
            ADD_FAILURE() << "row " << y << " x " << x << ": " << std::hex << row[x];
}

TEST(DDrawDriver, WindowShowsPalettedLinesThroughTheConverter) {
    DDrawScreen dd({.width = 400, .height = 80});
    ASSERT_EQ(dd.init_result(), 0);
    const DDrawStatus status = ddraw_status();
    EXPECT_TRUE(status.running);
    EXPECT_TRUE(status.windowed);
    EXPECT_EQ(status.vertical_offset, 0);
    // The test display is 24-bit; DirectDraw gives it as 32-bit blue-low pixels.
    EXPECT_EQ(status.display_depth, 32);
    EXPECT_FALSE(status.red_low);
    EXPECT_NE(window_state().converter, nullptr);
    expect_centred(dd.window());
    RECT client;
    ASSERT_TRUE(::GetClientRect(dd.window(), &client));
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 80);
    // The status is read under the driver's lock: the program's screen lock holds it up.
    screen_lock();
    std::atomic<bool> read{false};
    std::thread reader([&read] {
        ddraw_status();
        read = true;
    });
    ::Sleep(200);
    EXPECT_FALSE(read);
    screen_unlock(1, 0);
    reader.join();

    dd.fill_line(10, stripes);
    dd.settle();
    expect_palette_row(dd, 10, stripes);
    EXPECT_EQ(dd.read_row(11), std::vector<std::uint32_t>(400, 0));
    EXPECT_EQ(dd.screen().dirty[10], 0);

    // A new colour reaches the window once the lines that use it are marked, also after waits for
    // the retrace (whose hand-shake holds up the next pass at most 20 ms, and none once the wait
    // has signalled its end).
    ddraw_driver.wait_vsync();
    ddraw_driver.wait_vsync();
    EXPECT_EQ(::WaitForSingleObject(ddraw::state().vsync_event, 0), WAIT_OBJECT_0);
    palette_set(3, 10, 200, 30);
    dd.settle();
    EXPECT_EQ(dd.read_row(10)[2], 0x0AC81Eu);
    expect_palette_row(dd, 10, stripes);
}

bool becomes_active() {
    return eventually([] { return window_state().active == 1; });
}

// The window's outer top-left corner.
POINT window_corner(HWND window) {
    RECT outer{};
    ::GetWindowRect(window, &outer);
    return {outer.left, outer.top};
}

// While the window is inactive no pass reads the keyboard, and only a windowed screen has its
// changed lines converted; activation brings both back. line is a black line of the picture.
void expect_inactive_pass_rules(DDrawScreen& dd, int line) {
    SCOPED_TRACE(ddraw_status().windowed ? "windowed" : "full screen");
    const bool windowed = ddraw_status().windowed;
    const auto shown = [&] {
        return read_client_row(windowed ? dd.window() : nullptr, 16,
                               ddraw_status().vertical_offset + line);
    };
    std::vector<std::uint32_t> striped(16);
    for (int x = 0; x < 16; ++x)
        striped[static_cast<std::size_t>(x)] = as_rgb(dd.screen().device_palette[stripes(x)]);
    const std::vector<std::uint32_t> black(16, 0);
    ASSERT_EQ(shown(), black);

    hold_a(true);
    EXPECT_TRUE(eventually([] { return key_down(0x1E) != 0; }));
    // Deactivation forgets the keys held; the key stays down.
    ::SendMessageA(dd.window(), WM_ACTIVATE, WA_INACTIVE, 0);
    dd.fill_line(line, stripes);
    dd.settle(windowed);
    dd.settle(windowed);
    EXPECT_EQ(key_down(0x1E), 0) << "the keyboard was read";
    EXPECT_EQ(shown(), windowed ? striped : black);

    ::SendMessageA(dd.window(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(eventually([] { return key_down(0x1E) != 0; }));
    hold_a(false);
    EXPECT_TRUE(eventually([&] { return shown() == striped; }));
    EXPECT_TRUE(eventually([] { return key_down(0x1E) == 0; }));
}

TEST(DDrawDriver, WindowStylesFollowTheFlags) {
    struct Case {
        ModeFlags flags;
        DWORD style; // of the styles in `shown`
    };
    constexpr DWORD shown = WS_CAPTION | WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    constexpr DWORD framed = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    for (const Case& c : {Case{0, framed | WS_MAXIMIZEBOX}, Case{MODE_NO_SWITCH, framed},
                          Case{MODE_NO_FRAME, WS_POPUP}}) {
        DDrawScreen dd({.width = 64, .height = 16}, c.flags);
        ASSERT_EQ(dd.init_result(), 0);
        const auto style = static_cast<DWORD>(::GetWindowLongA(dd.window(), GWL_STYLE));
        EXPECT_EQ(style & shown, c.style) << c.flags;
    }
}

TEST(DDrawDriver, WindowOverTheScreensTopEdgeShowsItsTopLine) {
    DDrawScreen dd({.width = 64, .height = 16});
    ASSERT_EQ(dd.init_result(), 0);
    // Client line 0 on the screen's top line, the caption above the screen.
    RECT outer;
    ASSERT_TRUE(::GetWindowRect(dd.window(), &outer));
    POINT client{0, 0};
    ASSERT_TRUE(::ClientToScreen(dd.window(), &client));
    const int left = 50, top = outer.top - client.y;
    window_set_position(left, top);
    ASSERT_TRUE(eventually([&] {
        return window_set_position(window_position_query, window_position_query) ==
               (top << 16 | (left & 0xFFFF));
    }));
    dd.fill_line(0, stripes);
    dd.fill_line(1, stripes);
    dd.settle();
    expect_palette_row(dd, 0, stripes);
    expect_palette_row(dd, 1, stripes);
}

TEST(DDrawDriver, FullScreenCentresThePictureInATallerModeAndSwitchesBack) {
    // The test display offers 1024 by 768 only (at 8, 16 and 32 bits).
    if (desktop() != std::pair{xga, 32}) GTEST_SKIP() << "needs a 1024 by 768 desktop";
    DDrawScreen dd({.width = 1024, .height = 700});
    ASSERT_EQ(dd.init_result(), 0);
    ASSERT_TRUE(becomes_active());
    const POINT windowed = window_corner(dd.window());
    // The retrace hand-shake's event outlives the switches (a program thread may be waiting on
    // it): signalled before, it is still signalled after, where a new one would not be.
    ASSERT_TRUE(::SetEvent(ddraw::state().vsync_event));

    press_alt_enter(dd.window());
    EXPECT_EQ(::WaitForSingleObject(ddraw::state().vsync_event, 0), WAIT_OBJECT_0);
    // 700 lines are not offered; 768 are, 34 of them above the picture. The 8-bit mode gets the
    // palette through DirectDraw.
    DDrawStatus status = ddraw_status();
    ASSERT_TRUE(status.running);
    EXPECT_FALSE(status.windowed);
    EXPECT_EQ(status.vertical_offset, 34);
    EXPECT_EQ(status.display_depth, 8);
    EXPECT_EQ(desktop(), (std::pair{xga, 8}));
    RECT whole;
    ASSERT_TRUE(::GetWindowRect(dd.window(), &whole));
    EXPECT_EQ(std::vector({whole.left, whole.top, whole.right, whole.bottom}),
              std::vector<LONG>({0, 0, 1024, 768}))
        << "the whole display";
    const auto style = static_cast<DWORD>(::GetWindowLongA(dd.window(), GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_POPUP | WS_VISIBLE), DWORD{WS_POPUP | WS_VISIBLE});
    dd.fill_line(0, stripes);
    dd.settle();
    expect_palette_row(dd, 34, stripes, true);
    EXPECT_EQ(read_client_row(nullptr, 16, 33), std::vector<std::uint32_t>(16, 0));
    // A new colour reaches the display's palette; the converted pixel values stay as they were.
    palette_set(3, 10, 200, 30);
    dd.settle();
    EXPECT_EQ(read_client_row(nullptr, 3, 34)[2], 0x0AC81Eu);
    expect_inactive_pass_rules(dd, 1);

    // Back in the window, which hangs over the screen's right edge: what is on the screen shows.
    press_alt_enter(dd.window());
    status = ddraw_status();
    EXPECT_TRUE(status.windowed);
    EXPECT_EQ(status.vertical_offset, 0);
    EXPECT_EQ(desktop(), (std::pair{xga, 32}));
    const POINT back = window_corner(dd.window());
    EXPECT_EQ(back.x, windowed.x);
    EXPECT_EQ(back.y, windowed.y);
    dd.fill_line(5, stripes);
    dd.settle();
    POINT client{0, 0};
    ASSERT_TRUE(::ClientToScreen(dd.window(), &client));
    expect_palette_row(dd, 5, stripes, false, ::GetSystemMetrics(SM_CXSCREEN) - client.x);
    expect_inactive_pass_rules(dd, 6);
}

TEST(DDrawDriver, SwitchThatFindsNoModeComesBackInTheWindow) {
    DDrawScreen dd({.width = 123, .height = 45});
    ASSERT_EQ(dd.init_result(), 0);
    ASSERT_TRUE(becomes_active());
    const POINT before = window_corner(dd.window());
    press_alt_enter(dd.window());
    EXPECT_EQ(window_state().flags & MODE_FULLSCREEN, 0u);
    EXPECT_TRUE(ddraw_status().running);
    const POINT after = window_corner(dd.window());
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.y, before.y);
    dd.fill_line(3, stripes);
    dd.settle();
    expect_palette_row(dd, 3, stripes);
}

std::vector<FLASHWINFO> flashes;
BOOL WINAPI record_flash(PFLASHWINFO info) {
    flashes.push_back(*info);
    return TRUE;
}

TEST(DDrawDriver, LostPrimarySurfaceIsRestoredOrTheDriverRebuilt) {
    struct Case {
        const char* name;
        int lost_answers;
        std::deque<HRESULT> restores;
        bool rebuilt; // the display mode changed: new window, surfaces and keyboard
    };
    const Case cases[] = {
        {"restored", 1, {DD_OK}, false},
        // Not restorable yet: the pass draws nothing and keeps its lines for the next one.
        {"restored at the next try", 2, {DDERR_GENERIC, DD_OK}, false},
        {"wrong mode", 1, {DDERR_WRONGMODE}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSurface lost(c.lost_answers, c.restores);
        DDrawScreen dd({.width = 64, .height = 16});
        ASSERT_EQ(dd.init_result(), 0);
        const HWND window = dd.window();
        const POINT corner = window_corner(window);
        // Line 9 is drawn but not marked: only a restore, which loses a surface's contents,
        // brings it to the window.
        screen_lock();
        for (int x = 0; x < 64; ++x)
            *dd.test_screen().pixel_address(0, x, 9) = stripes(x);
        lost.wrap(ddraw_exchange_primary(&lost));
        flashes.clear();
        window_state().entry.FlashWindowEx = record_flash;
        screen_unlock(1, 0);

        dd.fill_line(3, stripes);
        dd.settle();
        dd.settle();
        expect_palette_row(dd, 3, stripes);
        expect_palette_row(dd, 9, stripes);
        EXPECT_EQ(lost.restore_calls(), static_cast<int>(c.restores.size()));
        EXPECT_TRUE(ddraw_status().running);
        screen_lock();
        EXPECT_EQ(lost.released(), c.rebuilt);
        EXPECT_EQ(flashes.size(), c.rebuilt ? 1u : 0u);
        for (const FLASHWINFO& flash : flashes) {
            EXPECT_EQ(flash.hwnd, dd.window());
            EXPECT_EQ(flash.dwFlags, DWORD{FLASHW_STOP});
        }
        screen_unlock(1, 0);
        EXPECT_EQ(::IsWindow(window), !c.rebuilt);
        const POINT now = window_corner(dd.window());
        EXPECT_EQ(now.x, corner.x);
        EXPECT_EQ(now.y, corner.y);
    }
}

TEST(DDrawDriver, APrimaryThatStaysLostKeepsItsLinesWithoutSpinning) {
    // Another program holds the display: the surface cannot be restored until it lets go.
    ScriptedSurface lost(1 << 30, {});
    DDrawScreen dd({.width = 64, .height = 16});
    ASSERT_EQ(dd.init_result(), 0);
    screen_lock();
    lost.wrap(ddraw_exchange_primary(&lost));
    screen_unlock(1, 0);
    dd.fill_line(3, stripes);
    ::InvalidateRect(dd.window(), nullptr, FALSE);
    ASSERT_TRUE(eventually([&] { return lost.restore_calls() >= 2; }));
    const int before = lost.restore_calls();
    ::Sleep(300);
    // A pass every 10 ms tries twice at most (its conversion and its repaint).
    EXPECT_LT(lost.restore_calls() - before, 200) << "the driver tries without a pause";
    screen_lock();
    EXPECT_EQ(dd.screen().dirty[3], 1);
    screen_unlock(1, 0);

    lost.found();
    EXPECT_TRUE(eventually([&] { return dd.screen().dirty[3] == 0; }));
    dd.settle();
    expect_palette_row(dd, 3, stripes);
}

TEST(DDrawDriver, KeyboardStateComesFromDirectInputUntilTheDeviceIsReleased) {
    // Keeps the device's code loaded past the screen's end, when the driver frees the library.
    const HMODULE pinned = ::LoadLibraryA("dinput.dll");
    IDirectInputDeviceA* keyboard = nullptr;
    ULONG references = 0;
    {
        DDrawScreen dd({.width = 64, .height = 16});
        ASSERT_EQ(dd.init_result(), 0);
        ASSERT_TRUE(becomes_active());
        INPUT press{};
        press.type = INPUT_KEYBOARD;
        press.ki.wScan = 0x1E; // A
        press.ki.dwFlags = KEYEVENTF_SCANCODE;
        ::SendInput(1, &press, sizeof press);
        const bool seen = eventually([&] { return dd.screen().key_state[0x1E] == 1; });
        press.ki.dwFlags |= KEYEVENTF_KEYUP;
        ::SendInput(1, &press, sizeof press);
        EXPECT_TRUE(seen);
        EXPECT_TRUE(eventually([&] { return dd.screen().key_state[0x1E] == 0; }));
        screen_lock();
        keyboard = ddraw::state().keyboard;
        references = keyboard->AddRef();
        screen_unlock(1, 0);
    }
    // The driver has let go of its reference: only this test's is left of the two.
    EXPECT_EQ(keyboard->Release(), references - 2);
    ::FreeLibrary(pinned);
}

TEST(DDrawDriver, ModeListHoldsTheDisplaysModesOfOneDepth) {
    // Without a screen the retrace wait waits a frame's time, and the driver makes a DirectDraw
    // object of its own for the mode list.
    ddraw_driver.wait_vsync();
    // Nor does the driver start without a screen to present.
    EXPECT_EQ(ddraw_driver.init("zered no screen", 64, 16, 8, 0, 0), -1);
    ddraw_driver.exit();
    EXPECT_FALSE(ddraw_status().running);
    int count = -1, count_15 = -1;
    const std::uint32_t* modes = ddraw_driver.fetch_modes(32, &count);
    ASSERT_GT(count, 0);
    EXPECT_NE(std::find(modes, modes + count, desktop().first), modes + count);
    // Wine's 16-bit modes are 5:6:5, so none of them counts as 15 bits.
    EXPECT_EQ(ddraw_driver.fetch_modes(15, &count_15), nullptr);
    EXPECT_EQ(count_15, 0);

    DDrawScreen dd({.width = 64, .height = 16});
    ASSERT_EQ(dd.init_result(), 0);
    // The running driver's object lists the same, and keeps no reference of the list's.
    const auto references = [] {
        IDirectDraw2* object = ddraw::state().direct_draw;
        object->AddRef();
        return object->Release();
    };
    const ULONG before = references();
    int count_again = -1;
    std::free(const_cast<std::uint32_t*>(ddraw_driver.fetch_modes(32, &count_again)));
    EXPECT_EQ(count_again, count);
    EXPECT_EQ(references(), before);
    std::free(const_cast<std::uint32_t*>(modes));
}

TEST(DDrawDriver, RefusedAndFailedStartsLeaveNothingBehind) {
    test::TestScreen screen({.width = 400, .height = 80});
    screen->driver = &ddraw_driver;
    for (ModeFlags refused : {MODE_OPENGL, MODE_SHAPED_WINDOW}) {
        EXPECT_EQ(ddraw_driver.init("zered refused", 400, 80, 8, 0, refused), -1);
        ddraw_driver.exit();
        EXPECT_FALSE(class_registered("zeredclass_zered refused"));
    }

    // No display mode of this size up to 1024 lines: the set-up on the driver thread fails.
    const auto before = desktop();
    EXPECT_EQ(ddraw_driver.init("zered failed", 123, 80, 8, 0, MODE_FULLSCREEN), -1);
    ddraw_driver.exit();
    EXPECT_EQ(::FindWindowA("zeredclass_zered failed", nullptr), nullptr);
    EXPECT_FALSE(class_registered("zeredclass_zered failed"));
    EXPECT_FALSE(ddraw_status().running);
    EXPECT_EQ(desktop(), before);
    EXPECT_EQ(::GetModuleHandleA("dinput.dll"), nullptr) << "the libraries are released";
}

// Samples of every COM class the driver uses, to plant faults through, and the two libraries kept
// loaded across the driver's own loads and frees.
class DDrawFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        ddraw_module_ = ::LoadLibraryA("ddraw.dll");
        dinput_module_ = ::LoadLibraryA("dinput.dll");
        ASSERT_TRUE(ddraw_module_ && dinput_module_);
        const auto create =
            ddraw::proc_address<ddraw::DirectDrawCreateFn>(ddraw_module_, "DirectDrawCreate");
        ASSERT_TRUE(SUCCEEDED(create(nullptr, &first_, nullptr)));
        direct_draw_ = ddraw::create_direct_draw(create, nullptr);
        ASSERT_NE(direct_draw_, nullptr);
        ASSERT_TRUE(SUCCEEDED(direct_draw_->SetCooperativeLevel(nullptr, DDSCL_NORMAL)));
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.dwWidth = desc.dwHeight = 8;
        ASSERT_TRUE(SUCCEEDED(direct_draw_->CreateSurface(&desc, &surface_, nullptr)));
        ASSERT_TRUE(SUCCEEDED(direct_draw_->CreateClipper(0, &clipper_, nullptr)));
        const auto create_input =
            ddraw::proc_address<ddraw::DirectInputCreateFn>(dinput_module_, "DirectInputCreateA");
        ASSERT_TRUE(SUCCEEDED(create_input(::GetModuleHandleA(nullptr), ddraw::direct_input_version,
                                           &input_, nullptr)));
        ASSERT_TRUE(SUCCEEDED(input_->CreateDevice(GUID_SysKeyboard, &keyboard_, nullptr)));
    }
    void TearDown() override {
        ddraw::release(keyboard_);
        ddraw::release(input_);
        ddraw::release(clipper_);
        ddraw::release(surface_);
        ddraw::release(direct_draw_);
        ddraw::release(first_);
        if (dinput_module_) ::FreeLibrary(dinput_module_);
        if (ddraw_module_) ::FreeLibrary(ddraw_module_);
    }

    using Plant = std::function<std::unique_ptr<PlantedFault>()>;
    // A plant of a fault that makes the method's calls fail from call number first on.
    template <auto Method, typename Interface>
    static Plant failing(Interface* sample, int first = 0) {
        return [=] { return std::make_unique<MethodFault<Method>>(sample, DDERR_GENERIC, first); };
    }

    HMODULE ddraw_module_ = nullptr, dinput_module_ = nullptr;
    IDirectDraw* first_ = nullptr;
    IDirectDraw2* direct_draw_ = nullptr;
    IDirectDrawSurface* surface_ = nullptr;
    IDirectDrawClipper* clipper_ = nullptr;
    IDirectInputA* input_ = nullptr;
    IDirectInputDeviceA* keyboard_ = nullptr;
};

// A DirectDrawCreate that finds no display to drive.
HRESULT WINAPI refuse_direct_draw(GUID*, IDirectDraw** object, IUnknown*) {
    *object = nullptr;
    return DDERR_GENERIC;
}

TEST_F(DDrawFaults, AnyStepTheSystemRefusesFailsTheStartAndLeavesNothingBehind) {
    // The COM method, not the headers' template of the same name.
    constexpr auto query_interface =
        static_cast<HRESULT (STDMETHODCALLTYPE IUnknown::*)(REFIID, void**)>(
            &IUnknown::QueryInterface);
    struct Case {
        const char* name;
        Plant plant;
        bool fullscreen;
    };
    const Case cases[] = {
        {"DirectDraw missing",
         [] { return std::make_unique<LookupPatch>("DirectDrawCreate", nullptr); }, false},
        {"DirectDraw refused",
         [] {
             return std::make_unique<LookupPatch>(
                 "DirectDrawCreate",
                 reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&refuse_direct_draw)));
         },
         false},
        {"second interface", failing<query_interface>(first_), false},
        {"cooperative level", failing<&IDirectDraw2::SetCooperativeLevel>(direct_draw_), false},
        {"clipper", failing<&IDirectDraw2::CreateClipper>(direct_draw_), false},
        {"clipper's window", failing<&IDirectDrawClipper::SetHWnd>(clipper_), false},
        {"primary surface", failing<&IDirectDraw2::CreateSurface>(direct_draw_), false},
        {"primary's size", failing<&IDirectDrawSurface::GetSurfaceDesc>(surface_), false},
        {"primary's clipper", failing<&IDirectDrawSurface::SetClipper>(surface_), false},
        {"offscreen surface", failing<&IDirectDraw2::CreateSurface>(direct_draw_, 1), false},
        {"pixel format", failing<&IDirectDrawSurface::GetPixelFormat>(surface_), false},
        {"keyboard", failing<&IDirectInputA::CreateDevice>(input_), false},
        {"keyboard layout", failing<&IDirectInputDeviceA::SetDataFormat>(keyboard_), false},
        {"keyboard acquisition", failing<&IDirectInputDeviceA::Acquire>(keyboard_), false},
        {"exclusive level", failing<&IDirectDraw2::SetCooperativeLevel>(direct_draw_), true},
        {"display mode", failing<&IDirectDraw2::SetDisplayMode>(direct_draw_), true},
        {"display palette", failing<&IDirectDraw2::CreatePalette>(direct_draw_), true},
    };
    const bool full_screen_possible = desktop() == std::pair{xga, 32};
    const auto before = desktop();
    for (const Case& c : cases) {
        if (c.fullscreen && !full_screen_possible) continue;
        SCOPED_TRACE(c.name);
        test::TestScreen screen(
            {.width = c.fullscreen ? 1024 : 64, .height = c.fullscreen ? 768 : 16});
        screen->driver = &ddraw_driver;
        {
            const std::unique_ptr<PlantedFault> fault = c.plant();
            EXPECT_EQ(ddraw_driver.init("zered fault", screen->width, screen->height, 8, 0,
                                        c.fullscreen ? MODE_FULLSCREEN : 0),
                      -1)
                << fault->calls() << " calls";
            EXPECT_GT(fault->calls(), 0) << "the step was not reached";
            ddraw_driver.exit();
        }
        EXPECT_EQ(::FindWindowA("zeredclass_zered fault", nullptr), nullptr);
        EXPECT_FALSE(class_registered("zeredclass_zered fault"));
        EXPECT_FALSE(ddraw_status().running);
        EXPECT_EQ(desktop(), before);
    }
    // Nothing of the failed starts is in the way of the next one, which shows the whole picture,
    // lines drawn before it too, and takes the display's refresh rate.
    unpack_builtin_data();
    test::TestScreen screen({.width = 64, .height = 16});
    screen->driver = &ddraw_driver;
    for (int x = 0; x < 64; ++x)
        *screen.pixel_address(0, x, 5) = stripes(x);
    screen.clear_dirty();
    ASSERT_EQ(ddraw_driver.init("zered fault", 64, 16, 8, 0, 0), 0);
    screen_lock();
    palette_resend();
    screen_unlock(1, 0);
    std::vector<std::uint32_t> striped(64);
    for (int x = 0; x < 64; ++x)
        striped[static_cast<std::size_t>(x)] = as_rgb(screen->device_palette[stripes(x)]);
    EXPECT_TRUE(
        eventually([&] { return read_client_row(window_state().window, 64, 5) == striped; }));
    DWORD frequency = 0;
    if (SUCCEEDED(direct_draw_->GetMonitorFrequency(&frequency))) {
        EXPECT_EQ(screen->refresh_rate, known_refresh_rate(static_cast<int>(frequency)));
    }
    ddraw_driver.exit();
}

TEST_F(DDrawFaults, PassesThatCannotReachTheSurfaceOrKeyboardLoseNothing) {
    DDrawScreen dd({.width = 64, .height = 16});
    ASSERT_EQ(dd.init_result(), 0);
    ASSERT_TRUE(becomes_active());
    {
        // A surface that cannot be locked: the line stays marked for a later pass.
        MethodFault<&IDirectDrawSurface::Lock> refused(surface_, DDERR_GENERIC);
        dd.fill_line(3, stripes);
        EXPECT_TRUE(eventually([&] { return refused.calls() >= 2; }));
        screen_lock();
        EXPECT_EQ(dd.screen().dirty[3], 1);
        screen_unlock(1, 0);
        EXPECT_EQ(dd.read_row(3), std::vector<std::uint32_t>(64, 0));
    }
    EXPECT_TRUE(eventually([&] { return dd.screen().dirty[3] == 0; }));
    dd.settle();
    expect_palette_row(dd, 3, stripes);
    EXPECT_EQ(dd.screen().dirty[3], 0);

    // A keyboard that cannot be read leaves the key states as they were (A is up, but held here);
    // a lost or unacquired one is acquired again.
    struct Case {
        HRESULT answer;
        bool acquired;
    };
    for (const Case& c :
         {Case{DIERR_INPUTLOST, true}, Case{DIERR_NOTACQUIRED, true}, Case{DIERR_GENERIC, false}}) {
        SCOPED_TRACE(c.answer);
        MethodFault<&IDirectInputDeviceA::GetDeviceState> unread(keyboard_, c.answer);
        MethodFault<&IDirectInputDeviceA::Acquire> acquire(keyboard_, S_OK, 1 << 30);
        screen_lock();
        dd.screen().key_state[0x1E] = 1;
        screen_unlock(1, 0);
        EXPECT_TRUE(eventually([&] { return unread.calls() >= 2; }));
        EXPECT_EQ(dd.screen().key_state[0x1E], 1);
        EXPECT_EQ(acquire.calls() > 0, c.acquired);
    }
    EXPECT_TRUE(eventually([&] { return dd.screen().key_state[0x1E] == 0; }));

    // A retrace wait that fails still ends the hand-shake.
    MethodFault<&IDirectDraw2::WaitForVerticalBlank> no_retrace(direct_draw_, DDERR_GENERIC);
    ddraw_driver.wait_vsync();
    EXPECT_EQ(no_retrace.calls(), 1);
    EXPECT_EQ(::WaitForSingleObject(ddraw::state().vsync_event, 0), WAIT_OBJECT_0);
}

TEST_F(DDrawFaults, ARebuildThatFailsIsRetriedUntilItWorksOrTheScreenCloses) {
    for (const bool closes : {false, true}) {
        SCOPED_TRACE(closes ? "closed meanwhile" : "retried");
        ScriptedSurface lost(1, {DDERR_WRONGMODE});
        auto dd = std::make_unique<DDrawScreen>(test::TestScreenOptions{.width = 64, .height = 16});
        ASSERT_EQ(dd->init_result(), 0);
        // The display mode changed under the driver, and the first two set-ups after it find no
        // primary surface (a working one makes two surfaces).
        MethodFault<&IDirectDraw2::CreateSurface> refused(direct_draw_, DDERR_GENERIC, 0, 2);
        screen_lock();
        lost.wrap(ddraw_exchange_primary(&lost));
        screen_unlock(1, 0);
        dd->fill_line(3, stripes);
        if (closes) {
            ASSERT_TRUE(eventually([&] { return refused.calls() >= 1; }));
            const ULONGLONG start = ::GetTickCount64();
            dd.reset();
            EXPECT_LT(::GetTickCount64() - start, 5000u);
            EXPECT_LT(refused.calls(), 4) << "a set-up after the screen closed";
            continue;
        }
        EXPECT_TRUE(eventually([&] { return refused.calls() >= 4 && ddraw_status().running; }));
        EXPECT_TRUE(eventually([&] { return dd->screen().dirty[3] == 0; }));
        dd->settle();
        expect_palette_row(*dd, 3, stripes);
    }
}

TEST_F(DDrawFaults, AModeListTheSystemRefusesIsEmpty) {
    MethodFault<&IDirectDraw2::EnumDisplayModes> refused(direct_draw_, DDERR_GENERIC);
    int count = -1;
    EXPECT_EQ(ddraw_driver.fetch_modes(32, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ddraw_driver.fetch_modes(32, nullptr), nullptr);
    EXPECT_EQ(refused.calls(), 2);
}

// The screen set-up's choice among the real drivers.
class DriverChoice : public ::testing::Test {
  protected:
    void TearDown() override {
        override_driver_choice(nullptr);
        screen_exit_handler();
    }
    const DisplayDriver* open(ModeFlags flags, const char* zered = nullptr) {
        choice_ = {driver_selection_list(), zered};
        override_driver_choice(&choice_);
        if (screen_open_sized(400, 80, 8, 1, flags, 0) != 0) return nullptr;
        return current_screen()->driver;
    }
    DriverChoiceOverride choice_;
};

TEST_F(DriverChoice, DirectDrawComesFirstAndFallsBackToGdi) {
    const auto list = driver_selection_list();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_STREQ(list[0]->name, "DirectX");
    EXPECT_STREQ(list[1]->name, "GDI");
    EXPECT_STREQ(list[2]->name, "OpenGL");

    EXPECT_EQ(open(0), &ddraw_driver);
    EXPECT_NE(::GetModuleHandleA("dinput.dll"), nullptr);
    EXPECT_EQ(open(0, "gdi"), &gdi_driver);
    EXPECT_EQ(::GetModuleHandleA("dinput.dll"), nullptr);
    // A screen DirectDraw refuses goes to GDI.
    EXPECT_EQ(open(MODE_SHAPED_WINDOW), &gdi_driver);
}

} // namespace
