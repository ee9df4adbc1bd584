// The OpenGL driver under Wine with Mesa's software renderer: the window and its context, a frame
// drawn with GL calls shown by the flip slot, messages handled only when the poll slot runs, the
// pixel format asked for and how it is chosen, the window's style and place, the mode list, screens
// without MODE_OPENGL refused, and a start that fails at any step leaving nothing behind.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "gfx/screen/screen_setup.h"
#include "gfx/win32/driver_screen.h"
#include "gfx/win32/gdi_screen.h"
#include "gfx/win32/opengl_driver.h"
#include "gfx/win32/planted_calls.h"

namespace {

using namespace zered;
using namespace gditest;
using namespace drivertest;

// Every style of a window's frame.
constexpr DWORD frame = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

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

// --- The system's calls as the driver makes them ---------------------------------------------
//
// The driver reaches the system through the program's import entries and looks up every OpenGL
// entry point with GetProcAddress. Pointing an import entry elsewhere lets a test watch those
// calls and make any one of them fail, without the driver knowing.

// What a test asks of the system, and what the driver asked of it.
struct Calls {
    // Set-up.
    bool refuse_library = false;          // LoadLibraryA("opengl32.dll") fails
    std::string missing;                  // the library has no entry point of this name
    const char* refuse_window = nullptr;  // no window of this title can be made
    bool refuse_window_dc = false;        // the screen's window gives no device context
    int refuse_context = 0;               // the wglCreateContext call of this number (from 1) fails
    int refuse_set_format = 0;            // likewise for SetPixelFormat
    bool refuse_classic_choice = false;   // ChoosePixelFormat finds nothing for the screen's window
    const char* gl_extensions = nullptr;  // glGetString(GL_EXTENSIONS) instead of the real one
    bool no_arb_string = false;           // no wglGetExtensionsStringARB
    bool no_ext_string = false;           // no wglGetExtensionsStringEXT
    const char* wgl_extensions = nullptr; // what either returns instead of the real string
    // wglChoosePixelFormatARB: 0 the real one; otherwise it answers with the probe's format for
    // a list whose sample count is at most accept_samples, and fails (FALSE) or finds nothing.
    bool fake_choice = false;
    int accept_samples = 0;
    int chosen_format = 0;     // what it answers instead of the probe's format (0: the probe's)
    bool choice_fails = false; // FALSE, though with a format and a count of 1

    // Seen.
    HMODULE library = nullptr;
    int loads = 0, frees = 0;
    std::vector<std::string> wgl_names; // asked of wglGetProcAddress
    std::vector<HDC> arb_dcs;           // passed to wglGetExtensionsStringARB
    std::vector<HGLRC> created, deleted;
    std::vector<std::pair<HDC, HGLRC>> made_current;
    struct FormatSet {
        HDC dc;
        int format;
        PIXELFORMATDESCRIPTOR pfd;
    };
    std::vector<FormatSet> formats_set;
    std::vector<PIXELFORMATDESCRIPTOR> classic_choices;
    std::vector<int>
        choice_samples; // the WGL_SAMPLES_ARB value of each wglChoosePixelFormatARB list, -1 none
    std::vector<unsigned> enabled; // glEnable
    std::vector<UINT> placements;  // SetWindowPos flags for the screen's window
    std::vector<int> shows;        // ShowWindow commands for it
    int restores = 0;              // ChangeDisplaySettingsA(nullptr, 0): the desktop's mode back
    int screen_dcs = 0;            // GetDC(nullptr): the whole screen's, never the driver's to use

