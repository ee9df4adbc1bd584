#include "runtime/print.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "runtime/console_hooks.h"

namespace rt {

namespace {

// A text view row not yet chosen.
inline constexpr int view_unset = -1;
// The rows a view has when the grid has none.
inline constexpr int fallback_rows = 25;

struct TextView {
    int top = view_unset;
    int bottom = view_unset;
};

TextView& text_view() {
    static TextView view;
    return view;
}

BeepFn& installed_beep() {
    static BeepFn beep = nullptr;
    return beep;
}

// stdout is a text stream whose line end is "\n" (the C library turns it into the platform's),
// so the device's "\r\n" goes out as "\n"; a lone carriage return passes as it is.
void write_to_stdout(std::string_view bytes) {
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] != '\r' || bytes[i + 1] != '\n') continue;
        std::fwrite(bytes.data() + start, 1, i - start, stdout);
        start = i + 1; // the line feed goes with the next piece
    }
    std::fwrite(bytes.data() + start, 1, bytes.size() - start, stdout);
}

OutputDevice& ready_output() {
    OutputDevice& device = standard_output();
    if (!device.ready) {
        device.ready = true;
        text_size(&device.width, nullptr);
        device.column = cursor_column() - 1;
    }
    return device;
}

} // namespace

OutputDevice& standard_output() {
    static OutputDevice device;
    return device;
}

void output_write(std::string_view bytes) {
    OutputDevice& device = ready_output();
    if (bytes.empty()) return;
    if (const auto print = console_hooks().print_text) {
        // The hook counts in int; a longer text goes in pieces.
        constexpr std::size_t piece = 0x40000000;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            const std::string_view part = bytes.substr(at, piece);
            print(reinterpret_cast<const unsigned char*>(part.data()),
                  static_cast<int>(part.size()), 0);
        }
    } else {
        write_to_stdout(bytes);
    }
    const std::size_t last = bytes.find_last_of("\r\n");
    unsigned long long column = last != std::string_view::npos
                                    ? bytes.size() - last - 1
                                    : static_cast<unsigned long long>(device.column) + bytes.size();
    if (device.width > 0) column %= static_cast<unsigned long long>(device.width);
    device.column = static_cast<int>(std::min<unsigned long long>(column, INT_MAX));
}

int print_string(int channel, std::string_view text, unsigned flags) {
    if (channel != standard_output_channel) {
        set_last_error(error_illegal_function_call);
        return error_illegal_function_call;
    }
    output_write(text);
    return print_end(channel, flags);
}

int print_end(int channel, unsigned flags) {
    if (channel != standard_output_channel) {
        set_last_error(error_illegal_function_call);
        return error_illegal_function_call;
    }
    if (flags & (PRINT_END_LINE | PRINT_END_LINE_ALT)) {
        output_write("\r\n");
    } else if (flags & PRINT_NEXT_ZONE) {
        const OutputDevice& device = ready_output();
        const int start = (device.column + print_zone_width) / print_zone_width *
                              print_zone_width + 1; // 1-based
        if ((device.width > 0 && start > device.width - print_zone_width) ||
            start <= device.column + 1)
            output_write("\r\n");
        else
            output_write(std::string(static_cast<std::size_t>(start - device.column - 1), ' '));
    }
    return 0;
}

void text_size(int* columns, int* rows) {
    if (const auto size = console_hooks().text_size) {
        size(columns, rows);
        return;
    }
    if (columns) *columns = 0;
    if (rows) *rows = 0;
}

int cursor_column() {
    if (const auto column = console_hooks().cursor_column) return column();
    return 1;
}

int view_top() {
    TextView& view = text_view();
    if (view.top == view_unset) view.top = 0;
    return view.top;
}

int view_bottom() {
    TextView& view = text_view();
    if (view.bottom == view_unset) {
        int rows = 0;
        text_size(nullptr, &rows);
        view.bottom = (rows > 0 ? rows : fallback_rows) - 1;
    }
    return view.bottom;
}

void text_view_unset() { text_view() = TextView{}; }

namespace {

// Makes the 0-based rows top to bottom the text view and puts the cursor on its first row.
void install_text_view(int top, int bottom) {
    text_view() = TextView{top, bottom};
    if (const auto changed = console_hooks().view_changed) changed();
    move_cursor(top + 1, 1, 0);
}

} // namespace

void text_view_reset() {
    int rows = 0;
    text_size(nullptr, &rows);
    install_text_view(0, (rows > 0 ? rows : fallback_rows) - 1);
}

int text_view_set(int first_row, int last_row) {
    int rows = 0;
    text_size(nullptr, &rows);
    if (first_row < 1 || first_row > last_row || (rows > 0 && last_row > rows)) {
        set_last_error(error_illegal_function_call);
        return error_illegal_function_call;
    }
    install_text_view(first_row - 1, last_row - 1);
    return 0;
}

int move_cursor(int row, int column, int visibility) {
    int columns = 0;
    text_size(&columns, nullptr);
    // Without a grid (no screen) there are no columns to check against.
    if ((row != 0 && (row < view_top() + 1 || row > view_bottom() + 1)) ||
        (column != 0 && (column < 1 || (columns > 0 && column > columns)))) {
        set_last_error(error_illegal_function_call);
        return error_illegal_function_call;
    }
    int result = 0;
    if (const auto move = console_hooks().move_cursor) result = move(row, column, visibility);
    if (column != 0) standard_output().column = column - 1;
    return result;
}

BeepFn set_beep(BeepFn beep) {
    const BeepFn previous = installed_beep();
    installed_beep() = beep;
    return previous;
}

void beep(int frequency, int duration) {
    if (const BeepFn replaced = installed_beep())
        replaced(frequency, duration);
    else
        platform_beep(frequency, duration);
}

} // namespace rt
