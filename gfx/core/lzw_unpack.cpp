// 12-bit LZW decoder for the packed built-in data.
//
// Codes are packed in pairs into three bytes b0 b1 b2: the first is b0 | (b1 & 0x0F) << 8, the
// second b2 << 4 | b1 >> 4. Codes 0-255 are single bytes; every code after the first defines the
// next dictionary entry (previous string + first byte of the current one) until code 4094 has
// been defined; 4095 ends the data. There is no clear code.
//
// The decoder trusts nothing in the block: a code above the next free code, a source that ends
// without the end code and a destination that fills up all end decoding with -1.
#include "gfx/core/builtin_data.h"

#include <array>

namespace zered {

namespace {

inline constexpr unsigned end_code = 4095;
inline constexpr unsigned first_free_code = 256;
inline constexpr unsigned last_code = 4094;

// Reads the packed codes in order, never past the end of the source.
class CodeReader {
public:
    CodeReader(const std::uint8_t* source, std::size_t length) : source_(source), length_(length) {}

    // False when the source holds no further complete code.
    bool next(unsigned& code) {
        if (!second_) {
            if (length_ - position_ < 2) return false;
            code = source_[position_] | (source_[position_ + 1] & 0x0Fu) << 8;
        } else {
            if (length_ - position_ < 3) return false;
            code = static_cast<unsigned>(source_[position_ + 2]) << 4 | source_[position_ + 1] >> 4;
            position_ += 3;
        }
        second_ = !second_;
        return true;
    }

private:
    const std::uint8_t* source_;
    std::size_t length_;
    std::size_t position_ = 0;
    bool second_ = false;
};

// The strings of codes 256 up to the next free code. Each is its prefix's string plus one byte;
// its length and first byte are kept so that a string can be placed without a scratch buffer.
class Dictionary {
public:
    unsigned next_free() const { return next_free_; }

    std::uint8_t first_byte(unsigned code) const {
        return code < first_free_code ? static_cast<std::uint8_t>(code) : at(code).first;
    }
    std::size_t length(unsigned code) const {
        return code < first_free_code ? 1 : at(code).length;
    }

    // Defines the next free code, as long as there is one.
    void define(unsigned prefix, std::uint8_t last) {
        if (next_free_ > last_code) return;
        entries_[next_free_ - first_free_code] = {static_cast<std::uint16_t>(prefix),
                                                  static_cast<std::uint16_t>(length(prefix) + 1),
                                                  first_byte(prefix), last};
        ++next_free_;
    }

    // Writes the string of a defined code at out[0..length), in reverse along the prefix links,
    // dropping the bytes at or beyond room.
    void write(unsigned code, std::uint8_t* out, std::size_t room) const {
        std::size_t index = length(code);
        while (code >= first_free_code) {
            const Entry& entry = at(code);
            if (--index < room) out[index] = entry.last;
            code = entry.prefix;
        }
        if (room > 0) out[0] = static_cast<std::uint8_t>(code);
    }

private:
    struct Entry {
        std::uint16_t prefix;
        std::uint16_t length; // at most 4094 - 256 + 2 bytes
        std::uint8_t first;
        std::uint8_t last;
    };

    const Entry& at(unsigned code) const { return entries_[code - first_free_code]; }

    std::array<Entry, last_code + 1 - first_free_code> entries_;
    unsigned next_free_ = first_free_code;
};

} // namespace

int lzw_unpack(const std::uint8_t* source, std::size_t source_length, std::uint8_t* destination,
               std::size_t* capacity) {
    if (capacity == nullptr) return -1;
    const std::size_t room = destination != nullptr ? *capacity : 0;
    std::size_t written = 0;
    *capacity = 0;
    if (source == nullptr) return -1;

    CodeReader reader(source, source_length);
    unsigned code = 0;
    if (!reader.next(code)) return -1;
    // An end code first is an empty block. Any other first code must be a single byte: with an
    // empty dictionary there is no previous string for a code from 256 up to stand for.
    if (code == end_code) return 0;
    if (code >= first_free_code || room == 0) return -1;

    // The dictionary is some 24 KiB; it lives on the stack for the length of one call.
    Dictionary dictionary;
    destination[written++] = static_cast<std::uint8_t>(code);
    unsigned previous = code;

    for (;;) {
        if (!reader.next(code)) {
            *capacity = written;
            return -1;
        }
        if (code == end_code) {
            *capacity = written;
            return 0;
        }
        // Only codes already defined and the one about to be defined mean anything. Once the
        // dictionary is full the next free code is the end code, so nothing else passes here.
        if (code > dictionary.next_free()) {
            *capacity = written;
            return -1;
        }
        // The code about to be defined is the previous string plus that string's own first
        // byte; otherwise the new entry takes the first byte of the code's string. Defining it
        // first lets both cases be written out the same way.
        dictionary.define(previous, dictionary.first_byte(code < dictionary.next_free()
                                                               ? code
                                                               : previous));
        const std::size_t length = dictionary.length(code);
        dictionary.write(code, destination + written, room - written);
        if (length > room - written) {
            *capacity = room;
            return -1;
        }
        written += length;
        previous = code;
    }
}

} // namespace zered
