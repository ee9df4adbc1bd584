// The DirectDraw driver. Everything that touches DirectDraw or DirectInput runs on the driver
// thread (set-up, presentation, repaint, tear-down during a switch or a recovery), except the
// retrace wait and the mode list, which the program's thread runs with a reference of its own on
// the DirectDraw object, and the final tear-down, which window_exit runs after the thread ended.
//
// The COM identifiers come from the system headers through <initguid.h>; nothing extra is linked.
#include <windows.h>

#include <initguid.h>

#define DIRECTINPUT_VERSION 0x0300
#include <ddraw.h>
#include <dinput.h>

#include <algorithm>
#include <span>
#include <cstring>

#include "gfx/blit/convert.h"
#include "gfx/core/ddraw_modes.h"
#include "gfx/core/screen_state.h"
#include "gfx/win32/ddraw_driver.h"
#include "gfx/win32/window.h"
#include "gfx/window/present_pass.h"

namespace zered {

namespace {

using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);
using DirectDrawEnumerateExFn = HRESULT(WINAPI*)(LPDDENUMCALLBACKEXA, LPVOID, DWORD);
using DirectInputCreateFn = HRESULT(WINAPI*)(HINSTANCE, DWORD, LPDIRECTINPUTA*, LPUNKNOWN);

inline constexpr DWORD vsync_wait_ms = 20;       // the longest a pass waits for a retrace
inline constexpr DWORD mode_retry_period_ms = 300; // between rebuilds after a lost display mode
inline constexpr DWORD direct_input_version = 0x0300;

struct DDrawState {
    HMODULE ddraw_module = nullptr;
    HMODULE dinput_module = nullptr;
    IDirectDraw2* direct_draw = nullptr;
    IDirectDrawSurface* primary = nullptr;
    // The surface the converter writes: primary in full screen, an offscreen surface in a window.
    IDirectDrawSurface* draw_surface = nullptr;
    IDirectDrawClipper* clipper = nullptr;
    IDirectDrawPalette* display_palette = nullptr; // 8-bit displays only
    IDirectInputA* direct_input = nullptr;
    IDirectInputDeviceA* keyboard = nullptr;
    // Manual reset, for the retrace hand-shake. Lives from the first set-up to window_exit, so
    // that a switch to or from full screen never closes it under a waiting program thread.
    HANDLE vsync_event = nullptr;
    int vsync_pending = 0;
    int window_x = 0, window_y = 0; // outer top-left for the next windowed set-up
    int vertical_offset = 0;        // display lines above the picture in full screen
    int primary_width = 0, primary_height = 0;
    bool fullscreen_surfaces = false; // the surfaces were made for full screen
    DisplayFormat display{};
    DIDATAFORMAT keyboard_format{};
    DIOBJECTDATAFORMAT keyboard_objects[keyboard_device_keys]{};
};

DDrawState dd;

template <typename Fn> Fn proc_address(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

template <typename T> void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

bool fullscreen() { return (window_state().flags & MODE_FULLSCREEN) != 0; }

// The dirty flags a pass looks at: the window's height worth (framebuffer height times
// scanline_size), as far as the screen has them; empty without a screen.
std::span<std::uint8_t> window_dirty_flags() {
    ScreenState* screen = current_screen();
    if (!screen) return {};
    return pass_dirty_flags(*screen, window_state().height);
}

void mark_all_dirty() { std::ranges::fill(window_dirty_flags(), std::uint8_t{1}); }

// The 256-key layout: one optional button per key, byte i of the state for key i.
void fill_keyboard_format() {
    for (DWORD i = 0; i < keyboard_device_keys; ++i)
        dd.keyboard_objects[i] = DIOBJECTDATAFORMAT{&GUID_Key, i,
                                                    DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i), 0};
    dd.keyboard_format = DIDATAFORMAT{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS,
                                      keyboard_device_keys, keyboard_device_keys, dd.keyboard_objects};
}

// The display device on the window's monitor, for a full-screen mode on a secondary monitor.
struct DeviceSearch {
    HMONITOR monitor;
    GUID guid;
    bool found;
};

BOOL WINAPI match_device(GUID* guid, LPSTR, LPSTR, LPVOID context, HMONITOR monitor) {
    auto* search = static_cast<DeviceSearch*>(context);
    if (guid && monitor == search->monitor) {
        search->guid = *guid;
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// Makes the IDirectDraw2 object on the given device (nullptr: the default one).
IDirectDraw2* create_direct_draw(DirectDrawCreateFn create, GUID* device) {
    IDirectDraw* first = nullptr;
    if (!create || FAILED(create(device, &first, nullptr)) || !first) return nullptr;
    IDirectDraw2* second = nullptr;
    if (FAILED(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&second))))
        second = nullptr;
    first->Release();
    return second;
}

int set_up_windowed(const WindowState& ws) {
    DWORD style;
    if (ws.flags & MODE_NO_FRAME)
        style = WS_POPUP | WS_VISIBLE;
    else
        style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                ((ws.flags & MODE_NO_SWITCH) ? 0 : WS_MAXIMIZEBOX);
    RECT outer{0, 0, ws.width, ws.height};
    ::AdjustWindowRect(&outer, style, FALSE);
    if (open_window(style, 0, dd.window_x, dd.window_y, outer.right - outer.left,
                    outer.bottom - outer.top) != 0)
        return -1;
    if (FAILED(dd.direct_draw->SetCooperativeLevel(ws.window, DDSCL_NORMAL))) return -1;
    if (FAILED(dd.direct_draw->CreateClipper(0, &dd.clipper, nullptr)) || !dd.clipper) return -1;
    if (FAILED(dd.clipper->SetHWnd(0, ws.window))) return -1;
    dd.vertical_offset = 0;
    return 0;
}

int set_up_fullscreen(const WindowState& ws) {
    if (open_window(WS_POPUP | WS_VISIBLE, 0, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                    ::GetSystemMetrics(SM_CYSCREEN)) != 0)
        return -1;
    if (FAILED(dd.direct_draw->SetCooperativeLevel(
            ws.window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT)))
        return -1;
    for (const DisplayModeTry& mode : display_mode_search(ws.width, ws.height, ws.depth)) {
        const HRESULT result = dd.direct_draw->SetDisplayMode(
            static_cast<DWORD>(mode.width), static_cast<DWORD>(mode.height),
            static_cast<DWORD>(mode.depth), static_cast<DWORD>(ws.requested_refresh),
            mode.standard_vga ? DDSDM_STANDARDVGAMODE : 0);
        if (SUCCEEDED(result)) {
            dd.vertical_offset = vertical_offset_for(mode.height, ws.height);
            return 0;
        }
    }
    return -1;
}

int create_surfaces(const WindowState& ws) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (FAILED(dd.direct_draw->CreateSurface(&desc, &dd.primary, nullptr)) || !dd.primary) return -1;
    DDSURFACEDESC primary_desc{};
    primary_desc.dwSize = sizeof primary_desc;
    if (FAILED(dd.primary->GetSurfaceDesc(&primary_desc))) return -1;
    dd.primary_width = static_cast<int>(primary_desc.dwWidth);
    dd.primary_height = static_cast<int>(primary_desc.dwHeight);
    if (dd.fullscreen_surfaces) {
        dd.draw_surface = dd.primary; // no back buffer: the converter writes what is shown
        return 0;
    }
    if (FAILED(dd.primary->SetClipper(dd.clipper))) return -1;
    DDSURFACEDESC offscreen{};
    offscreen.dwSize = sizeof offscreen;
    offscreen.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    offscreen.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    offscreen.dwWidth = static_cast<DWORD>(ws.width);
    offscreen.dwHeight = static_cast<DWORD>(ws.height);
    if (FAILED(dd.direct_draw->CreateSurface(&offscreen, &dd.draw_surface, nullptr)) ||
        !dd.draw_surface)
        return -1;
    return 0;
}

