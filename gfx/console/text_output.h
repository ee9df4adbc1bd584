// Text on the open screen: the console operations that print, move the cursor, answer the cursor
// and size questions, change the text grid and read cells back. The screen set-up puts them into
// the runtime's console hook table; they run on the program's thread.
//
// Coordinates are 1-based at these operations and 0-based inside the ScreenState. Glyphs come
// from the screen's font, drawn opaque (foreground for set bits, background for clear ones)
// pixel by pixel into the drawing context's work page; the characters go into the work page's
// text cells, sign-extended to 16 bits (byte 200 is stored as 0xFFC8).
//
// Without an open screen every operation does nothing and answers 0.
#pragma once

#include <cstdint>

namespace zered {

struct DrawContext;

// Prints length bytes at the cursor (control characters, wrapping and scrolling as text_print
// describes), under the screen lock, and marks the pixel rows it drew dirty when the work page is
// the visible page. Length 0 does nothing unless flags has rt::PRINT_EVEN_EMPTY; then only a
// deferred wrap is settled. A print that ends exactly at the end of the text view's last row
// does not scroll: the cursor stays on the last cell with STATE_WRAP_PENDING, and the next print
// starts a new row (scrolling then) before anything else.
void print_text(const unsigned char* bytes, int length, unsigned flags);

// Prints 16-bit characters: units up to 255 as those bytes, the first half of a surrogate pair
// as "?" (its second half is skipped), any other unit as "?".
void print_text_wide(const std::uint16_t* units, int length, unsigned flags);

// Moves the cursor (1-based; 0 keeps the current value; visibility is ignored), ends a deferred
// wrap and makes the new column the standard output device's column. The runtime has checked the
// bounds. Returns ((row - 1) << 8, kept to 16 bits) | ((column - 1) & 255), plus 257.
int move_cursor(int row, int column, int visibility);

// The cursor, 1-based; cursor_position stores each value only if its pointer is given.
int cursor_column();
int cursor_row();
void cursor_position(int* column, int* row);

// The text grid's columns and rows, each only if its pointer is given.
void text_size(int* columns, int* rows);

// Changes the text grid when the glyph size it implies (screen width / columns, screen height /
// rows; a value not above 0 keeps its part) is 8 wide and 8, 14 or 16 high: the matching font,
// new text cells, the whole screen as view, all rows as text view, the cursor at row 1, column 1
// and everything cleared. Any other size changes nothing. Returns the previous size, rows << 16 |
// columns.
int set_text_size(int columns, int rows);

// Told that the text view changed; nothing to do on the screen.
void view_changed();

// What a text cell holds (1-based column and row): what 0 gives the character (16 bits,
// unsigned); otherwise the colours: foreground + background * 16 below depth 5, foreground +
// background * 256 up to depth 8; at depth 16 the foreground (what 2: the background) as
// 0xFFRRGGBB; at depth 32 the foreground or background as stored. 0 outside the grid.
int read_cell(int column, int row, int what);

// Answers 0 on the screen.
int console_query();

// Clears the whole work page to the background colour and its text cells to blanks in the current
// colours, marks every line dirty when the work page is visible, puts the last graphics point at
// the centre of the graphics view and the cursor at the text view's first row, column 1.
void clear_whole_screen();

// Puts the drawing context's last graphics point at the centre of its graphics view, as every
// clear does.
void centre_last_point(DrawContext& context);

// A 5-6-5 pixel as 0xFFRRGGBB, each component's top bits repeated into its new low bits.
constexpr std::uint32_t colour_565_to_888(std::uint32_t pixel) {
    const std::uint32_t r = (pixel >> 11) & 0x1F;
    const std::uint32_t g = (pixel >> 5) & 0x3F;
    const std::uint32_t b = pixel & 0x1F;
    return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

} // namespace zered
