// Opening, replacing and closing the screen, and the choice of its display driver.
//
// Results: 0 for success, 1 for an invalid call or when no driver accepts the screen; the same
// value becomes the runtime's last error number. All of it runs on the program's thread.
//
// An open screen owns everything hanging from its ScreenState. Each set-up first tears down the
// screen that is open (driver included), so a failed set-up leaves no screen open and the
// console hook table empty. The window title, the screen serial counter, the unpacked fonts and
// palettes and the exit handler's registration live as long as the process.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "gfx/core/display_driver.h"
#include "gfx/core/screen_state.h"

namespace zered {

// Opens a screen of width by height pixels (both positive) in depth 1, 2, 4, 8, 15, 16, 24 or 32
// with pages pages (not above 0: one), the 256-colour default palette whatever the depth, and the
// 8 by 8 font's text grid. Anything else is 1 and leaves the open screen alone. On success the
// standard output device's column is 0.
int screen_open_sized(int width, int height, int depth, int pages, ModeFlags flags,
                      int refresh_rate);

// Opens numbered mode 1, 2 or 7 to 21 from the mode table, or closes the screen with mode 0.
// depth is taken only for modes 14 and up and only when it is 8, 15, 16, 24 or 32; otherwise the
// mode's own. pages not above 0 takes the mode's page count. An unknown or empty mode is 1.
int screen_open_mode(int mode, int depth, int pages, ModeFlags flags, int refresh_rate);

// screen_open_mode(mode, 0, 0, 0, 0), then, unless both are negative, the work and visible page:
// the result is then set_pages' (the previous pages, 0 on a fresh screen).
int screen_open_mode_pages(int mode, int work, int visible);

// Sets the window title (at most 127 bytes are kept) and passes it to the open screen's driver.
// A title set before the first set-up replaces the default, the program file's name without
// folder and extension.
void screen_set_title(std::string_view title);
// The window title, or nullptr before the first set-up or screen_set_title.
const char* window_title();

// Closes the open screen without touching the text console. Registered with atexit the first
// time a screen opens.
void screen_exit_handler();

// Everything a screen is opened with.
struct ModeRequest {
    int mode = -1; // numbered mode, -1 for a screen by pixel size, 0 to close
    int width = 0, height = 0, depth = 0;
    int scanline_size = 1; // display lines per framebuffer line
    int pages = 1;
    int refresh_rate = 0;
    int palette = -1; // built-in palette 0 to 3, -1 none
    int font = -1;    // built-in font 0 to 2, -1 none
    ModeFlags flags = 0;
    int text_cols = 0, text_rows = 0;
};

// Tears down the open screen and opens the requested one (or only closes, for width or mode 0).
// Sizes whose buffers would not fit a 32-bit size, and memory that cannot be had, are 1 with no
// screen open.
int set_mode(const ModeRequest& request);

// One row of the numbered-mode table.
struct ModeInfo { // ModeInfo{}: no such mode
    std::uint16_t width = 0, height = 0;
    std::uint8_t depth = 0, scanline_size = 0, pages = 0;
    std::int8_t palette = -1, font = -1; // -1: none
    std::uint8_t text_cols = 0, text_rows = 0;
};
inline constexpr int mode_count = 22; // 0 to 21
// The row of a mode 0 to 21, or nullptr.
const ModeInfo* mode_info(int mode);

// Whether a screen of these sizes stays within the bytes set-up allows for its pages (each with
// its alignment slack) and for its dirty flags.
bool page_sizes_fit(int width, int height, int bytes_per_pixel, int scanline_size, int pages);

// The display drivers set-up tries, in order (platform code).
std::span<const DisplayDriver* const> driver_selection_list();

// Test seam: what the driver choice sees instead of the platform's list and the environment.
// The record must outlive its use; nullptr puts the platform's back.
struct DriverChoiceOverride {
    std::span<const DisplayDriver* const> drivers;
    const char* zered = nullptr; // the value of ZERED; nullptr: not set
};
void override_driver_choice(const DriverChoiceOverride* choice);

// The program file's full path (platform code); empty when the platform cannot tell.
std::string program_file_path();

// The default window title for a program file: its name without folder (after the last "\" or
// "/") and cut at its last ".", at most 127 bytes.
std::string title_from_path(std::string_view path);

inline constexpr std::size_t window_title_capacity = 128; // with the terminating zero

} // namespace zered