// Reads the display's pixel format, makes the 8-bit palette where needed and picks the converter.
int choose_display_format(WindowState& ws) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    if (FAILED(dd.primary->GetPixelFormat(&format)) || !(format.dwFlags & DDPF_RGB)) return -1;
    const int bits = static_cast<int>(format.dwRGBBitCount);
    dd.display = classify_display_format(bits, format.dwRBitMask, format.dwGBitMask);
    if (bits == 8) {
        if (FAILED(dd.direct_draw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_INITIALIZE | DDPCAPS_ALLOW256,
                                                 ws.palette_entries, &dd.display_palette, nullptr)) ||
            !dd.display_palette)
            return -1;
        dd.primary->SetPalette(dd.display_palette);
        ws.palette_changed = 0;
    }
    ws.converter = select_converter(dd.display.depth, dd.display.red_low);
    return ws.converter ? 0 : -1;
}

int set_up_keyboard() {
    fill_keyboard_format();
    if (FAILED(dd.direct_input->CreateDevice(GUID_SysKeyboard, &dd.keyboard, nullptr)) || !dd.keyboard)
        return -1;
    if (FAILED(dd.keyboard->SetDataFormat(&dd.keyboard_format))) return -1;
    if (FAILED(dd.keyboard->Acquire())) return -1;
    return 0;
}

