// The table of console operations that an open screen takes over.
//
// While a slot is empty the runtime uses its own text-console behaviour for that operation; while
// it is filled the runtime calls the slot instead. A screen fills all slots together when it opens
// and empties them together when it closes. The runtime only ever reads the table.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/line_input.h" // StringTarget

namespace rt {

struct ConsoleHooks {
    // Keys. read_key_string stores one or two bytes into out and returns how many (0: no key).
    int (*read_key_string)(unsigned char out[2]) = nullptr;
    int (*wait_key)() = nullptr;
    int (*key_waiting)() = nullptr;
    // Screen and colours. set_colour returns the previous colours.
    void (*clear_screen)(int mode) = nullptr;
    std::int32_t (*set_colour)(std::int32_t foreground, std::int32_t background,
                               unsigned flags) = nullptr;
    // Cursor and text grid; rows and columns are counted from 1.
    int (*move_cursor)(int row, int column, int visibility) = nullptr;
    int (*set_text_size)(int columns, int rows) = nullptr;
    int (*cursor_column)() = nullptr;
    int (*cursor_row)() = nullptr;
    void (*cursor_position)(int* column, int* row) = nullptr;
    void (*text_size)(int* columns, int* rows) = nullptr;
    // Output.
    void (*print_text)(const unsigned char* bytes, int length, unsigned flags) = nullptr;
    void (*print_text_wide)(const std::uint16_t* units, int length, unsigned flags) = nullptr;
    // Line input with echo into buffer, which has room for size bytes, the terminating zero
    // included. Returns buffer, or nullptr when there is nothing to read from.
    char* (*read_line_raw)(char* buffer, int size) = nullptr;
    int (*key_down)(int scan_code) = nullptr;
    // Mouse: 0, or error 1 when there is no mouse to ask or move.
    int (*query_mouse)(int* x, int* y, int* wheel, int* buttons, int* clip) = nullptr;
    int (*move_mouse)(int x, int y, int visible, int clip) = nullptr;
    // Emulated hardware ports (16-bit port numbers, 8-bit values); -1 for a port that is not there.
    int (*port_in)(int port) = nullptr;
    int (*port_out)(int port, int value) = nullptr;
    void (*view_changed)() = nullptr;
    // Prompt (when given), read a line, store it into destination: 0, or error_out_of_memory
    // when no line could be had. question prints "? " after the prompt; newline ends the line.
    int (*input_line)(std::optional<std::string_view> prompt, StringTarget<char> destination,
                      int fill_mode, int question, int newline) = nullptr;
    int (*input_line_wide)(std::optional<std::u16string_view> prompt,
                           StringTarget<char16_t> destination, int fill_mode, int question,
                           int newline) = nullptr;
    int (*read_cell)(int column, int row, int what) = nullptr;
    void (*sleep)(int milliseconds) = nullptr;
    int (*console_query)() = nullptr;
    int (*copy_page)(int source, int destination) = nullptr;
    int (*set_pages)(int work, int visible) = nullptr;
};

inline constexpr int console_hook_slots = 27;

// The process-wide table. Filled and emptied by the screen set-up, on the program's thread.
ConsoleHooks& console_hooks();

// The runtime's last error number. Console operations record a bad argument as error 1 (illegal
// function call) and change nothing; the screen set-up records its result (0 or 1) here too.
inline constexpr int error_illegal_function_call = 1;
inline constexpr int error_out_of_memory = 4;
int last_error();
void set_last_error(int error);

} // namespace rt
