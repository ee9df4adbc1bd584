// The table of console operations that an open screen takes over.
//
// While a slot is empty the runtime uses its own text-console behaviour for that operation; while
// it is filled the runtime calls the slot instead. A screen fills all slots together when it opens
// and empties them together when it closes. The runtime only ever reads the table.
#pragma once

#include <cstdint>

namespace rt {

struct ConsoleHooks {
    // Keys. read_key_string stores one or two bytes into out and returns how many (0: no key).
    int (*read_key_string)(unsigned char out[2]) = nullptr;
    int (*wait_key)() = nullptr;
    int (*key_waiting)() = nullptr;
    // Screen and colours.
    int (*clear_screen)(int mode) = nullptr;
    int (*set_colour)(int flags, std::int32_t fg, std::int32_t bg) = nullptr;
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
    // Line input with echo; size counts the terminating zero.
    int (*read_line_raw)(char* buffer, int size) = nullptr;
    int (*key_down)(int scan_code) = nullptr;
    // Mouse.
    int (*query_mouse)(int* x, int* y, int* wheel, int* buttons) = nullptr;
    void (*move_mouse)(int x, int y, int visible, int clip) = nullptr;
    // Emulated hardware ports.
    int (*port_in)(int port) = nullptr;
    void (*port_out)(int port, int value) = nullptr;
    void (*view_changed)() = nullptr;
    int (*input_line)(const char* prompt, int prompt_length, char* buffer, int size) = nullptr;
    int (*input_line_wide)(const std::uint16_t* prompt, int prompt_length, std::uint16_t* buffer,
                           int size) = nullptr;
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
int last_error();
void set_last_error(int error);

} // namespace rt
