// The GDI driver: a device-independent bitmap (DIB) of the framebuffer's own depth, drawn with
// SetDIBitsToDevice by the driver thread, so GDI does the conversion to whatever the desktop is.
// Only where the DIB cannot take the framebuffer's rows as they are (16-bit pixels, which a BI_RGB
// DIB reads as 5-5-5, rows that are not a whole number of 4-byte words, or doubled display lines)
// are the changed lines first converted into a buffer of DIB rows.
#include <algorithm>
#include <memory>
#include <new>

#include "gfx/blit/convert.h"
#include "gfx/core/ddraw_modes.h"
#include "gfx/core/screen_state.h"
#include "gfx/win32/drivers.h"
#include "gfx/win32/window.h"
#include "gfx/window/present_pass.h"
#include "gfx/window/window_input.h"

namespace zered {

namespace {

// The header, a colour table for 8-bit DIBs (taken from the palette), and spare bytes.
struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
    std::uint8_t spare[4];
};

struct LogicalPalette {
    WORD version;
    WORD count;
    PALETTEENTRY entries[256];
};

// What the driver owns between set-up and tear-down.
struct GdiState {
    std::unique_ptr<DibInfo> bitmap_info;
    // DIB rows of the converted image, or none when the framebuffer is drawn directly.
    std::unique_ptr<std::uint8_t[]> conversion_buffer;
    std::int32_t conversion_pitch = 0; // bytes per DIB row in the buffer
    HPALETTE gdi_palette = nullptr;
    bool display_mode_set = false; // our full-screen mode is on the display
};

GdiState gdi;

std::int32_t round_up_to_4(std::int32_t bytes) {
    return (bytes + 3) & ~3;
}

// The converter into DIB rows of display_depth (8, 15 for the 5-5-5 DIB of a 16-bit screen, 32),
// blue-low as DIBs are; shaped_32 asks for the fourth byte cleared, the layered window's colour
// key reads it. nullptr: the rows are copied as they are.
WindowConverter choose_gdi_converter(int display_depth, bool shaped_32) {
    return shaped_32 ? convert_32_clear_top : select_converter(display_depth, false);
}

// The DIB takes the framebuffer's rows directly only when they have its layout: 8 or 32 bits,
// rows a whole number of 4-byte words, one display line per framebuffer line. A shaped 32-bit
// window needs the fourth byte cleared.
bool needs_conversion(const ScreenState& screen, ModeFlags flags) {
    return screen.depth == 16 || screen.pitch % 4 != 0 || screen.scanline_size > 1 ||
           (screen.depth == 32 && (flags & MODE_SHAPED_WINDOW));
}

int set_display_mode(const char* device) {
    if (!window_change_display_mode(device)) return -1;
    gdi.display_mode_set = true;
    return 0;
}

// Where and how the window is made for the current flags.
struct WindowPlacement {
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

int place_window(const MONITORINFOEXA* monitor, WindowPlacement& place) {
    const WindowState& ws = window_state();
    if (ws.flags & MODE_FULLSCREEN) {
        if (set_display_mode(monitor ? monitor->szDevice : nullptr) != 0) return -1;
        place.style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        place.x = monitor ? monitor->rcMonitor.left : 0;
        place.y = monitor ? monitor->rcMonitor.top : 0;
        place.width = ws.width;
        place.height = ws.height;
        return 0;
    }
    if (ws.flags & MODE_NO_FRAME)
        place.style = WS_POPUP;
    else
        place.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                      ((ws.flags & MODE_NO_SWITCH) ? 0 : WS_MAXIMIZEBOX);
    if (ws.flags & MODE_SHAPED_WINDOW) {
        if (ws.os_version < 0x500) return -1;
        place.ex_style = WS_EX_LAYERED;
    }
    RECT outer{0, 0, ws.width, ws.height};
    ::AdjustWindowRect(&outer, place.style, FALSE);
    place.width = outer.right - outer.left;
    place.height = outer.bottom - outer.top;
    const POINT centred = window_centred_position(monitor, place.width, place.height);
    place.x = centred.x;
    place.y = centred.y;
    place.style |= WS_VISIBLE;
    return 0;
}

bool make_bitmap_info() {
    const WindowState& ws = window_state();
    gdi.bitmap_info.reset(new (std::nothrow) DibInfo{});
    if (!gdi.bitmap_info) return false;
    BITMAPINFOHEADER& header = gdi.bitmap_info->header;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = ws.width;
    header.biHeight = -ws.height; // rows run top-down, as in the framebuffer
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(ws.depth);
    header.biCompression = BI_RGB;
    header.biClrUsed = 256;
    return true;
}

bool make_conversion(const ScreenState& screen) {
    WindowState& ws = window_state();
    if (!needs_conversion(screen, ws.flags)) return true;
    const bool shaped_32 = screen.depth == 32 && (ws.flags & MODE_SHAPED_WINDOW);
    ws.converter = choose_gdi_converter(ws.depth == 16 ? 15 : ws.depth, shaped_32);
    if (!ws.converter) return false;
    gdi.conversion_pitch = round_up_to_4(screen.pitch);
    const auto bytes = static_cast<std::size_t>(gdi.conversion_pitch) *
                       static_cast<std::size_t>(std::max(ws.height, 0));
    gdi.conversion_buffer.reset(new (std::nothrow) std::uint8_t[bytes]());
    return gdi.conversion_buffer != nullptr;
}

void make_palette() {
    const WindowState& ws = window_state();
    LogicalPalette palette{0x300, 256, {}};
    std::copy(std::begin(ws.palette_entries), std::end(ws.palette_entries), palette.entries);
    gdi.gdi_palette = ::CreatePalette(reinterpret_cast<const LOGPALETTE*>(&palette));
}

void gdi_teardown_window() {
    WindowState& ws = window_state();
    gdi.conversion_buffer.reset();
    gdi.bitmap_info.reset();
    ws.converter = nullptr;
    if (gdi.display_mode_set) {
        ::ChangeDisplaySettingsA(nullptr, 0);
        gdi.display_mode_set = false;
    }
    if (ws.window) {
        ::DestroyWindow(ws.window);
        ws.window = nullptr;
    }
    if (gdi.gdi_palette) {
        ::DeleteObject(gdi.gdi_palette);
        gdi.gdi_palette = nullptr;
    }
}

int gdi_setup_window() {
    WindowState& ws = window_state();
    ScreenState* screen = current_screen();
    if (!screen) return -1;
    gdi_teardown_window(); // nothing is left over from an earlier set-up

    MONITORINFOEXA monitor_info;
    const bool monitor_known = window_monitor_info(monitor_info);
    WindowPlacement place;
    if (place_window(monitor_known ? &monitor_info : nullptr, place) != 0) return -1;
    if (open_window(place.style, place.ex_style, place.x, place.y, place.width, place.height) != 0)
        return -1;
    if (ws.flags & MODE_SHAPED_WINDOW) {
        if (!ws.entry.SetLayeredWindowAttributes) return -1;
        // Black is the see-through colour of palette screens, magenta of the others.
        const COLORREF key = ws.depth <= 8 ? RGB(0, 0, 0) : RGB(255, 0, 255);
        ws.entry.SetLayeredWindowAttributes(ws.window, key, 0, LWA_COLORKEY);
    }
    if (!make_bitmap_info() || !make_conversion(*screen)) return -1;

    const HDC dc = ::GetDC(ws.window);
    screen->refresh_rate = known_refresh_rate(::GetDeviceCaps(dc, VREFRESH));
    make_palette();
    ::ReleaseDC(ws.window, dc);
    return 0;
}

void apply_palette(HDC dc) {
    WindowState& ws = window_state();
    RGBQUAD* colours = gdi.bitmap_info->colours;
    for (int i = 0; i < 256; ++i) {
        colours[i].rgbBlue = ws.palette_entries[i].peBlue;
        colours[i].rgbGreen = ws.palette_entries[i].peGreen;
        colours[i].rgbRed = ws.palette_entries[i].peRed;
    }
    if (gdi.gdi_palette) {
        ::SetPaletteEntries(gdi.gdi_palette, 0, 256, ws.palette_entries);
        ::SelectPalette(dc, gdi.gdi_palette, FALSE);
        ::RealizePalette(dc);
    }
    ws.palette_changed = 0;
}

// Draws display rows first_row to first_row + rows - 1 from the given source rows.
void draw_rows(HDC dc, int first_row, int rows, const std::uint8_t* source) {
    const WindowState& ws = window_state();
    ::SetDIBitsToDevice(dc, 0, first_row, static_cast<DWORD>(ws.width), static_cast<DWORD>(rows), 0,
                        0, 0, static_cast<UINT>(rows), source,
                        reinterpret_cast<const BITMAPINFO*>(gdi.bitmap_info.get()), DIB_RGB_COLORS);
}

// Converts and draws the band from the first to the last dirty line; the clean lines in
// between are drawn too.
void draw_dirty_band(HDC dc, ScreenState& screen) {
    const WindowState& ws = window_state();
    const DirtyBand band = find_dirty_band(pass_dirty_flags(screen, screen.height));
    if (band.count == 0) return;

    const DirtyBand display = band_display_rows(band, screen.scanline_size, ws.height);
    const int first_row = display.first;
    const int rows = display.count;
    if (rows <= 0) return;
    const std::uint8_t* source;
    if (gdi.conversion_buffer) {
        ws.converter(gdi.conversion_buffer.get(), gdi.conversion_pitch);
        source = gdi.conversion_buffer.get() + first_row * gdi.conversion_pitch;
    } else {
        source = screen.visible_fb + first_row * screen.pitch;
    }
    draw_rows(dc, first_row, rows, source);
    if (ws.os_version < 0x500) {
        const RECT band{0, first_row, ws.width, first_row + rows};
        ::InvalidateRect(ws.window, &band, FALSE);
    }
}

// One pass of the update loop, under driver_lock.
void present_pass() {
    WindowState& ws = window_state();
    ScreenState* screen = current_screen();
    if (ws.window && gdi.bitmap_info) {
        const HDC dc = ::GetDC(ws.window);
        if (ws.palette_changed) apply_palette(dc);
        if (screen) draw_dirty_band(dc, *screen);
        ::ReleaseDC(ws.window, dc);
    }
    if (screen) std::ranges::fill(pass_dirty_flags(*screen, ws.height), std::uint8_t{0});
    if (ws.active) refresh_key_states();
    drain_messages();
}

void gdi_update_loop(HANDLE start_event) {
    ::SetEvent(start_event);
    window_state().active = 1;
    run_pass_loop({window_running, window_lock, window_unlock, present_pass,
                   [](int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds)); }});
}

