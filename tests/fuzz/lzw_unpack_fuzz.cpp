// Feeds arbitrary blocks to the LZW decoder. The first input byte sets the destination's size
// (0 to 255 bytes, allocated to exactly that size so ASan sees any overrun); the rest is the block.
#include "gfx/core/builtin_data.h"

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t capacity = data[0];
    auto destination = std::make_unique<std::uint8_t[]>(capacity);
    std::size_t written = capacity;
    const int result = zered::lzw_unpack(data + 1, size - 1, destination.get(), &written);
    if ((result != 0 && result != -1) || written > capacity) __builtin_trap();
    return 0;
}
