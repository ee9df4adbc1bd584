// Line input on the open screen: a minimal editor that echoes straight into the screen, and the
// prompted line input that stores into a runtime string through the runtime's line editor.
// The screen set-up puts them into the runtime's console hook table; program's thread only.
#pragma once

#include <optional>
#include <string_view>

#include "runtime/line_input.h"

namespace zered {

// The cursor mark of read_line_raw: the full block.
inline constexpr unsigned char raw_line_mark = 219;

// Reads keys into buffer, which has room for size bytes, the terminating zero included, and
// echoes them at the cursor with a block as the mark after the text. Backspace (8) takes back
// the last character (also across the start of a row); the bell (7) and extended keys are
// ignored; carriage return (13) ends the line and is stored before the zero when there is room;
// every other character is stored while there is room and ignored after. The buffer always
// ends with a zero; a size below 1 has no room even for that and is left untouched. Returns
// buffer, or nullptr without a screen.
char* read_line_raw(char* buffer, int size);

// Prints the prompt (when given; then "? " when question is not 0), reads a line with the
// runtime's line editor (mark on), ends the output line when newline is not 0, and stores the line
// into destination (rt::string_assign with fill_mode). A deferred wrap is settled by the first
// print or by the editor. 0, the assignment's error 1, or rt::error_out_of_memory (recorded as
// the last error) when no line could be had.
int input_line(std::optional<std::string_view> prompt, rt::StringTarget<char> destination,
               int fill_mode, int question, int newline);

// The same with a 16-bit prompt (printed as print_text_wide prints) and destination; the line's
// bytes become the 16-bit characters of the same values.
int input_line_wide(std::optional<std::u16string_view> prompt,
                    rt::StringTarget<char16_t> destination, int fill_mode, int question,
                    int newline);

} // namespace zered
