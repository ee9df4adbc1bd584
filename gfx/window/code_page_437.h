// The characters of code page 437, the character set of the built-in fonts and of every key code
// below 256.
#pragma once

#include <cstdint>

namespace zered {

// The code-page-437 byte of a Unicode character, 0 where the code page has none (and for U+0000).
// Below 0x80 the two agree.
std::uint8_t code_page_437_of(char32_t character);

} // namespace zered
