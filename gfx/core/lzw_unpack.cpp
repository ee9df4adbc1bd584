#include "gfx/core/builtin_data.h"

namespace zered {

int lzw_unpack(const std::uint8_t*, std::size_t, std::uint8_t*, std::size_t* capacity) {
    *capacity = 0;
    return -1;
}

} // namespace zered