void gdi_thread(HANDLE start_event) {
    if (gdi_setup_window() == 0) gdi_update_loop(start_event);
}

void gdi_repaint() {
    const WindowState& ws = window_state();
    const ScreenState* screen = current_screen();
    // Also reached while the window is being rebuilt, before there is anything to draw.
    if (!ws.window || !gdi.bitmap_info || !screen) return;
    const std::uint8_t* source =
        gdi.conversion_buffer ? gdi.conversion_buffer.get() : screen->visible_fb;
    const HDC dc = ::GetDC(ws.window);
    if (gdi.gdi_palette) {
        ::SelectPalette(dc, gdi.gdi_palette, FALSE);
        ::RealizePalette(dc);
    }
    draw_rows(dc, 0, ws.height, source);
    ::InvalidateRect(ws.window, nullptr, FALSE);
    ::ReleaseDC(ws.window, dc);
}

int gdi_init(const char* title, int width, int height, int depth, int refresh_rate,
             ModeFlags flags) {
    window_state_clear();
    if (flags & MODE_OPENGL) return -1;
    WindowState& ws = window_state();
    ws.window_setup_hook = gdi_setup_window;
    ws.window_teardown_hook = gdi_teardown_window;
    ws.repaint_hook = gdi_repaint;
    ws.driver_thread_proc = gdi_thread;
    return window_init(title, width, height, std::max(depth, 8), refresh_rate, flags);
}

// The caller frees the list with std::free.
const std::uint32_t* gdi_fetch_modes(int depth, int* count) {
    DisplaySizeList sizes;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    for (DWORD number = 0; ::EnumDisplaySettingsA(nullptr, number, &mode); ++number)
        if (same_display_depth(static_cast<int>(mode.dmBitsPerPel), depth) &&
            !sizes.append(mode.dmPelsWidth, mode.dmPelsHeight))
            break;
    return sizes.release(count);
}

} // namespace

const DisplayDriver gdi_driver{
    "GDI",
    gdi_init,
    window_exit,
    window_lock,
    window_unlock,
    window_set_palette,
    window_wait_vsync,
    window_get_mouse,
    window_set_mouse,
    window_set_title,
    window_set_position,
    gdi_fetch_modes,
    nullptr,
    nullptr,
};

} // namespace zered
