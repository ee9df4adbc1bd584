#include "gfx/console/line_editor.h"

#include <string>

#include "gfx/console/key_input.h"
#include "gfx/console/text_output.h"
#include "gfx/core/screen_state.h"
#include "runtime/console_hooks.h"
#include "runtime/print.h"

namespace zered {

namespace {

void print_bytes(const unsigned char* bytes, int count) { print_text(bytes, count, 0); }

void print_byte(unsigned char byte) { print_bytes(&byte, 1); }

// One cell back: onto the cell a deferred wrap holds the cursor on, else to the left, from
// column 0 to the end of the row above, never before the first cell of the grid.
void step_back(const ScreenState& screen) {
    int x = screen.cursor_x;
    int y = screen.cursor_y;
    if (!(screen.flags & STATE_WRAP_PENDING)) {
        if (x > 0) {
            --x;
        } else if (y > 0) {
            --y;
            x = screen.text_cols - 1;
        }
    }
    move_cursor(y + 1, x + 1, 0); // also ends the deferred wrap
}

// The mark on the cell the cursor is on; the cursor stays there.
void show_mark(const ScreenState& screen) {
    print_byte(raw_line_mark);
    step_back(screen);
}

void print_prompt(std::string_view prompt) {
    rt::print_string(rt::standard_output_channel, prompt, 0);
}

void print_prompt(std::u16string_view prompt) {
    print_text_wide(reinterpret_cast<const std::uint16_t*>(prompt.data()),
                    static_cast<int>(prompt.size()), 0);
    rt::standard_output().column = cursor_column() - 1;
}

int store_line(rt::StringTarget<char> destination, const std::string& line, int fill_mode) {
    return rt::string_assign(destination, line, fill_mode);
}

int store_line(rt::StringTarget<char16_t> destination, const std::string& line, int fill_mode) {
    return rt::string_assign(destination, rt::widen(line), fill_mode);
}

template <typename Char>
int prompted_line(std::optional<std::basic_string_view<Char>> prompt,
                  rt::StringTarget<Char> destination, int fill_mode, int question, int newline) {
    if (prompt) {
        if (!prompt->empty()) print_prompt(*prompt);
        if (question) rt::print_string(rt::standard_output_channel, "? ", 0);
    }
    const std::optional<std::string> line = rt::line_edit(true);
    if (newline) rt::print_end(rt::standard_output_channel, rt::PRINT_END_LINE);
    if (!line) {
        rt::set_last_error(rt::error_out_of_memory);
        return rt::error_out_of_memory;
    }
    return store_line(destination, *line, fill_mode);
}

} // namespace

char* read_line_raw(char* buffer, int size) {
    const ScreenState* screen = current_screen();
    if (!screen) return nullptr;
    // Characters that fit before the terminating zero; -1 when not even the zero fits.
    const int room = buffer && size > 0 ? size - 1 : -1;
    int stored = 0;
    show_mark(*screen);
    for (;;) {
        const std::int32_t code = wait_key(); // never 0 while a screen is open
        if (code >= 256 || code == 7) continue;
        // Characters 128 to 255 may come as -128 to -1.
        const auto c = static_cast<unsigned char>(code & 0xFF);
        if (c == '\b') {
            if (stored == 0) continue;
            // Mark and blank over the last character and the old mark, then back onto the mark.
            step_back(*screen);
            static constexpr unsigned char erased[2] = {raw_line_mark, ' '};
            print_bytes(erased, 2);
            step_back(*screen);
            step_back(*screen);
            --stored;
        } else if (c == '\r') {
            if (stored < room) {
                print_byte(' ');
                step_back(*screen);
                buffer[stored++] = '\r';
                print_byte('\r');
            }
            break;
        } else if (stored < room) {
            buffer[stored++] = static_cast<char>(c);
            print_byte(c);
            show_mark(*screen);
        }
    }
    if (room >= 0) buffer[stored] = '\0';
    return buffer;
}

int input_line(std::optional<std::string_view> prompt, rt::StringTarget<char> destination,
               int fill_mode, int question, int newline) {
    return prompted_line(prompt, destination, fill_mode, question, newline);
}

int input_line_wide(std::optional<std::u16string_view> prompt,
                    rt::StringTarget<char16_t> destination, int fill_mode, int question,
                    int newline) {
    return prompted_line(prompt, destination, fill_mode, question, newline);
}

} // namespace zered