    // The real functions behind the replacements.
    decltype(&::GetProcAddress) get_proc = nullptr;
    PROC(WINAPI* wgl_get_proc)(LPCSTR) = nullptr;
    HGLRC(WINAPI* create)(HDC) = nullptr;
    BOOL(WINAPI* make_current)(HDC, HGLRC) = nullptr;
    BOOL(WINAPI* delete_context)(HGLRC) = nullptr;
    const unsigned char*(WINAPI* get_string)(unsigned) = nullptr;
    void(WINAPI* enable)(unsigned) = nullptr;
    const char*(WINAPI* arb)(HDC) = nullptr;
    const char*(WINAPI* ext)() = nullptr;
    BOOL(WINAPI* choose)(HDC, const int*, const FLOAT*, UINT, int*, UINT*) = nullptr;
};
Calls* calls = nullptr;

template <typename Fn> FARPROC as_proc(Fn fn) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(fn));
}
template <typename Fn> void take(Fn& to, FARPROC from) {
    to = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(from));
}

const char* WINAPI arb_string(HDC dc) {
    calls->arb_dcs.push_back(dc);
    return calls->wgl_extensions ? calls->wgl_extensions : calls->arb ? calls->arb(dc) : nullptr;
}
const char* WINAPI ext_string() {
    return calls->wgl_extensions ? calls->wgl_extensions : calls->ext ? calls->ext() : nullptr;
}
BOOL WINAPI choose_format(HDC dc, const int* list, const FLOAT* floats, UINT most, int* format,
                          UINT* count) {
    int samples = -1;
    for (const int* at = list; *at != 0; at += 2)
        if (at[0] == WGL_SAMPLES_ARB) samples = at[1];
    calls->choice_samples.push_back(samples);
    if (!calls->fake_choice)
        return calls->choose && calls->choose(dc, list, floats, most, format, count);
    const bool accept = samples <= calls->accept_samples;
    const int answer =
        calls->chosen_format ? calls->chosen_format : calls->formats_set.at(0).format;
    *format = accept || calls->choice_fails ? answer : 0;
    *count = accept || calls->choice_fails ? 1 : 0;
    return accept && !calls->choice_fails;
}
PROC WINAPI wgl_get_proc(LPCSTR name) {
    calls->wgl_names.push_back(name);
    const PROC real = calls->wgl_get_proc(name);
    const std::string n = name;
    if (n == "wglGetExtensionsStringARB") {
        take(calls->arb, real);
        return calls->no_arb_string ? nullptr : as_proc(arb_string);
    }
    if (n == "wglGetExtensionsStringEXT") {
        take(calls->ext, real);
        return calls->no_ext_string ? nullptr : as_proc(ext_string);
    }
    if (n == "wglChoosePixelFormatARB") {
        take(calls->choose, real);
        return real || calls->fake_choice ? as_proc(choose_format) : nullptr;
    }
    return real;
}
HGLRC WINAPI create_context(HDC dc) {
    if (static_cast<int>(calls->created.size()) + 1 == calls->refuse_context) {
        calls->created.push_back(nullptr);
        return nullptr;
    }
    calls->created.push_back(calls->create(dc));
    return calls->created.back();
}
BOOL WINAPI make_current(HDC dc, HGLRC context) {
    calls->made_current.emplace_back(dc, context);
    return calls->make_current(dc, context);
}
BOOL WINAPI delete_context(HGLRC context) {
    calls->deleted.push_back(context);
    return calls->delete_context(context);
}
const unsigned char* WINAPI get_string(unsigned name) {
    if (name == 0x1F03 && calls->gl_extensions)
        return reinterpret_cast<const unsigned char*>(calls->gl_extensions);
    return calls->get_string(name);
}
void WINAPI enable(unsigned capability) {
    calls->enabled.push_back(capability);
    calls->enable(capability);
}

