// The OpenGL driver. Its window lives on the program's thread, which also holds the rendering
// context; the window layer starts no driver thread for it and driver_lock is never made.
//
// The start runs a probe first: a throw-away window and context, needed because the extension
// strings and wglChoosePixelFormatARB can only be had with a context current. The real window then
// gets its pixel format from wglChoosePixelFormatARB where the driver offers it (retrying with
// fewer samples), else from the classic ChoosePixelFormat.
#include <windows.h>

#include <algorithm>
#include <array>
#include <string>

#include "gfx/core/ddraw_modes.h"
#include "gfx/core/opengl_pixel_format.h"
#include "gfx/core/screen_state.h"
#include "gfx/win32/opengl_driver.h"
#include "gfx/win32/window.h"

namespace zered {

namespace {

using WglCreateContextFn = HGLRC(WINAPI*)(HDC);
using WglMakeCurrentFn = BOOL(WINAPI*)(HDC, HGLRC);
using WglDeleteContextFn = BOOL(WINAPI*)(HGLRC);
using WglGetProcAddressFn = PROC(WINAPI*)(LPCSTR);
using WglGetExtensionsStringArbFn = const char*(WINAPI*)(HDC);
using WglGetExtensionsStringExtFn = const char*(WINAPI*)();
using WglChoosePixelFormatFn = BOOL(WINAPI*)(HDC, const int*, const FLOAT*, UINT, int*, UINT*);
using GlGetStringFn = const unsigned char*(WINAPI*)(unsigned int);
using GlEnableFn = void(WINAPI*)(unsigned int);

inline constexpr unsigned int gl_extensions = 0x1F03;      // GL_EXTENSIONS
inline constexpr unsigned int gl_multisample_arb = 0x809D; // GL_MULTISAMPLE_ARB

// Required of the library, though only glGetString and glEnable are called here.
constexpr std::array<const char*, 15> gl_function_names{
    "glEnable",      "glDisable",   "glGetString",    "glViewport",      "glMatrixMode",
    "glLoadIdentity", "glOrtho",    "glShadeModel",   "glDepthMask",     "glClearColor",
    "glClear",       "glGenTextures", "glDeleteTextures", "glBindTexture", "glTexImage2D"};
enum GlFunction { gl_enable = 0, gl_get_string = 2 };

struct OpenGLState {
    HMODULE opengl_library = nullptr;
    WglCreateContextFn wgl_create_context = nullptr;
    WglMakeCurrentFn wgl_make_current = nullptr;
    WglDeleteContextFn wgl_delete_context = nullptr;
    WglGetProcAddressFn wgl_get_proc_address = nullptr;
    WglChoosePixelFormatFn wgl_choose_pixel_format = nullptr;
    HDC gl_dc = nullptr;
    HGLRC gl_context = nullptr;
    std::array<FARPROC, gl_function_names.size()> gl_functions{};
    std::string extension_list;
    bool display_mode_set = false; // our full-screen mode is on the display
    OpenGLRequest last_request;
};

OpenGLState gl;

template <typename Fn> Fn as_function(FARPROC address) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

template <typename Fn> Fn library_function(const char* name) {
    return as_function<Fn>(::GetProcAddress(gl.opengl_library, name));
}

// An extension entry point; only valid while a context is current.
template <typename Fn> Fn wgl_function(const char* name) {
    return gl.wgl_get_proc_address ? as_function<Fn>(gl.wgl_get_proc_address(name)) : nullptr;
}

PIXELFORMATDESCRIPTOR classic_descriptor() {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cDepthBits = 32;
    return pfd;
}

void copy_request(const PixelRequest& r, PIXELFORMATDESCRIPTOR& pfd) {
    const auto bits = [](int value) { return static_cast<BYTE>(std::clamp(value, 0, 255)); };
    pfd.cColorBits = bits(r.colour);
    pfd.cRedBits = bits(r.red);
    pfd.cGreenBits = bits(r.green);
    pfd.cBlueBits = bits(r.blue);
    pfd.cAlphaBits = bits(r.alpha);
    pfd.cDepthBits = bits(r.depth);
    pfd.cAccumBits = bits(r.accum);
    pfd.cAccumRedBits = bits(r.accum_red);
    pfd.cAccumGreenBits = bits(r.accum_green);
    pfd.cAccumBlueBits = bits(r.accum_blue);
    pfd.cAccumAlphaBits = bits(r.accum_alpha);
    pfd.cStencilBits = bits(r.stencil);
}

// The throw-away window and context that the extension strings are read with.
struct Probe {
    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;