// Any failure returns at once; ddraw_teardown_window releases whatever was made by then.
int ddraw_setup_window() {
    WindowState& ws = window_state();
    dd.direct_draw = nullptr;
    dd.primary = dd.draw_surface = nullptr;
    dd.clipper = nullptr;
    dd.display_palette = nullptr;
    dd.direct_input = nullptr;
    dd.keyboard = nullptr;
    dd.fullscreen_surfaces = fullscreen();

    dd.ddraw_module = ::LoadLibraryA("ddraw.dll");
    if (!dd.ddraw_module) return -1;
    dd.dinput_module = ::LoadLibraryA("dinput.dll");
    if (!dd.dinput_module) return -1;
    const auto create = proc_address<DirectDrawCreateFn>(dd.ddraw_module, "DirectDrawCreate");
    const auto enumerate =
        proc_address<DirectDrawEnumerateExFn>(dd.ddraw_module, "DirectDrawEnumerateExA");
    const auto create_input = proc_address<DirectInputCreateFn>(dd.dinput_module, "DirectInputCreateA");

    DeviceSearch device{ws.monitor, {}, false};
    if (dd.fullscreen_surfaces && ws.monitor && enumerate &&
        FAILED(enumerate(match_device, &device, DDENUM_ATTACHEDSECONDARYDEVICES)))
        device.found = false;
    dd.direct_draw = create_direct_draw(create, device.found ? &device.guid : nullptr);
    if (!dd.direct_draw) return -1;
    if (!create_input ||
        FAILED(create_input(ws.instance, direct_input_version, &dd.direct_input, nullptr)) ||
        !dd.direct_input)
        return -1;

    if ((dd.fullscreen_surfaces ? set_up_fullscreen(ws) : set_up_windowed(ws)) != 0) return -1;
    if (create_surfaces(ws) != 0 || choose_display_format(ws) != 0) return -1;

    DWORD frequency = 0;
    ScreenState* screen = current_screen();
    if (SUCCEEDED(dd.direct_draw->GetMonitorFrequency(&frequency)) && screen)
        screen->refresh_rate = known_refresh_rate(static_cast<int>(frequency));
    if (!dd.vsync_event) dd.vsync_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (set_up_keyboard() != 0) return -1;
    // New surfaces hold nothing of the picture yet.
    mark_all_dirty();
    return 0;
}

void ddraw_teardown_window() {
    WindowState& ws = window_state();
    if (ws.window && !dd.fullscreen_surfaces) {
        RECT outer;
        if (::GetWindowRect(ws.window, &outer)) {
            dd.window_x = outer.left;
            dd.window_y = outer.top;
        }
    }
    if (dd.keyboard) dd.keyboard->Unacquire();
    release(dd.keyboard);
    release(dd.direct_input);
    if (dd.direct_draw) {
        if (dd.fullscreen_surfaces) {
            if (dd.primary) {
                DDBLTFX black{};
                black.dwSize = sizeof black;
                black.dwFillColor = 0;
                dd.primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &black);
            }
            dd.draw_surface = nullptr; // the primary itself
            release(dd.primary);
            dd.direct_draw->RestoreDisplayMode();
            if (ws.window) dd.direct_draw->SetCooperativeLevel(ws.window, DDSCL_NORMAL);
        } else {
            release(dd.primary);
            release(dd.draw_surface);
        }
        release(dd.display_palette);
        release(dd.clipper);
        release(dd.direct_draw);
    }
    ws.converter = nullptr;
    if (ws.window) {
        // After the driver thread has ended its window is gone already; this call then fails.
        ::DestroyWindow(ws.window);
        ws.window = nullptr;
    }
    if (dd.ddraw_module) ::FreeLibrary(dd.ddraw_module);
    if (dd.dinput_module) ::FreeLibrary(dd.dinput_module);
    dd.ddraw_module = dd.dinput_module = nullptr;
    if (!window_running() && dd.vsync_event) {
        ::CloseHandle(dd.vsync_event);
        dd.vsync_event = nullptr;
        dd.vsync_pending = 0;
    }
}