FARPROC WINAPI get_proc_address(HMODULE module, LPCSTR name) {
    const FARPROC real = calls->get_proc(module, name);
    if (module != calls->library || HIWORD(reinterpret_cast<ULONG_PTR>(name)) == 0) return real;
    const std::string n = name;
    if (n == calls->missing) return nullptr;
    const std::pair<const char*, FARPROC> replaced[] = {
        {"wglGetProcAddress", as_proc(wgl_get_proc)}, {"wglCreateContext", as_proc(create_context)},
        {"wglMakeCurrent", as_proc(make_current)},    {"wglDeleteContext", as_proc(delete_context)},
        {"glGetString", as_proc(get_string)},         {"glEnable", as_proc(enable)}};
    if (n == "wglGetProcAddress") take(calls->wgl_get_proc, real);
    if (n == "wglCreateContext") take(calls->create, real);
    if (n == "wglMakeCurrent") take(calls->make_current, real);
    if (n == "wglDeleteContext") take(calls->delete_context, real);
    if (n == "glGetString") take(calls->get_string, real);
    if (n == "glEnable") take(calls->enable, real);
    for (const auto& [which, replacement] : replaced)
        if (n == which) return replacement;
    return real;
}

// Watches (and where asked, refuses) the driver's calls while it lives.
class SystemCalls : public Calls {
  public:
    SystemCalls() {
        calls = this;
        get_proc = get_proc_patch.original<decltype(get_proc)>();
    }
    ~SystemCalls() { calls = nullptr; }

  private:
    static SystemCalls& self() { return *static_cast<SystemCalls*>(calls); }
    template <auto Fn> static auto real(const ImportPatch& patch) {
        return patch.original<decltype(Fn)>();
    }
    static HMODULE WINAPI load_library(LPCSTR name) {
        const auto load = real<&::LoadLibraryA>(self().load_patch);
        if (_stricmp(name, "opengl32.dll") != 0) return load(name);
        ++calls->loads;
        if (calls->refuse_library) {
            ::SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        return calls->library = load(name);
    }
    static BOOL WINAPI free_library(HMODULE module) {
        if (module == calls->library) ++calls->frees;
        return real<&::FreeLibrary>(self().free_patch)(module);
    }
    static HWND WINAPI create_window(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style,
                                     int x, int y, int width, int height, HWND parent, HMENU menu,
                                     HINSTANCE instance, LPVOID parameter) {
        if (calls->refuse_window && title && std::strcmp(title, calls->refuse_window) == 0)
            return nullptr;
        return real<&::CreateWindowExA>(self().window_patch)(ex_style, class_name, title, style, x,
                                                             y, width, height, parent, menu,
                                                             instance, parameter);
    }
    static HDC WINAPI get_dc(HWND window) {
        if (!window) ++calls->screen_dcs;
        if (calls->refuse_window_dc && window && window == zered::window_state().window)
            return nullptr;
        return real<&::GetDC>(self().dc_patch)(window);
    }
    static int WINAPI choose_classic(HDC dc, const PIXELFORMATDESCRIPTOR* pfd) {
        calls->classic_choices.push_back(*pfd);
        // The probe's choice comes first.
        if (calls->refuse_classic_choice && calls->classic_choices.size() > 1) return 0;
        return real<&::ChoosePixelFormat>(self().classic_patch)(dc, pfd);
    }
    static BOOL WINAPI set_format(HDC dc, int format, const PIXELFORMATDESCRIPTOR* pfd) {
        calls->formats_set.push_back({dc, format, *pfd});
        if (static_cast<int>(calls->formats_set.size()) == calls->refuse_set_format) return FALSE;
        return real<&::SetPixelFormat>(self().set_patch)(dc, format, pfd);
    }
    static BOOL WINAPI set_window_pos(HWND window, HWND after, int x, int y, int width, int height,
                                      UINT flags) {
        if (window == zered::window_state().window) calls->placements.push_back(flags);
        return real<&::SetWindowPos>(self().pos_patch)(window, after, x, y, width, height, flags);
    }

    ImportPatch get_proc_patch{"GetProcAddress", reinterpret_cast<void*>(get_proc_address)};
    ImportPatch load_patch{"LoadLibraryA", reinterpret_cast<void*>(load_library)};
    ImportPatch free_patch{"FreeLibrary", reinterpret_cast<void*>(free_library)};
    ImportPatch window_patch{"CreateWindowExA", reinterpret_cast<void*>(create_window)};
    ImportPatch dc_patch{"GetDC", reinterpret_cast<void*>(get_dc)};
    ImportPatch classic_patch{"ChoosePixelFormat", reinterpret_cast<void*>(choose_classic)};
    ImportPatch set_patch{"SetPixelFormat", reinterpret_cast<void*>(set_format)};
    static BOOL WINAPI show_window(HWND window, int command) {
        if (window && window == zered::window_state().window) calls->shows.push_back(command);
        return real<&::ShowWindow>(self().show_patch)(window, command);
    }
    static LONG WINAPI change_display(DEVMODEA* mode, DWORD flags) {
        if (!mode && flags == 0) ++calls->restores;
        return real<&::ChangeDisplaySettingsA>(self().display_patch)(mode, flags);
    }

    ImportPatch show_patch{"ShowWindow", reinterpret_cast<void*>(show_window)};
    ImportPatch display_patch{"ChangeDisplaySettingsA", reinterpret_cast<void*>(change_display)};
    ImportPatch pos_patch{"SetWindowPos", reinterpret_cast<void*>(set_window_pos)};
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
    for (const auto& [r, g, b, rgb] :
         {std::tuple{1.0f, 0.0f, 0.0f, 0xFF0000u}, std::tuple{0.0f, 0.5f, 1.0f, 0x0080FFu}}) {
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
        })) << std::hex
            << gl.read_row(240)[320];
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

    // The poll slot also reads the keys held, while the window is the active one.
    ASSERT_EQ(window_state().active, 1);
    for (const bool held : {true, false}) {
        hold_a(held);
        EXPECT_TRUE(eventually([&] {
            opengl_driver.poll_events();
            return gl.screen().key_state[0x1E] == (held ? 1 : 0);
        })) << held;
    }
    take_events();
    take_keys();

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
        // Full screen keeps nothing of the window's frame; the window gets it back.
        const auto style = static_cast<DWORD>(::GetWindowLongA(window, GWL_STYLE));
        EXPECT_EQ(style & (frame | WS_POPUP),
                  full ? DWORD{WS_POPUP}
                       : DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX});
        expect_window_matches_flags(1024, 768, own, 16);
        // Read again from the window's device context.
        EXPECT_EQ(gl.screen().refresh_rate, reported);
    }
}