    bool open(const PIXELFORMATDESCRIPTOR& pfd) {
        WindowState& ws = window_state();
        // The window procedure reports created_width by created_height as the window's limits.
        ws.created_width = ws.created_height = 8;
        window = ::CreateWindowExA(0, ws.class_name, "OpenGL setup",
                                   WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 8, 8, nullptr,
                                   nullptr, ws.instance, nullptr);
        if (!window) return false;
        dc = ::GetDC(window);
        ::SetPixelFormat(dc, ::ChoosePixelFormat(dc, &pfd), &pfd);
        context = gl.wgl_create_context(dc);
        gl.wgl_make_current(dc, context);
        return true;
    }
    ~Probe() {
        gl.wgl_make_current(nullptr, nullptr);
        if (context) gl.wgl_delete_context(context);
        if (dc) ::ReleaseDC(window, dc);
        if (window) ::DestroyWindow(window);
    }
};

// Reads the extension strings with the probe's context current; false when a GL entry point is
// missing or the driver has no GL_EXT_bgra.
bool read_extensions(HDC probe_dc) {
    const char* wgl_extensions = nullptr;
    if (const auto arb = wgl_function<WglGetExtensionsStringArbFn>("wglGetExtensionsStringARB"))
        wgl_extensions = arb(probe_dc);
    else if (const auto ext = wgl_function<WglGetExtensionsStringExtFn>("wglGetExtensionsStringEXT"))
        wgl_extensions = ext();

    gl.gl_functions.fill(nullptr);
    gl.extension_list.clear();
    for (std::size_t i = 0; i < gl_function_names.size(); ++i) {
        gl.gl_functions[i] = ::GetProcAddress(gl.opengl_library, gl_function_names[i]);
        if (!gl.gl_functions[i]) return false;
    }
    const auto get_string = as_function<GlGetStringFn>(gl.gl_functions[gl_get_string]);
    gl.extension_list = build_extension_list(
        reinterpret_cast<const char*>(get_string(gl_extensions)), wgl_extensions);
    if (!extension_present(gl.extension_list, "GL_EXT_bgra")) return false;
    if (extension_present(gl.extension_list, "WGL_ARB_pixel_format"))
        gl.wgl_choose_pixel_format = wgl_function<WglChoosePixelFormatFn>("wglChoosePixelFormatARB");
    return true;
}

bool change_display_mode(const char* device) {
    gl.display_mode_set = window_change_display_mode(device);
    return gl.display_mode_set;
}

inline constexpr DWORD frame_styles =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
inline constexpr UINT windowed_placement = SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED |
                                           SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;

// Gives the window its style, size and place for the current flags and shows it; also run by the
// switch between window and full screen.
int opengl_setup_window() {
    WindowState& ws = window_state();
    MONITORINFOEXA monitor;
    const bool monitor_known = window_monitor_info(monitor);
    // The maximise box has made the window zoomed by the time it asks for full screen; a zoomed
    // window would answer the placement below with another maximised size message, and a restore
    // later would move it to a windowed place while it is full screen.
    auto style = static_cast<DWORD>(::GetWindowLongA(ws.window, GWL_STYLE)) & ~DWORD{WS_MAXIMIZE};
    UINT placement = windowed_placement;
    int x = 0, y = 0, width = ws.width, height = ws.height;
    if (ws.flags & MODE_FULLSCREEN) {
        if (!change_display_mode(monitor_known ? monitor.szDevice : nullptr)) return -1;
        style = (style & ~frame_styles) | WS_POPUP;
        placement = SWP_FRAMECHANGED;
        if (monitor_known) {
            x = monitor.rcMonitor.left;
            y = monitor.rcMonitor.top;
        }
    } else {
        if (ws.flags & MODE_NO_FRAME) {
            style = (style & ~frame_styles) | WS_POPUP;
        } else {
            style = (style & ~(WS_POPUP | WS_THICKFRAME)) | WS_CAPTION | WS_SYSMENU |
                    WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
            if (ws.flags & MODE_NO_SWITCH) style &= ~static_cast<DWORD>(WS_MAXIMIZEBOX);
        }
        RECT outer{0, 0, ws.width, ws.height};
        ::AdjustWindowRect(&outer, style, FALSE);
        width = outer.right - outer.left;
        height = outer.bottom - outer.top;
        const POINT centred = window_centred_position(monitor_known ? &monitor : nullptr, width, height);
        x = centred.x;
        y = centred.y;
    }
    ::SetWindowLongA(ws.window, GWL_STYLE, static_cast<LONG>(style));
    ::SetWindowPos(ws.window, nullptr, x, y, width, height, placement);
    ::ShowWindow(ws.window, SW_SHOW);
    ::SetForegroundWindow(ws.window);
    ws.active = 1;
    // Without a device context yet (the first set-up) this reads 0: the retrace wait then
    // assumes 60 Hz until a switch reads the rate again.
    if (ScreenState* screen = current_screen())
        screen->refresh_rate = known_refresh_rate(::GetDeviceCaps(gl.gl_dc, VREFRESH));
    return 0;
}

void restore_display_mode() {
    if (!gl.display_mode_set) return;
    ::ChangeDisplaySettingsA(nullptr, 0);
    gl.display_mode_set = false;
}

// Keeps the window, its device context and the rendering context for the next set-up.
void opengl_teardown_window() {
    restore_display_mode();
    if (HWND window = window_state().window) ::ShowWindow(window, SW_HIDE);
}

void opengl_repaint() {}

// Chooses and sets the real window's pixel format and makes its context current.
int make_context(const PixelRequest& sizes, PIXELFORMATDESCRIPTOR& pfd) {
    PixelFormatAttributes attributes = build_pixel_format_attributes(sizes);
    PixelFormatPick pick;
    if (gl.wgl_choose_pixel_format) {
        pick = pick_pixel_format(attributes, [](const int* list) {
            FormatChoice got;
            got.ok = gl.wgl_choose_pixel_format(gl.gl_dc, list, nullptr, 1, &got.format, &got.count) != FALSE;
            return got;
        });
    }
    const int format = pick.format != 0 ? pick.format : ::ChoosePixelFormat(gl.gl_dc, &pfd);
    if (format == 0) return -1;
    if (!::SetPixelFormat(gl.gl_dc, format, &pfd)) return -1;
    gl.gl_context = gl.wgl_create_context(gl.gl_dc);
    if (!gl.gl_context) return -1;
    gl.wgl_make_current(gl.gl_dc, gl.gl_context);
    gl.last_request = {sizes, sizes.samples != 0 && pick.multisample()};
    if (gl.last_request.multisample)
        as_function<GlEnableFn>(gl.gl_functions[gl_enable])(gl_multisample_arb);
    return 0;
}

int opengl_init(const char* title, int width, int height, int depth, int refresh_rate,
                ModeFlags flags) {
    PIXELFORMATDESCRIPTOR pfd = classic_descriptor();
    window_state_clear();
    gl.opengl_library = nullptr;
    gl.gl_context = nullptr;
    gl.gl_dc = nullptr;
    gl.wgl_choose_pixel_format = nullptr;
    if (!(flags & MODE_OPENGL)) return -1;

    gl.opengl_library = ::LoadLibraryA("opengl32.dll");
    if (!gl.opengl_library) return -1;
    gl.wgl_create_context = library_function<WglCreateContextFn>("wglCreateContext");
    gl.wgl_make_current = library_function<WglMakeCurrentFn>("wglMakeCurrent");
    gl.wgl_delete_context = library_function<WglDeleteContextFn>("wglDeleteContext");
    if (!gl.wgl_create_context || !gl.wgl_make_current || !gl.wgl_delete_context) {
        ::FreeLibrary(gl.opengl_library);
        gl.opengl_library = nullptr;
        return -1;
    }

    WindowState& ws = window_state();
    ws.window_setup_hook = opengl_setup_window;
    ws.window_teardown_hook = opengl_teardown_window;
    ws.repaint_hook = opengl_repaint;
    ws.driver_thread_proc = nullptr;
    if (window_init(title, width, height, std::max(depth, 8), refresh_rate, flags) != 0) return -1;

    {
        Probe probe;
        if (!probe.open(pfd)) return -1;
        gl.wgl_get_proc_address = library_function<WglGetProcAddressFn>("wglGetProcAddress");
        if (!read_extensions(probe.dc)) return -1;
    }

    if (open_window(WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 8, 8) != 0) return -1;
    if (opengl_setup_window() != 0) return -1;

    const ScreenState* screen = current_screen();
    PixelRequest sizes; // nothing is asked for beyond the defaults
    apply_pixel_request_defaults(sizes, screen ? screen->depth : depth, flags);
    copy_request(sizes, pfd);
    gl.gl_dc = ::GetDC(ws.window);
    if (!gl.gl_dc) return -1;
    return make_context(sizes, pfd);
}

void opengl_exit() {
    if (gl.opengl_library) {
        if (gl.gl_context) {
            gl.wgl_make_current(nullptr, nullptr);
            gl.wgl_delete_context(gl.gl_context);
            gl.gl_context = nullptr;
        }
        WindowState& ws = window_state();
        if (gl.gl_dc) {
            ::ReleaseDC(ws.window, gl.gl_dc);
            gl.gl_dc = nullptr;
        }
        restore_display_mode(); // before the window goes
        if (ws.window) {
            ::DestroyWindow(ws.window);
            ws.window = nullptr;
        }
        ::FreeLibrary(gl.opengl_library);
        gl.opengl_library = nullptr;
        gl.wgl_choose_pixel_format = nullptr;
        gl.wgl_get_proc_address = nullptr;
        gl.gl_functions.fill(nullptr);
    }
    window_exit();
}

void opengl_flip() {
    if (gl.gl_dc) ::SwapBuffers(gl.gl_dc);
}

void opengl_poll() {
    if (window_state().active == 1) refresh_key_states();
    drain_messages();
}

void opengl_lock() {}
void opengl_unlock() {}

// Only modes of exactly this depth: unlike the GDI list, 24 and 32 bits are not one depth here.
const std::uint32_t* opengl_fetch_modes(int depth, int* count) {
    DisplaySizeList sizes;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    for (DWORD number = 0; ::EnumDisplaySettingsA(nullptr, number, &mode); ++number)
        if (static_cast<int>(mode.dmBitsPerPel) == depth &&
            !sizes.append(mode.dmPelsWidth, mode.dmPelsHeight))
            break;
    return sizes.release(count);
}

} // namespace

OpenGLRequest opengl_last_request() { return gl.last_request; }

const DisplayDriver opengl_driver{
    "OpenGL",
    opengl_init,
    opengl_exit,
    opengl_lock,
    opengl_unlock,
    nullptr,
    window_wait_vsync,
    window_get_mouse,
    window_set_mouse,
    window_set_title,
    window_set_position,
    opengl_fetch_modes,
    opengl_flip,
    opengl_poll,
};

} // namespace zered
