// Types random keys into the line input operations on a small screen and checks that nothing is
// written outside the destination or the screen.
//
// Input: byte 0 the grid (1 to 8 columns, 1 to 4 rows of 8 by 8 cells), byte 1 the text view
// and the cursor, then commands: one byte choosing the operation and the destination's size
// (-1 to 14, at the start of a larger field whose rest must stay untouched), followed by the keys
// for it, up to a carriage return or line feed. Key bytes below 16 stand for editing keys, the rest for
// themselves. When the keys run out, a carriage return ends the line.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "gfx/console/key_buffer.h"
#include "gfx/console/line_editor.h"
#include "gfx/screen/screen_setup.h"
#include "runtime/line_input.h"
#include "runtime/print.h"
#include "runtime/sleep.h"

namespace {

constexpr std::array<std::int32_t, 16> special_keys{
    8,  9,  27, rt::key_home, rt::key_end, rt::key_left, rt::key_right, rt::key_up,
    rt::key_down, rt::key_delete, 7, 0x6BFF, 13, 10, -56, 0};

struct Feed {
    const std::uint8_t* data = nullptr;
    std::size_t left = 0;
};
Feed& feed() {
    static Feed f;
    return f;
}

// The editor waits only when no key is waiting: that is when the next one is typed.
void type_next_key(int) {
    Feed& f = feed();
    if (zered::key_waiting() != 0) return;
    if (f.left == 0) {
        zered::post_key(13);
        return;
    }
    const std::uint8_t byte = *f.data++;
    --f.left;
    const std::int32_t key = byte < special_keys.size() ? special_keys[byte] : byte;
    if (key != 0) zered::post_key(key);
}

inline constexpr char canary = 0x5A;

[[noreturn]] void fail() { __builtin_trap(); }

// Everything past the end of each page (its slack) stays as allocated: zero.
void check_screen(const zered::ScreenState& screen, std::size_t cells) {
    if (screen.cursor_x < 0 || screen.cursor_x >= screen.text_cols || screen.cursor_y < 0 ||
        screen.cursor_y >= screen.text_rows)
        fail();
    const auto page_bytes = static_cast<std::size_t>(screen.pitch * screen.height);
    for (const zered::PageBuffer& page : screen.pages) {
        const std::uint8_t* end = page.pixels + page_bytes;
        const std::uint8_t* storage_end = page.storage.get() + page_bytes + 18;
        if (std::any_of(end, storage_end, [](std::uint8_t b) { return b != 0; })) fail();
    }
    for (const auto& grid : screen.text_cells)
        if (grid.size() != cells) fail();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static bool ready = false;
    if (!ready) {
        ready = true;
        rt::set_beep([](int, int) {});
        rt::set_wait(type_next_key);
    }
    const int columns = data[0] % 8 + 1;
    const int rows = (data[0] >> 3) % 4 + 1;
    if (zered::screen_open_sized(columns * 8, rows * 8, 8, 1, zered::MODE_NULL, 0) != 0) fail();
    while (zered::take_key() != 0) {
    }
    const int top = data[1] % rows + 1;
    rt::text_view_set(top, top + (data[1] >> 2) % (rows - top + 1));
    rt::move_cursor(0, (data[1] >> 4) % columns + 1, 0);

    const zered::ScreenState& screen = *zered::current_screen();
    const auto cells = static_cast<std::size_t>(columns * rows);
    feed() = {data + 2, size - 2};
    while (feed().left > 0) {
        const std::uint8_t command = *feed().data++;
        --feed().left;
        // The destination sits at the start of a larger field whose rest must stay untouched.
        const int length = command % 16 - 1;
        std::array<char, 32> field;
        std::array<char16_t, 32> wide;
        field.fill(canary);
        wide.fill(canary);
        switch (command >> 4 & 3) {
        case 0:
            if (zered::read_line_raw(field.data(), length) != field.data()) fail();
            break;
        case 1:
            zered::input_line("?", {nullptr, field.data(), length}, command >> 6 & 1, 1, 0);
            break;
        case 2:
            zered::input_line_wide(u"", {nullptr, wide.data(), length}, command >> 6 & 1, 0,
                                   command >> 7);
            break;
        default: {
            std::string line;
            const std::size_t keys = feed().left;
            if (zered::input_line(std::nullopt, {&line}, rt::FILL_ZERO, 0, command >> 7) != 0 ||
                line.size() > 8 * keys)
                fail();
            break;
        }
        }
        const auto untouched = static_cast<std::ptrdiff_t>(std::max(length, 0));
        if (std::any_of(field.begin() + untouched, field.end(), [](char c) { return c != canary; }) ||
            std::any_of(wide.begin() + untouched, wide.end(), [](char16_t c) { return c != canary; }))
            fail();
        check_screen(screen, cells);
    }
    return 0;
}
