// Set-up and tear-down of the DirectDraw driver's display: the DirectDraw object on the window's
// monitor, the surfaces for a window or an exclusive full-screen mode, the display's format and
// converter, and the DirectInput keyboard. Runs on the driver thread.
//
// The COM identifiers come from the system headers through <initguid.h>; nothing extra is linked.
#include <windows.h>

#include <initguid.h>

#include "gfx/win32/ddraw_state.h"

#include <algorithm>
#include <cstring>

#include "gfx/blit/convert.h"
#include "gfx/core/screen_state.h"
#include "gfx/win32/window.h"

namespace zered::ddraw {

namespace {

DDrawState& dd = state();

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

DWORD windowed_style(ModeFlags flags) {
    if (flags & MODE_NO_FRAME) return WS_POPUP | WS_VISIBLE;
    return WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
           ((flags & MODE_NO_SWITCH) ? 0 : WS_MAXIMIZEBOX);
}

} // namespace

SIZE windowed_outer_size(ModeFlags flags, int width, int height) {
    RECT outer{0, 0, width, height};
    ::AdjustWindowRect(&outer, windowed_style(flags), FALSE);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

IDirectDraw2* create_direct_draw(DirectDrawCreateFn create, GUID* device) {
    IDirectDraw* first = nullptr;
    if (!create || FAILED(create(device, &first, nullptr)) || !first) return nullptr;
    IDirectDraw2* second = nullptr;
    if (FAILED(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&second))))
        second = nullptr;
    first->Release();
    return second;
}

namespace {

int set_up_windowed(const WindowState& ws) {
    const SIZE outer = windowed_outer_size(ws.flags, ws.width, ws.height);
    if (open_window(windowed_style(ws.flags), 0, dd.window_x, dd.window_y, outer.cx, outer.cy) != 0)
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

} // namespace

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

} // namespace zered::ddraw
