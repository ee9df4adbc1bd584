// Line input: the runtime's line editor, which reads a line from the keyboard with echo through
// the console operations (on an open screen, the screen's), and the string assignment that
// stores a line into a runtime string or a fixed-length field.
//
// All of it runs on the program's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rt {

// Where a string assignment stores its text: a runtime string, which takes the whole text, or,
// when string is nullptr, a fixed-length field of size characters.
template <typename Char> struct StringTarget {
    std::basic_string<Char>* string = nullptr;
    Char* field = nullptr;
    int size = 0;
};

// How a fixed-length field takes a text.
inline constexpr int FILL_ZERO = 0;   // at most size - 1 characters, then a zero; a field of
                                      // size 0 has no room for anything and is left alone
inline constexpr int FILL_SPACES = 1; // at most size characters, the rest spaces, no zero

// Stores text into the target. 0; or error 1 (illegal function call, recorded as the last
// error, nothing stored) for a target with neither a string nor a field, a negative field size,
// or another fill mode. Never writes outside the field's size characters.
int string_assign(StringTarget<char> target, std::string_view text, int fill_mode);
int string_assign(StringTarget<char16_t> target, std::u16string_view text, int fill_mode);

// A byte string as 16-bit characters: each byte becomes the unit of the same value.
std::u16string widen(std::string_view text);

// Extended key codes the line editor acts on (extended code * 256 + 0xFF).
inline constexpr std::int32_t key_home = 0x47FF;
inline constexpr std::int32_t key_up = 0x48FF;
inline constexpr std::int32_t key_left = 0x4BFF;
inline constexpr std::int32_t key_right = 0x4DFF;
inline constexpr std::int32_t key_end = 0x4FFF;
inline constexpr std::int32_t key_down = 0x50FF;
inline constexpr std::int32_t key_delete = 0x53FF;

// How often the editor looks for a key while none is waiting, in milliseconds.
inline constexpr int line_edit_poll_ms = 25;

// Reads a line at the cursor and returns it (without the ending key), or nullopt when there is
// nothing to read from (no console operations for keys, cursor and printing) or no memory for
// the line. Keys:
//   8 backspace   deletes the character left of the insertion point
//   9 tab         inserts spaces up to the next multiple of 8 of the insertion point
//   27 escape     deletes the whole line
//   Home, End     to the start, to the end
//   Left, Right   one character; Up, Down: one screen row (text columns characters)
//   Delete        deletes the character at the insertion point; at the end of the line a beep
//   32 to 255     inserted at the insertion point
//   10, 13        end the line; every other code is ignored
// The line may run over several rows; the text scrolls when it reaches below the text view.
// With show_mark the cell at the insertion point is underlined while a key is awaited (the
// hardware-style cursor is hidden); without it the cursor is shown instead. The cursor's
// visibility is restored at the end, and the cursor left after the line's last character.
std::optional<std::string> line_edit(bool show_mark);

} // namespace rt