// Brings lost surfaces back before a lock or a blit. A display mode changed behind the driver's
// back needs new surfaces: the driver is rebuilt, retried every 300 ms until it works or the screen
// is closed. false: nothing can be drawn in this pass.
bool ddraw_restore_surfaces() {
    while (dd.primary && dd.primary->IsLost() == DDERR_SURFACELOST) {
        if (dd.draw_surface && dd.draw_surface != dd.primary) dd.draw_surface->Restore();
        const HRESULT result = dd.primary->Restore();
        if (result == DDERR_WRONGMODE) {
            ddraw_teardown_window();
            while (ddraw_setup_window() != 0) {
                ddraw_teardown_window();
                // Let the program go on drawing meanwhile; window_exit ends the retries.
                window_unlock();
                ::Sleep(mode_retry_period_ms);
                window_lock();
                if (!window_running()) return false;
            }
            const WindowState& ws = window_state();
            if (ws.entry.FlashWindowEx) {
                FLASHWINFO stop{sizeof(FLASHWINFO), ws.window, FLASHW_STOP, 0, 0};
                ws.entry.FlashWindowEx(&stop);
            }
        } else if (FAILED(result)) {
            // Cannot be restored now (an exclusive mode that has lost the display, say).
            return false;
        }
        // A restored surface has lost its contents.
        mark_all_dirty();
    }
    return dd.primary != nullptr;
}

void ddraw_repaint() {
    const WindowState& ws = window_state();
    if (dd.fullscreen_surfaces || !ws.window) return;
    POINT origin{0, 0};
    RECT target;
    if (!::ClientToScreen(ws.window, &origin) || !::GetClientRect(ws.window, &target)) return;
    ::OffsetRect(&target, origin.x, origin.y);
    // Only the part on the primary surface: not every DirectDraw clips a window that hangs over
    // the screen's edge, and one that does not refuses the whole blit.
    BlitRect to{target.left, target.top, target.right, target.bottom};
    BlitRect from{0, 0, ws.width, ws.height};
    if (!clip_blit(to, from, {0, 0, dd.primary_width, dd.primary_height})) return;
    RECT clipped_target{to.left, to.top, to.right, to.bottom};
    RECT source{from.left, from.top, from.right, from.bottom};
    HRESULT result;
    do {
        if (!ddraw_restore_surfaces() || !dd.draw_surface) return;
        result = dd.primary->Blt(&clipped_target, dd.draw_surface, &source, DDBLT_WAIT, nullptr);
    } while (result == DDERR_SURFACELOST);
}

// Converts the dirty lines into the draw surface. A lock that fails keeps them marked.
void convert_dirty_lines(WindowState& ws) {
    DDSURFACEDESC desc{};
    HRESULT result;
    do {
        if (!ddraw_restore_surfaces() || !dd.draw_surface) return;
        desc = DDSURFACEDESC{};
        desc.dwSize = sizeof desc;
        result = dd.draw_surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    } while (result == DDERR_SURFACELOST);
    if (FAILED(result)) return;
    ScreenState* screen = current_screen();
    if (ws.converter && screen) {
        auto* lines = static_cast<std::uint8_t*>(desc.lpSurface);
        ws.converter(lines + static_cast<std::ptrdiff_t>(desc.lPitch) * dd.vertical_offset,
                     desc.lPitch);
    }
    dd.draw_surface->Unlock(desc.lpSurface);
    std::ranges::fill(window_dirty_flags(), std::uint8_t{0});
}

void read_keyboard() {
    std::uint8_t keys[keyboard_device_keys];
    const HRESULT result = dd.keyboard->GetDeviceState(sizeof keys, keys);
    if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
        dd.keyboard->Acquire();
        return;
    }
    ScreenState* screen = current_screen();
    // Any other failure: the key states stay as they were.
    if (SUCCEEDED(result) && screen) fold_keyboard_state(keys, screen->key_state.data());
}

void present_frame() {
    WindowState& ws = window_state();
    if (dd.vsync_pending == 1) {
        ::WaitForSingleObject(dd.vsync_event, vsync_wait_ms);
        dd.vsync_pending = 0;
    }
    if (ws.active != 1 && fullscreen()) return;
    if (ws.palette_changed == 1 && dd.display_palette) {
        dd.display_palette->SetEntries(0, 0, 256, ws.palette_entries);
        ws.palette_changed = 0;
    }
    // A pass with no changed line leaves the surfaces alone: locking a surface and blitting the
    // window cost milliseconds even with nothing to convert. Uncovered parts of the window come
    // back through WM_PAINT, and a display change marks every line.
    if (std::ranges::any_of(window_dirty_flags(), [](std::uint8_t flag) { return flag != 0; })) {
        convert_dirty_lines(ws);
        ddraw_repaint();
    }
    if (ws.active == 1 && dd.keyboard) read_keyboard();
}

