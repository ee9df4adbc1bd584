// The usage screen: the usage text in a small window, or on standard output where no window can
// be opened.
#pragma once

namespace drivenudge {

// The screen the usage text is shown on: 400 by 80 pixels, 8 bits, one page, a plain window,
// any refresh rate. Its 8 by 8 font gives 50 columns by 10 rows.
inline constexpr int usage_screen_width = 400;
inline constexpr int usage_screen_height = 80;
inline constexpr int usage_screen_depth = 8;

// Opens the usage screen, closing any open one: 0 when it is open.
int open_usage_screen();

// Prints the usage lines through the runtime's print operations: into the screen while one is
// open, to standard output otherwise.
void print_usage();

} // namespace drivenudge
