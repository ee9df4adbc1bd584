// The text printer: interprets control characters, collects printable bytes, wraps at the
// window's right edge and scrolls at its bottom. It knows nothing of pixels: a TextWindow's write
// and scroll operations do the drawing.
#pragma once

namespace zered {

// A rectangle of text cells with a cursor, for one print call. left, top, right and bottom are
// inclusive 0-based grid coordinates; bottom -1 makes a window that never scrolls. x and y are
// the cursor in grid coordinates.
struct TextWindow {
    // Whatever write and scroll need (the screen keeps its drawing context and dirty rows here).
    void* user;
    // Scrolls the rectangle up by lines rows and leaves y at bottom.
    void (*scroll)(TextWindow& window, int left, int top, int right, int bottom, int lines);
    // Draws count bytes at (x, y), all on that row. 1 when done; anything else ends the call's
    // output.
    int (*write)(TextWindow& window, const unsigned char* bytes, int count);
    int left, top, right, bottom;
    int x, y;
};

// Printable bytes waiting to be drawn are collected up to this many and then drawn a row's chunk
// at a time.
inline constexpr int text_pending_capacity = 1024;

// Tab stops are this many columns apart, counted from the window's left edge.
inline constexpr int text_tab_width = 8;

// The bell: a beep of 1,000 Hz for 250 ms.
inline constexpr int bell_frequency = 1000;
inline constexpr int bell_duration_ms = 250;

// Prints length bytes into the window at its cursor:
//   7 (bell)        beeps at once, ahead of printable bytes still waiting; prints nothing
//   8 (backspace)   one column left, never past the left edge, never to the row above
//   9 (tab)         spaces up to the next tab stop (1 to 8)
//   10 (line feed)  one row down and back to the left edge
//   13 (return)     back to the left edge
//   anything else   printable (11 and 12 too)
// Writing that fills a row to its right edge leaves the cursor at the left edge of the row below,
// even below bottom: the scroll for it waits until more is drawn there, so the caller can defer
// it. A cursor movement that leaves the cursor below bottom scrolls before the printer returns.
void text_print(TextWindow& window, const unsigned char* bytes, int length);

// Scrolls the window when its cursor is below bottom (and bottom is not -1).
void text_window_settle(TextWindow& window);

} // namespace zered