// One pass of the update loop, under driver_lock.
void present_pass() {
    present_frame();
    drain_messages();
}

void ddraw_thread(HANDLE start_event) {
    if (ddraw_setup_window() != 0) return;
    ::SetEvent(start_event);
    window_state().active = 1;
    run_pass_loop({window_running, window_lock, window_unlock, present_pass,
                   [](int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds)); }});
}

int ddraw_init(const char* title, int width, int height, int depth, int refresh_rate,
               ModeFlags flags) {
    window_state_clear();
    if (flags & (MODE_OPENGL | MODE_SHAPED_WINDOW)) return -1;
    WindowState& ws = window_state();
    ws.window_setup_hook = ddraw_setup_window;
    ws.window_teardown_hook = ddraw_teardown_window;
    ws.repaint_hook = ddraw_repaint;
    ws.driver_thread_proc = ddraw_thread;
    const POINT centred = window_centred_position(nullptr, width, height);
    dd.window_x = centred.x;
    dd.window_y = centred.y;
    return window_init(title, width, height, std::max(depth, 8), refresh_rate, flags);
}

// The running driver's DirectDraw object with a reference of the caller's own, so that a switch
// on the driver thread cannot release it under the caller; nullptr when there is none.
IDirectDraw2* borrow_direct_draw() {
    window_lock();
    IDirectDraw2* object = dd.direct_draw;
    if (object) object->AddRef();
    window_unlock();
    return object;
}

void ddraw_wait_vsync() {
    IDirectDraw2* object = borrow_direct_draw();
    if (!object || !dd.vsync_event) {
        release(object);
        window_wait_vsync();
        return;
    }
    ::ResetEvent(dd.vsync_event);
    window_lock();
    dd.vsync_pending = 1;
    window_unlock();
    object->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    ::SetEvent(dd.vsync_event);
    object->Release();
}

struct ModeQuery {
    int depth;
    DisplaySizeList sizes;
};

HRESULT WINAPI collect_mode(LPDDSURFACEDESC mode, LPVOID context) {
    auto* query = static_cast<ModeQuery*>(context);
    const DDPIXELFORMAT& format = mode->ddpfPixelFormat;
    if (display_mode_depth(static_cast<int>(format.dwRGBBitCount), format.dwGBitMask) == query->depth)
        query->sizes.append(mode->dwWidth, mode->dwHeight);
    return DDENUMRET_OK;
}

const std::uint32_t* ddraw_fetch_modes(int depth, int* count) {
    IDirectDraw2* object = borrow_direct_draw();
    HMODULE module = nullptr;
    if (!object) {
        module = ::LoadLibraryA("ddraw.dll");
        if (!module) return nullptr;
        object = create_direct_draw(proc_address<DirectDrawCreateFn>(module, "DirectDrawCreate"), nullptr);
        if (!object) {
            ::FreeLibrary(module);
            return nullptr;
        }
    }
    ModeQuery query{depth, {}};
    const bool listed =
        SUCCEEDED(object->EnumDisplayModes(DDEDM_STANDARDVGAMODES, nullptr, &query, collect_mode));
    object->Release();
    if (module) ::FreeLibrary(module);
    if (!listed) {
        if (count) *count = 0;
        return nullptr;
    }
    return query.sizes.release(count);
}

} // namespace

DDrawStatus ddraw_status() {
    window_lock();
    const DDrawStatus status{window_running() && dd.primary != nullptr, dd.display.depth,
                             dd.display.red_low, dd.vertical_offset, !dd.fullscreen_surfaces};
    window_unlock();
    return status;
}

IDirectDrawSurface* ddraw_exchange_primary(IDirectDrawSurface* surface) {
    window_lock();
    IDirectDrawSurface* previous = dd.primary;
    if (dd.draw_surface == dd.primary) dd.draw_surface = surface;
    dd.primary = surface;
    window_unlock();
    return previous;
}

const DisplayDriver ddraw_driver{
    "DirectX",
    ddraw_init,
    window_exit,
    window_lock,
    window_unlock,
    window_set_palette,
    ddraw_wait_vsync,
    window_get_mouse,
    window_set_mouse,
    window_set_title,
    window_set_position,
    ddraw_fetch_modes,
    nullptr,
    nullptr,
};

} // namespace zered
