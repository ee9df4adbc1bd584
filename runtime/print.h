// The runtime's text output: the print entry points, the standard output device behind channel 0,
// the text view, the cursor and size questions, and the bell.
//
// While a screen is open the console hook table routes all of it into the screen. With the table
// empty there is no text console to talk to (the utility is a windowed program): the device then
// writes to the C library's stdout, the text size is 0 by 0 (no limit) and cursor moves only
// keep the device's column.
//
// Everything here runs on the program's thread and is not locked.
#pragma once

#include <string_view>

namespace rt {

// print_string / print_end flags.
inline constexpr unsigned PRINT_END_LINE = 0x1;     // then "\r\n"
inline constexpr unsigned PRINT_NEXT_ZONE = 0x2;    // then on to the next print zone
inline constexpr unsigned PRINT_END_LINE_ALT = 0x4; // also "\r\n"
// print_text flag: run even for no bytes, which only settles a deferred wrap and the cursor.
inline constexpr unsigned PRINT_EVEN_EMPTY = 0x8;

// Print zones are this many columns wide.
inline constexpr int print_zone_width = 14;

// The standard output channel.
inline constexpr int standard_output_channel = 0;

// Writes text to the channel's device, then the end that flags ask for (see print_end). Only the
// standard output channel exists; any other is error 1 and prints nothing. 0 on success.
int print_string(int channel, std::string_view text, unsigned flags);

// PRINT_END_LINE or PRINT_END_LINE_ALT: writes "\r\n". Otherwise PRINT_NEXT_ZONE: moves on to the
// next print zone: spaces up to it, or "\r\n" when the device has a width and the zone would
// start within the last 14 columns. Otherwise nothing. 0, or error 1 for another channel.
int print_end(int channel, unsigned flags);

// The standard output device. column is the 0-based column the next byte lands in; width is the
// number of text columns, 0 for no limit. Set up on first use: the width from text_size and the
// column from cursor_column - 1.
struct OutputDevice {
    bool ready = false;
    int column = 0;
    int width = 0;
};
OutputDevice& standard_output();

// Writes bytes to the standard output device: into the hook table's print_text while a screen is
// open, to stdout otherwise; then updates the column: after a carriage return or line feed it is
// the number of bytes after the last one, else it grows by the count; with a width it wraps.
void output_write(std::string_view bytes);

// The text grid: columns and rows, each only if its pointer is given. 0 and 0 without a screen.
void text_size(int* columns, int* rows);

// 1-based cursor column; 1 without a screen.
int cursor_column();

// The text view: the first and last 0-based row that printing goes to and that scrolls. Unset at
// start and after a screen closes; reading an unset top gives (and keeps) 0, an unset bottom the
// grid's last row (24 when the grid has no rows).
int view_top();
int view_bottom();
void text_view_unset();

// Makes the text view all rows of the text grid, tells the hook table's view_changed, and moves
// the cursor to row 1, column 1.
void text_view_reset();

// Makes rows first to last (1-based, within the text grid, first not after last) the text view,
// tells the hook table's view_changed, and moves the cursor to the view's first row, column 1.
// Other rows are error 1 and change nothing. Without a grid the rows are not checked.
int text_view_set(int first_row, int last_row);

// Moves the cursor; rows and columns count from 1 and 0 keeps the current value. A row outside
// the text view or a column outside 1 to the grid's columns is error 1 and changes nothing.
// Otherwise the hook table's move_cursor runs (with a screen) and its result is returned; a given
// column also becomes the standard output device's column (column - 1). Without a screen: 0.
int move_cursor(int row, int column, int visibility);

// The bell. Sounds frequency hertz for duration milliseconds where the platform can: Windows
// beeps; elsewhere a terminal on standard output gets "\a", and without one nothing happens.
void beep(int frequency, int duration);
// Test seam: replaces the platform's beep (nullptr puts it back). Returns the previous one.
using BeepFn = void (*)(int frequency, int duration);
BeepFn set_beep(BeepFn beep);
void platform_beep(int frequency, int duration);

} // namespace rt
