// The OpenGL driver under Wine with Mesa's software renderer: the window and its context, a frame
// drawn with GL calls shown by the flip slot, messages handled only when the poll slot runs, the
// pixel format asked for, and screens without MODE_OPENGL refused.
#include <algorithm>
#include <cstdlib>

#include "gfx/screen/screen_setup.h"
#include "gfx/win32/driver_screen.h"
#include "gfx/win32/gdi_screen.h"
#include "gfx/win32/opengl_driver.h"

namespace {

using namespace zered;
using namespace gditest;
using namespace drivertest;

inline constexpr unsigned int gl_color_buffer_bit = 0x4000;
inline constexpr unsigned int gl_sample_buffers = 0x80A8;

// The GL calls a program makes, from the library the driver loaded.
struct Gl {
    void(WINAPI* clear_color)(float, float, float, float);
    void(WINAPI* clear)(unsigned int);
    void(WINAPI* finish)();
    void(WINAPI* get_integer)(unsigned int, int*);
    static Gl load() {
        const HMODULE library = ::GetModuleHandleA("opengl32.dll");
        const auto find = [library](const char* name) {
            return reinterpret_cast<void (*)()>(::GetProcAddress(library, name));
        };
        return {reinterpret_cast<decltype(clear_color)>(find("glClearColor")),
                reinterpret_cast<decltype(clear)>(find("glClear")),
                reinterpret_cast<decltype(finish)>(find("glFinish")),
                reinterpret_cast<decltype(get_integer)>(find("glGetIntegerv"))};
    }
};

// A screen on the OpenGL driver, 32 bits unless said otherwise.
struct OpenGLScreen : DriverScreen {
    OpenGLScreen(int width, int height, int depth, ModeFlags flags = MODE_OPENGL)
        : DriverScreen(opengl_driver, {.width = width, .height = height, .depth = depth}, flags,
                       "zered gl") {}
};

TEST(OpenGLDriver, FrameClearedWithGlShowsAfterTheFlip) {
    OpenGLScreen gl(640, 480, 32);
    ASSERT_EQ(gl.init_result(), 0);
    ASSERT_TRUE(::IsWindowVisible(gl.window()));
    expect_centred(gl.window());
    RECT client;
    ASSERT_TRUE(::GetClientRect(gl.window(), &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    EXPECT_EQ(::GetWindowThreadProcessId(gl.window(), nullptr), ::GetCurrentThreadId())
        << "the window lives on the program's thread";

    const Gl calls = Gl::load();
    ASSERT_NE(calls.clear, nullptr);
    for (const auto& [r, g, b, rgb] : {std::tuple{1.0f, 0.0f, 0.0f, 0xFF0000u},
                                       std::tuple{0.0f, 0.5f, 1.0f, 0x0080FFu}}) {
        calls.clear_color(r, g, b, 1.0f);
        calls.clear(gl_color_buffer_bit);
        opengl_driver.flip();
        opengl_driver.poll_events();
        EXPECT_TRUE(eventually([&] {
            calls.finish();
            // Whole rows at the top, middle and bottom; the low bit is left to rounding.
            for (int y : {0, 240, 479})
                for (std::uint32_t pixel : gl.read_row(y))
                    if ((pixel & 0xFEFEFE) != (rgb & 0xFEFEFE)) return false;
            return true;
        })) << std::hex << gl.read_row(240)[320];
    }
}

TEST(OpenGLDriver, MessagesAreHandledOnlyWhenThePollSlotRuns) {
    OpenGLScreen gl(320, 200, 32);
    ASSERT_EQ(gl.init_result(), 0);
    opengl_driver.poll_events();
    take_events();
    take_keys();
    // The key press; translating it posts the character.
    ::PostMessageA(gl.window(), WM_KEYDOWN, 'A', 1 | 0x1E << 16);
    ::Sleep(50);
    EXPECT_TRUE(take_events().empty()) << "no thread of the driver's handles them";
    EXPECT_TRUE(take_keys().empty());
    opengl_driver.poll_events();
    const std::vector<Event> events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, 1);
    EXPECT_EQ(events[0].field1, 0x1E);
    EXPECT_EQ(take_keys(), std::vector<std::int32_t>{'a'});

    // The close button: the close-window key, and the window stays.
    ::PostMessageA(gl.window(), WM_CLOSE, 0, 0);
    opengl_driver.poll_events();
    EXPECT_EQ(take_keys(), std::vector<std::int32_t>{0x6BFF});
    EXPECT_TRUE(::IsWindow(gl.window()));
}

TEST(OpenGLDriver, MaximiseBoxAndAltEnterSwitchWithGeometryFlagsAndRateInStep) {
    const DisplayMode own = desktop();
    if (own.first != xga) GTEST_SKIP() << "needs a 1024 by 768 desktop";
    // 16 bits, so that the full-screen mode differs from the desktop's.
    OpenGLScreen gl(1024, 768, 16);
    ASSERT_EQ(gl.init_result(), 0);
    EXPECT_EQ(gl.screen().refresh_rate, 0) << "read before the window has a device context";
    const HWND window = gl.window();
    const int reported = reported_refresh_rate(window);

    // Each step and whether it leaves the screen in full screen. The switch keeps the window.
    const std::pair<void (*)(HWND), bool> steps[] = {
        {press_maximise, true},
        // The window is no longer zoomed, so a restore has nothing to undo.
        {[](HWND w) { ::SendMessageA(w, WM_SYSCOMMAND, SC_RESTORE, 0); }, true},
        {press_alt_enter, false},
        {press_maximise, true},
        {press_alt_enter, false},
        // A maximised size message that the switch's own placement brings is not a request for
        // another switch.
        {[](HWND w) {
             static int (*const driver_setup)() = window_state().window_setup_hook;
             static int setups = 0;
             window_state().window_setup_hook = [] {
                 const int result = driver_setup();
                 if (setups++ == 0)
                     ::SendMessageA(window_state().window, WM_SIZE, SIZE_MAXIMIZED, 0);
                 return result;
             };
             press_alt_enter(w);
             window_state().window_setup_hook = driver_setup;
             EXPECT_EQ(setups, 1);
         },
         true},
    };
    int step = 0;
    for (const auto& [press, full] : steps) {
        SCOPED_TRACE(step++);
        press(window);
        opengl_driver.poll_events();
        ASSERT_EQ(gl.window(), window);
        EXPECT_EQ((window_state().flags & MODE_FULLSCREEN) != 0, full);
        expect_window_matches_flags(1024, 768, own, 16);
        // Read again from the window's device context.
        EXPECT_EQ(gl.screen().refresh_rate, reported);
    }
}

TEST(OpenGLDriver, PixelFormatRequestFollowsTheDepthAndFlags) {
    {
        OpenGLScreen gl(64, 48, 16);
        ASSERT_EQ(gl.init_result(), 0);
        EXPECT_EQ(opengl_last_request().sizes, (PixelRequest{.colour = 16, .red = 5, .green = 5,
                                                             .blue = 5, .alpha = 0, .depth = 16}));
    }
    {
        OpenGLScreen gl(64, 48, 32,
                        MODE_OPENGL | MODE_STENCIL_BUFFER | MODE_ACCUMULATION_BUFFER |
                            MODE_MULTISAMPLE);
        ASSERT_EQ(gl.init_result(), 0);
        const PixelRequest asked = opengl_last_request().sizes;
        EXPECT_EQ(asked.alpha, 8);
        EXPECT_EQ(asked.stencil, 8);
        EXPECT_EQ(asked.samples, 4);
        // Multisampling is switched on exactly where the format chosen has sample buffers.
        int sample_buffers = -1;
        Gl::load().get_integer(gl_sample_buffers, &sample_buffers);
        EXPECT_EQ(opengl_last_request().multisample, sample_buffers > 0) << sample_buffers;
    }
    // The defaults of one screen do not stay for the next.
    OpenGLScreen gl(64, 48, 16);
    ASSERT_EQ(gl.init_result(), 0);
    EXPECT_EQ(opengl_last_request().sizes.colour, 16);
    EXPECT_EQ(opengl_last_request().sizes.samples, 0);
}

TEST(OpenGLDriver, ScreensWithoutOpenGLAreRefusedBeforeAnythingIsMade) {
    {
        OpenGLScreen refused(400, 80, 8, 0);
        EXPECT_EQ(refused.init_result(), -1);
        EXPECT_EQ(refused.window(), nullptr);
        EXPECT_FALSE(class_registered("zeredclass_zered gl"));
        EXPECT_EQ(window_state().running, 0);
    }
    // Closing leaves nothing either, and the next screen gets a new context.
    {
        OpenGLScreen gl(64, 48, 32);
        ASSERT_EQ(gl.init_result(), 0);
    }
    EXPECT_EQ(::FindWindowA("zeredclass_zered gl", nullptr), nullptr);
    EXPECT_FALSE(class_registered("zeredclass_zered gl"));
    OpenGLScreen again(64, 48, 32);
    EXPECT_EQ(again.init_result(), 0);
}

TEST(OpenGLDriver, ModeListHoldsOnlyModesOfTheExactDepth) {
    int count = -1, none = -1;
    const std::uint32_t* modes = opengl_driver.fetch_modes(32, &count);
    EXPECT_NE(std::find(modes, modes + count, std::uint32_t{1024} << 16 | 768), modes + count);
    std::free(const_cast<std::uint32_t*>(modes));
    // The test display has no 24-bit modes; GDI's list would give the 32-bit ones here.
    EXPECT_EQ(opengl_driver.fetch_modes(24, &none), nullptr);
    EXPECT_EQ(none, 0);
}

TEST(OpenGLDriver, SetUpChoosesItOnlyForOpenGLScreens) {
    ASSERT_EQ(screen_open_sized(640, 480, 32, 1, MODE_OPENGL, 0), 0);
    EXPECT_EQ(current_screen()->driver, &opengl_driver);
    EXPECT_EQ(current_screen()->depth, 32);
    ASSERT_EQ(screen_open_sized(640, 480, 8, 1, MODE_OPENGL, 0), 0);
    EXPECT_EQ(current_screen()->depth, 16) << "an OpenGL screen has at least 16 bits";
    EXPECT_EQ(opengl_last_request().sizes.colour, 16);
    ASSERT_EQ(screen_open_sized(640, 480, 32, 1, 0, 0), 0);
    EXPECT_NE(current_screen()->driver, &opengl_driver);
    screen_exit_handler();
}

} // namespace
