// Console operations on the open screen besides printing and keys: clearing, colours, the choice
// and copy of pages, and the mouse. The screen set-up puts them into the runtime's console hook
// table; they run on the program's thread, and every change of pixels, palette or visible page
// happens under the screen lock.
//
// "Error 1" below means the runtime's error 1 (illegal function call) is recorded as the last
// error and returned.
#pragma once

#include <cstdint>

namespace zered {

// clear_screen modes.
inline constexpr int CLEAR_ALL = 0;           // the whole work page and every text cell
inline constexpr int CLEAR_GRAPHICS_VIEW = 1; // the drawing context's view (any unknown mode too)
inline constexpr int CLEAR_TEXT_VIEW = 2;     // the rows of the text view
// No mode given: the graphics view once one has been set, else everything when the text view is
// the whole grid, else the text view.
inline constexpr int CLEAR_DEFAULT = static_cast<int>(0xFFFF0000u);

// Clears to the background colour (blending on a 32-bit screen with alpha primitives when the
// background is translucent); cleared text cells hold spaces in the current colours. Clearing
// everything or the text view puts the cursor on the text view's first row, column 1; clearing
// everything or the graphics view puts the last graphics point at the view's centre. Lines are
// marked dirty when the work page is visible.
void clear_screen(int mode);

// set_colour flags: keep the foreground, keep the background.
inline constexpr unsigned COLOUR_KEEP_FG = 0x1;
inline constexpr unsigned COLOUR_KEEP_BG = 0x2;

// Sets the drawing colours, except for what flags keep:
// - numbered mode 1: the background (-4 to -1, from its two low bits) picks the mode's colour set
//   (a palette reset) and the foreground becomes palette entry 0's value; the context's colours
//   stay;
// - numbered modes 7, 8 and 9: the foreground (low 4 bits) becomes the foreground colour and the
//   background palette entry 0's value;
// - every other screen: foreground and background become the colours, given as 0x00RRGGBB and
//   converted to the pixel format above 8 bits, masked to a byte at 8 bits and below.
// Returns the previous colours: background << 16 | foreground at 8 bits and below, the foreground
// as 0xFFRRGGBB at 16 bits, the foreground as stored at 32 bits. 0 without a screen.
std::int32_t set_colour(std::int32_t foreground, std::int32_t background, unsigned flags);

// Chooses the work page (drawn on) and the visible page (presented); a page outside 0 to
// page_count - 1 leaves its choice alone, and both negative choose page 0 for both. A new visible
// page marks every line dirty. Returns the previous choice, visible << 8 | work.
int set_pages(int work, int visible);

// Copies the drawing context's graphics view and the whole text grid from page source to page
// destination; a negative source is the work page, a negative destination the visible page. 0, or
// error 1 without a screen, for a page that does not exist, and on a driver that presents by flip
// (it is flipped and polled instead). Onto the visible page the copy runs under the screen lock
// and marks the view's lines dirty; when the program already holds the lock, the copy runs under
// that and marks nothing, leaving it to the program's unlock.
int copy_page(int source, int destination);

// Mouse position, wheel, buttons and clip state from the driver, under the screen lock. Null
// pointers are allowed. Without a screen, without the driver's get_mouse, or when it has no data:
// all five become -1 and the result is error 1; otherwise 0.
int query_mouse(int* x, int* y, int* wheel, int* buttons, int* clip);

// Moves the mouse, shows or hides its cursor and confines it, through the driver under the
// screen lock. 0, or error 1 without a screen or without the driver's set_mouse.
int move_mouse(int x, int y, int visible, int clip);

} // namespace zered
