#include <cstddef>
#include <cstdint>

namespace zered {

extern const std::uint8_t builtin_packed_block[] = {0xFF, 0xFF, 0xFF};
extern const std::size_t builtin_packed_size = sizeof builtin_packed_block;

} // namespace zered
