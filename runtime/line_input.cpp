#include "runtime/line_input.h"

#include <algorithm>
#include <array>
#include <new>

#include "runtime/console_hooks.h"
#include "runtime/print.h"
#include "runtime/sleep.h"

namespace rt {

namespace {

template <typename Char>
int assign(StringTarget<Char> target, std::basic_string_view<Char> text, int fill_mode) {
    const bool bad_field = !target.string && (!target.field || target.size < 0);
    if (bad_field || (fill_mode != FILL_ZERO && fill_mode != FILL_SPACES)) {
        set_last_error(error_illegal_function_call);
        return error_illegal_function_call;
    }
    if (target.string) {
        target.string->assign(text);
        return 0;
    }
    const auto size = static_cast<std::size_t>(target.size);
    if (fill_mode == FILL_ZERO) {
        if (size == 0) return 0;
        const std::size_t kept = std::min(text.size(), size - 1);
        std::copy_n(text.data(), kept, target.field);
        target.field[kept] = Char{0};
    } else {
        const std::size_t kept = std::min(text.size(), size);
        std::copy_n(text.data(), kept, target.field);
        std::fill(target.field + kept, target.field + size, Char{' '});
    }
    return 0;
}

enum class EditAction {
    ignore,
    backspace,
    tab,
    finish,
    escape,
    home,
    end,
    left,
    right,
    up,
    down,
    erase,
    insert,
};

struct EditKey {
    std::int32_t code;
    EditAction action;
};

constexpr std::array<EditKey, 12> edit_keys{{
    {8, EditAction::backspace},
    {9, EditAction::tab},
    {10, EditAction::finish},
    {13, EditAction::finish},
    {27, EditAction::escape},
    {key_home, EditAction::home},
    {key_end, EditAction::end},
    {key_left, EditAction::left},
    {key_right, EditAction::right},
    {key_up, EditAction::up},
    {key_down, EditAction::down},
    {key_delete, EditAction::erase},
}};

EditAction action_for(std::int32_t code) {
    for (const EditKey& key : edit_keys)
        if (key.code == code) return key.action;
    return code >= 32 && code <= 255 ? EditAction::insert : EditAction::ignore;
}

inline constexpr int tab_width = 8;
inline constexpr int beep_frequency = 1000;
inline constexpr int beep_duration_ms = 250;
// The byte that, printed alone, underlines its cell: the editor's mark.
inline constexpr char mark_byte = '\xFF';
// Visibility argument of move_cursor that changes nothing, and the result bit that says the
// cursor is shown.
inline constexpr int visibility_unchanged = -1;
inline constexpr int cursor_shown_bit = 1 << 16;

struct Cell {
    int row, column; // 1-based
};

// The editor works only through the console operations, so that it runs on whatever console
// the hook table stands for.
class LineEditor {
  public:
    LineEditor(bool show_mark, int columns) : mark_(show_mark), columns_(columns) {}

    std::string run() {
        const ConsoleHooks& hooks = console_hooks();
        // A prompt that filled the view's last cell leaves the screen's wrap deferred. Settled
        // before the first cursor call (any move_cursor ends the deferral without moving), the
        // line starts at the start of the next row, where the cursor really stands.
        settle();
        saved_visibility_ =
            (move_cursor(0, 0, visibility_unchanged) & cursor_shown_bit) != 0 ? 1 : 0;
        move_cursor(0, 0, 0);
        visibility_ = mark_ ? 0 : 1;
        move_cursor(0, 0, visibility_);

        for (;;) {
            const Cell at = cursor();
            if (mark_) {
                output_write(std::string_view(&mark_byte, 1));
                move_to(at);
            }
            const std::int32_t code = next_key(hooks);
            if (mark_) {
                const char under = pos_ < line_.size() ? line_[pos_] : ' ';
                output_write(std::string_view(&under, 1));
                move_to(at);
            }
            const EditAction action = action_for(code);
            act(action);
            move_cursor(0, 0, visibility_);
            if (action == EditAction::finish) break;
        }
        move_by(static_cast<long long>(line_.size() - pos_));
        move_cursor(0, 0, saved_visibility_);
        return line_;
    }

  private:
    void act(EditAction action) {
        const std::size_t length = line_.size();
        const auto columns = static_cast<std::size_t>(columns_);
        switch (action) {
        case EditAction::backspace:
            if (pos_ > 0) {
                move_left(1);
                erase(1);
            }
            break;
        case EditAction::tab:
            insert(tab_width - pos_ % tab_width, ' ');
            break;
        case EditAction::escape:
            move_left(pos_);
            erase(length);
            break;
        case EditAction::home:
            move_left(pos_);
            break;
        case EditAction::end:
            move_right(length - pos_);
            break;
        case EditAction::left:
            if (pos_ > 0) move_left(1);
            break;
        case EditAction::right:
            if (pos_ < length) move_right(1);
            break;
        case EditAction::up:
            if (pos_ >= columns) move_left(columns);
            break;
        case EditAction::down:
            if (length >= pos_ + columns) move_right(columns);
            break;
        case EditAction::erase:
            if (pos_ == length)
                beep(beep_frequency, beep_duration_ms);
            else
                erase(1);
            break;
        case EditAction::insert:
            insert(1, static_cast<char>(code_));
            break;
        case EditAction::finish:
        case EditAction::ignore:
            break;
        }
    }

