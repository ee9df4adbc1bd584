// The DirectDraw driver. Everything that touches DirectDraw or DirectInput runs on the driver
// thread (set-up, presentation, repaint, tear-down during a switch or a recovery), except the
// retrace wait and the mode list, which the program's thread runs with a reference of its own on
// the DirectDraw object, and the final tear-down, which window_exit runs after the thread ended.
//
// Set-up and tear-down are in ddraw_setup.cpp.
#include <windows.h>

#include "gfx/win32/ddraw_state.h"

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

namespace ddraw {

namespace {

DDrawState dd;

} // namespace

DDrawState& state() { return dd; }

bool fullscreen() { return (window_state().flags & MODE_FULLSCREEN) != 0; }

// The dirty flags a pass looks at: the window's height worth (framebuffer height times
// scanline_size), as far as the screen has them; empty without a screen.
std::span<std::uint8_t> window_dirty_flags() {
    ScreenState* screen = current_screen();
    if (!screen) return {};
    return pass_dirty_flags(*screen, window_state().height);
}

void mark_all_dirty() { std::ranges::fill(window_dirty_flags(), std::uint8_t{1}); }

} // namespace ddraw

namespace {

using namespace ddraw;

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
    const SIZE outer = windowed_outer_size(flags, width, height);
    const POINT centred = window_centred_position(nullptr, outer.cx, outer.cy);
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
    window_lock(); // the pass reads the flag under the lock
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
