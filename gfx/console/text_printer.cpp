#include "gfx/console/text_printer.h"

#include <algorithm>
#include <array>

#include "runtime/print.h"

namespace zered {

namespace {

// Printable bytes not yet drawn, and the cursor's column as it will be once they are (what a
// tab counts from).
class Printer {
  public:
    explicit Printer(TextWindow& window) : window_(window), x_(window.x) {}

    void append(const unsigned char* bytes, int count) {
        if (count_ + count > text_pending_capacity) write_out();
        std::copy_n(bytes, count, pending_.begin() + count_);
        count_ += count;
        // Folded back into the window as the drawing wraps.
        x_ = (x_ + count - window_.left) % (window_.right - window_.left + 1) + window_.left;
    }

    // Tab stops count from the left edge, at the cursor as it will be after the pending bytes.
    void tab() {
        static constexpr std::array<unsigned char, text_tab_width> spaces{
            ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
        const int column = x_ - window_.left;
        append(spaces.data(), text_tab_width - ((column % text_tab_width) + text_tab_width) %
                                                   text_tab_width);
    }

    // Draws what is pending, then puts the cursor on the left edge, rows further down.
    void to_left_edge(int rows) {
        write_out();
        window_.x = window_.left;
        window_.y += rows;
        sync();
        moved_ = true;
    }

    void backspace() {
        write_out();
        if (window_.x > window_.left) {
            --window_.x;
            sync();
            moved_ = true;
        }
    }

    void finish() {
        if (count_ > 0) {
            write_out();
            return;
        }
        if (moved_) text_window_settle(window_);
    }

  private:
    // Draws the pending bytes. With none pending nothing happens: in particular a cursor
    // movement before it stays marked, so a backspace that cannot move does not lose the scroll
    // a line feed before it still owes.
    void write_out() {
        if (count_ == 0) return;
        int done = 0;
        while (done < count_) {
            if (window_.x < window_.left || window_.x > window_.right) {
                // Only a cursor put outside the window gets here: start its next row.
                window_.x = window_.left;
                ++window_.y;
            }
            const int chunk = std::min(count_ - done, window_.right - window_.x + 1);
            text_window_settle(window_);
            if (window_.write(window_, pending_.data() + done, chunk) != 1) break;
            done += chunk;
            window_.x += chunk;
            if (window_.x == window_.right + 1) {
                window_.x = window_.left;
                ++window_.y;
            }
        }
        count_ = 0;
        moved_ = false;
        sync();
    }

    void sync() { x_ = window_.x; }

    TextWindow& window_;
    std::array<unsigned char, text_pending_capacity> pending_;
    int count_ = 0;
    int x_; // the cursor's column once the pending bytes are drawn
    bool moved_ = false;
};

} // namespace

void text_window_settle(TextWindow& window) {
    if (window.bottom != -1 && window.y > window.bottom)
        window.scroll(window, window.left, window.top, window.right, window.bottom,
                      window.y - window.bottom);
}

void text_print(TextWindow& window, const unsigned char* bytes, int length) {
    if (window.right < window.left) return; // no columns to print into
    Printer printer(window);
    for (int i = 0; i < length; ++i) {
        switch (bytes[i]) {
        case 7:
            rt::beep(bell_frequency, bell_duration_ms);
            break;
        case 8:
            printer.backspace();
            break;
        case 9:
            printer.tab();
            break;
        case 10:
            printer.to_left_edge(1);
            break;
        case 13:
            printer.to_left_edge(0);
            break;
        default:
            printer.append(bytes + i, 1);
            break;
        }
    }
    printer.finish();
}

} // namespace zered