    std::int32_t next_key(const ConsoleHooks& hooks) {
        for (;;) {
            while (hooks.key_waiting() == 0)
                wait_ms(line_edit_poll_ms);
            unsigned char bytes[2] = {0, 0};
            const int count = hooks.read_key_string(bytes);
            if (count == 2) return code_ = bytes[1] * 256 + 0xFF;
            if (count == 1) return code_ = bytes[0];
        }
    }

    // Inserts count characters c at the insertion point: the rest of the line is printed again
    // after them and the cursor stands after the inserted ones.
    void insert(std::size_t count, char c) {
        line_.insert(pos_, count, c);
        print_from(pos_, 0);
        pos_ += count;
        move_by(-static_cast<long long>(line_.size() - pos_));
    }

    // Deletes count characters at the insertion point (there are as many); the rest of the line
    // moves up and the cells it leaves are blanked.
    void erase(std::size_t count) {
        line_.erase(pos_, count);
        print_from(pos_, count);
        move_by(-static_cast<long long>(line_.size() - pos_ + count));
    }

    void move_left(std::size_t cells) {
        pos_ -= cells;
        move_by(-static_cast<long long>(cells));
    }
    void move_right(std::size_t cells) {
        pos_ += cells;
        move_by(static_cast<long long>(cells));
    }

    // Prints the line from index from on, then blanks spaces. A print that ends exactly after
    // the view's last cell is settled at once (the screen defers that scroll), so that the
    // cursor stands where the printed cells end.
    void print_from(std::size_t from, std::size_t blanks) {
        output_write(std::string_view(line_).substr(from));
        if (blanks > 0) output_write(std::string(blanks, ' '));
        settle();
    }

    // Ends a deferred wrap, so that the cursor stands where the printed cells end.
    static void settle() {
        static constexpr unsigned char nothing = 0;
        console_hooks().print_text(&nothing, 0, PRINT_EVEN_EMPTY);
    }

    // Moves the cursor by cells along the rows, wrapping at the text columns. Never above the
    // text view's first row; a move below its last row scrolls the text up, the cursor coming
    // to rest on the last row.
    void move_by(long long cells) {
        const Cell at = cursor();
        const int top = view_top() + 1;
        const int bottom = view_bottom() + 1;
        const long long first = static_cast<long long>(top - 1) * columns_;
        const long long target =
            std::max(first, static_cast<long long>(at.row - 1) * columns_ + (at.column - 1) + cells);
        const long long row = target / columns_ + 1;
        const int column = static_cast<int>(target % columns_) + 1;
        if (row <= bottom) {
            move_to({static_cast<int>(row), column});
            return;
        }
        move_to({bottom, columns_});
        for (long long n = row - bottom; n > 0; --n)
            output_write("\r\n");
        if (column != 1) move_to({bottom, column});
    }

    void move_to(Cell cell) { move_cursor(cell.row, cell.column, visibility_); }

    static Cell cursor() {
        Cell cell{1, 1};
        if (const auto position = console_hooks().cursor_position)
            position(&cell.column, &cell.row);
        return cell;
    }

    bool mark_;
    int columns_;
    std::string line_;
    std::size_t pos_ = 0;
    std::int32_t code_ = 0;
    int visibility_ = 1;
    int saved_visibility_ = 1;
};

} // namespace

int string_assign(StringTarget<char> target, std::string_view text, int fill_mode) {
    return assign(target, text, fill_mode);
}

int string_assign(StringTarget<char16_t> target, std::u16string_view text, int fill_mode) {
    return assign(target, text, fill_mode);
}

std::u16string widen(std::string_view text) {
    std::u16string wide(text.size(), u'\0');
    std::transform(text.begin(), text.end(), wide.begin(),
                   [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
    return wide;
}

std::optional<std::string> line_edit(bool show_mark) {
    const ConsoleHooks& hooks = console_hooks();
    if (!hooks.key_waiting || !hooks.read_key_string || !hooks.print_text ||
        !hooks.cursor_position)
        return std::nullopt;
    int columns = 0;
    text_size(&columns, nullptr);
    if (columns < 1) return std::nullopt;
    try {
        return LineEditor(show_mark, columns).run();
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace rt
