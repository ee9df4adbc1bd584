#include "gfx/screen/screen_setup.h"

#include <array>
#include <unistd.h>

namespace zered {

std::string program_file_path() {
    std::array<char, 4096> path{};
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    // Nothing, or a path the buffer could not hold whole.
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
    return std::string(path.data(), static_cast<std::size_t>(length));
}

} // namespace zered
