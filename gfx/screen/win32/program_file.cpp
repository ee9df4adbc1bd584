#include "gfx/screen/screen_setup.h"

#include <windows.h>

#include <vector>

namespace zered {

std::string program_file_path() {
    // GetModuleFileNameA truncates silently (returning the full size) when the buffer is short.
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(),
                                                  static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return std::string(path.data(), length);
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

} // namespace zered