TEST(OpenGLDriver, PixelFormatRequestFollowsTheDepthAndFlags) {
    {
        OpenGLScreen gl(64, 48, 16);
        ASSERT_EQ(gl.init_result(), 0);
        EXPECT_EQ(
            opengl_last_request().sizes,
            (PixelRequest{.colour = 16, .red = 5, .green = 5, .blue = 5, .alpha = 0, .depth = 16}));
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

// What a closed screen leaves: no window or class of its own, every context it made deleted and
// none current, the library let go, the desktop's own display mode.
void expect_nothing_left(const Calls& seen, const DisplayMode& own) {
    EXPECT_EQ(::FindWindowA("zeredclass_zered gl", nullptr), nullptr);
    EXPECT_FALSE(class_registered("zeredclass_zered gl"));
    std::vector<HGLRC> made;
    std::copy_if(seen.created.begin(), seen.created.end(), std::back_inserter(made),
                 [](HGLRC c) { return c != nullptr; });
    std::vector<HGLRC> deleted = seen.deleted;
    std::sort(made.begin(), made.end());
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, made);
    if (!made.empty()) {
        EXPECT_EQ(seen.made_current.back(), (std::pair<HDC, HGLRC>{nullptr, nullptr}));
    }
    EXPECT_EQ(seen.frees, seen.library ? 1 : 0);
    EXPECT_EQ(desktop(), own);
}

TEST(OpenGLDriver, StartFailsAtAnyStepThatFailsAndLeavesNothingBehind) {
    const DisplayMode own = desktop();
    struct Step {
        const char* name;
        void (*arrange)(Calls&);
        int width, height;
        ModeFlags flags = MODE_OPENGL;
    };
    const Step steps[] = {
        {"library", [](Calls& c) { c.refuse_library = true; }, 64, 48},
        {"wglCreateContext", [](Calls& c) { c.missing = "wglCreateContext"; }, 64, 48},
        {"wglMakeCurrent", [](Calls& c) { c.missing = "wglMakeCurrent"; }, 64, 48},
        {"wglDeleteContext", [](Calls& c) { c.missing = "wglDeleteContext"; }, 64, 48},
        {"probe window", [](Calls& c) { c.refuse_window = "OpenGL setup"; }, 64, 48},
        {"first GL function", [](Calls& c) { c.missing = "glEnable"; }, 64, 48},
        {"last GL function", [](Calls& c) { c.missing = "glTexImage2D"; }, 64, 48},
        {"GL_EXT_bgra", [](Calls& c) { c.gl_extensions = "GL_EXT_abgr GL_EXT_bgrx"; }, 64, 48},
        // The display has no 800 by 600 mode.
        {"display mode", [](Calls&) {}, 800, 600, MODE_OPENGL | MODE_FULLSCREEN},
        {"window", [](Calls& c) { c.refuse_window = "zered gl"; }, 64, 48},
        {"device context", [](Calls& c) { c.refuse_window_dc = true; }, 64, 48},
        {"classic choice",
         [](Calls& c) {
             c.no_arb_string = c.no_ext_string = true;
             c.refuse_classic_choice = true;
         },
         64, 48},
        {"pixel format", [](Calls& c) { c.refuse_set_format = 2; }, 64, 48},
        {"context", [](Calls& c) { c.refuse_context = 2; }, 64, 48},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        SystemCalls seen;
        step.arrange(seen);
        {
            OpenGLScreen gl(step.width, step.height, 32, step.flags);
            EXPECT_EQ(gl.init_result(), -1);
            if (!seen.library) {
                EXPECT_EQ(gl.window(), nullptr);
            }
        }
        EXPECT_EQ(seen.screen_dcs, 0) << "a pixel format or context for the whole screen";
        if (std::strcmp(step.name, "probe window") == 0) {
            EXPECT_TRUE(seen.wgl_names.empty()) << "extensions read without the probe's context";
        }
        expect_nothing_left(seen, own);
    }
}

TEST(OpenGLDriver, PixelFormatComesFromTheExtendedChoiceWhereOfferedElseTheClassicOne) {
    const DisplayMode own = desktop();
    struct Setup {
        const char* name;
        void (*arrange)(Calls&);
        int depth;
        ModeFlags flags;
        std::vector<int> samples_asked; // of wglChoosePixelFormatARB; -1 for a list without
        bool extended;                  // the format is the extended choice's
        bool multisample;
    };
    const Setup setups[] = {
        {"the library's own", [](Calls&) {}, 32, MODE_OPENGL, {-1}, true, false},
        {"named by the EXT string",
         [](Calls& c) {
             c.no_arb_string = true;
             c.wgl_extensions = "WGL_ARB_pixel_format";
             c.fake_choice = true;
         },
         16,
         MODE_OPENGL | MODE_STENCIL_BUFFER,
         {-1},
         true,
         false},
        {"not named",
         [](Calls& c) { c.wgl_extensions = "WGL_ARB_pixel_formats WGL_EXT_swap_control"; },
         32,
         MODE_OPENGL | MODE_ACCUMULATION_BUFFER,
         {},
         false,
         false},
        {"no WGL string",
         [](Calls& c) { c.no_arb_string = c.no_ext_string = true; },
         16,
         MODE_OPENGL | MODE_MULTISAMPLE,
         {},
         false,
         false},
        {"the first format of all",
         [](Calls& c) {
             c.fake_choice = true;
             c.chosen_format = 1;
         },
         32,
         MODE_OPENGL,
         {-1},
         true,
         false},
        {"fewer samples",
         [](Calls& c) {
             c.fake_choice = true;
             c.accept_samples = 2;
         },
         32,
         MODE_OPENGL | MODE_MULTISAMPLE | MODE_STENCIL_BUFFER,
         {4, 2},
         true,
         true},
        {"no samples at all",
         [](Calls& c) {
             c.fake_choice = true;
             c.accept_samples = -100;
         },
         32,
         MODE_OPENGL | MODE_MULTISAMPLE,
         {4, 2, 0},
         false,
         false},
        {"choice fails",
         [](Calls& c) {
             c.fake_choice = true;
             c.accept_samples = 100;
             c.choice_fails = true;
         },
         32,
         MODE_OPENGL | MODE_MULTISAMPLE,
         {4, 2, 0},
         false,
         false},
        {"nothing found, no retry without samples",
         [](Calls& c) {
             c.fake_choice = true;
             c.accept_samples = -100;
         },
         32,
         MODE_OPENGL,
         {-1},
         false,
         false},
    };
    for (const Setup& setup : setups) {
        SCOPED_TRACE(setup.name);
        SystemCalls seen;
        setup.arrange(seen);
        {
            OpenGLScreen gl(64, 48, setup.depth, setup.flags);
            ASSERT_EQ(gl.init_result(), 0);
            EXPECT_EQ(seen.choice_samples, setup.samples_asked);
            // The probe's format first, from the classic choice and the bare descriptor; then
            // the window's, from the descriptor with the sizes asked for.
            ASSERT_EQ(seen.formats_set.size(), 2u);
            const auto& [probe_dc, probe_format, probe] = seen.formats_set[0];
            const auto& [window_dc, format, pfd] = seen.formats_set[1];
            EXPECT_NE(probe_dc, window_dc);
            for (const PIXELFORMATDESCRIPTOR* d : {&probe, &pfd}) {
                EXPECT_EQ(d->nSize, sizeof(PIXELFORMATDESCRIPTOR));
                EXPECT_EQ(d->nVersion, 1);
                EXPECT_EQ(d->dwFlags,
                          DWORD{PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER});
                EXPECT_EQ(d->iPixelType, PFD_TYPE_RGBA);
            }
            EXPECT_EQ(probe.cColorBits, 0);
            EXPECT_EQ(probe.cDepthBits, 32);
            const PixelRequest r = opengl_last_request().sizes;
            EXPECT_EQ(std::vector<int>({pfd.cColorBits, pfd.cRedBits, pfd.cGreenBits, pfd.cBlueBits,
                                        pfd.cAlphaBits, pfd.cDepthBits, pfd.cAccumBits,
                                        pfd.cAccumRedBits, pfd.cAccumGreenBits, pfd.cAccumBlueBits,
                                        pfd.cAccumAlphaBits, pfd.cStencilBits}),
                      std::vector<int>({r.colour, r.red, r.green, r.blue, r.alpha, r.depth, r.accum,
                                        r.accum_red, r.accum_green, r.accum_blue, r.accum_alpha,
                                        r.stencil}));
            // The extended choice leaves the classic one to the probe.
            EXPECT_EQ(seen.classic_choices.size(), setup.extended ? 1u : 2u);
            if (seen.fake_choice && setup.extended) {
                EXPECT_EQ(format, seen.chosen_format ? seen.chosen_format : probe_format);
            }
            if (!seen.no_arb_string) {
                EXPECT_EQ(seen.arb_dcs, std::vector<HDC>{probe_dc});
            }

            // The probe's context is current only while the strings are read, and gone before
            // the window's is made.
            ASSERT_EQ(seen.created.size(), 2u);
            EXPECT_EQ(seen.made_current,
                      (std::vector<std::pair<HDC, HGLRC>>{{probe_dc, seen.created[0]},
                                                          {nullptr, nullptr},
                                                          {window_dc, seen.created[1]}}));
            EXPECT_EQ(seen.deleted, std::vector<HGLRC>{seen.created[0]});
            EXPECT_EQ(::FindWindowA(nullptr, "OpenGL setup"), nullptr);

            EXPECT_EQ(opengl_last_request().multisample, setup.multisample);
            EXPECT_EQ(std::count(seen.enabled.begin(), seen.enabled.end(), 0x809Du),
                      setup.multisample ? 1 : 0);
        }
        expect_nothing_left(seen, own);
    }
}

TEST(OpenGLDriver, WindowStyleAndPlaceFollowTheFlags) {
    const DisplayMode own = desktop();
    if (own.first != xga) GTEST_SKIP() << "needs a 1024 by 768 desktop";
    constexpr UINT windowed =
        SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
    struct Case {
        ModeFlags flags;
        int width, height;
        DWORD style; // of the frame styles and WS_POPUP
        UINT placement;
    };
    const Case cases[] = {
        {MODE_OPENGL, 320, 200, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
         windowed},
        {MODE_OPENGL | MODE_NO_SWITCH, 320, 200, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
         windowed},
        {MODE_OPENGL | MODE_NO_FRAME, 320, 200, WS_POPUP, windowed},
        {MODE_OPENGL | MODE_FULLSCREEN, 1024, 768, WS_POPUP, SWP_FRAMECHANGED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        SystemCalls seen;
        {
            OpenGLScreen gl(c.width, c.height, 16, c.flags);
            ASSERT_EQ(gl.init_result(), 0);
            const auto style = static_cast<DWORD>(::GetWindowLongA(gl.window(), GWL_STYLE));
            EXPECT_EQ(style & (frame | WS_POPUP), c.style);
            ASSERT_FALSE(seen.placements.empty());
            EXPECT_EQ(seen.placements.back(), c.placement);
            EXPECT_EQ(window_state().active, 1);
            if (c.flags & MODE_NO_FRAME) {
                RECT client{};
                ::GetClientRect(gl.window(), &client);
                EXPECT_EQ(client.right, c.width);
                EXPECT_EQ(client.bottom, c.height);
            } else {
                expect_window_matches_flags(c.width, c.height, own, 16);
            }
            if (!(c.flags & MODE_FULLSCREEN)) {
                expect_centred(gl.window());
            }
            EXPECT_EQ(seen.shows, std::vector<int>{SW_SHOW});
            // The switch hides the window while the display mode goes back, then places it
            // again as a window.
            if (c.flags & MODE_FULLSCREEN) {
                EXPECT_EQ(seen.restores, 0);
                press_alt_enter(gl.window());
                opengl_driver.poll_events();
                EXPECT_EQ(seen.shows, (std::vector<int>{SW_SHOW, SW_HIDE, SW_SHOW}));
                EXPECT_EQ(seen.placements.back(), windowed);
                EXPECT_EQ(seen.restores, 1);
                expect_window_matches_flags(c.width, c.height, own, 16);
            }
        }
        expect_nothing_left(seen, own);
        // Only a mode the driver set is put back, and only once.
        EXPECT_EQ(seen.restores, c.flags & MODE_FULLSCREEN ? 1 : 0);
    }
}

TEST(OpenGLDriver, ModeListHoldsOnlyModesOfTheExactDepth) {
    // The test display offers its one size at 8, 16 and 32 bits, and nothing at 24 or 15; GDI's
    // list would give the 32-bit modes for 24.
    for (const auto& [depth, listed] :
         {std::pair{8, true}, {16, true}, {32, true}, {24, false}, {15, false}}) {
        SCOPED_TRACE(depth);
        int count = -1;
        const std::uint32_t* modes = opengl_driver.fetch_modes(depth, &count);
        if (listed) {
            ASSERT_NE(modes, nullptr);
            EXPECT_EQ(std::vector(modes, modes + count), std::vector<std::uint32_t>{xga});
        } else {
            EXPECT_EQ(modes, nullptr);
            EXPECT_EQ(count, 0);
        }
        std::free(const_cast<std::uint32_t*>(modes));
    }
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
