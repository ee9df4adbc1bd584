// What the DirectDraw driver's two halves share: its state (driver thread and driver lock, as
// the driver's comment in ddraw_driver.cpp says), set-up and tear-down (ddraw_setup.cpp), and
// the small helpers both use.
#pragma once

#include <windows.h>

#define DIRECTINPUT_VERSION 0x0300
#include <ddraw.h>
#include <dinput.h>

#include <cstdint>
#include <span>

#include "gfx/core/ddraw_modes.h"
#include "gfx/core/screen_state.h"

namespace zered::ddraw {

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

// The one state of the driver, which lives in ddraw_driver.cpp.
DDrawState& state();

template <typename Fn> inline Fn proc_address(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

template <typename T> inline void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

bool fullscreen();
// The dirty flags a pass looks at: the window's height worth (framebuffer height times
// scanline_size), as far as the screen has them; empty without a screen.
std::span<std::uint8_t> window_dirty_flags();
void mark_all_dirty();

// The outer size of the window around a client area of width by height for a windowed screen.
SIZE windowed_outer_size(ModeFlags flags, int width, int height);

// Makes the IDirectDraw2 object on the given device (nullptr: the default one).
IDirectDraw2* create_direct_draw(DirectDrawCreateFn create, GUID* device);

// Sets up the display for the window layer's state: DirectDraw and DirectInput loaded, the
// surfaces, converter and keyboard made. Any failure returns at once (-1); ddraw_teardown_window
// releases whatever was made by then.
int ddraw_setup_window();
void ddraw_teardown_window();

} // namespace zered::ddraw
