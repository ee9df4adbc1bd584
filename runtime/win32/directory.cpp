#include "runtime/directory.h"

#include <direct.h>
#include <string>

namespace rt {

namespace {

// The C runtime takes NUL-terminated paths; a path with a NUL inside would name a different,
// shorter path, so it names nothing.
template <typename Op> int with_c_path(std::string_view path, Op op) {
    if (path.find('\0') != std::string_view::npos) return -1;
    const std::string p(path);
    return op(p.c_str()) == 0 ? 0 : -1;
}

} // namespace

int change_directory(std::string_view path) {
    return with_c_path(path, [](const char* p) { return ::_chdir(p); });
}

int make_directory(std::string_view path) {
    return with_c_path(path, [](const char* p) { return ::_mkdir(p); });
}

int remove_directory(std::string_view path) {
    return with_c_path(path, [](const char* p) { return ::_rmdir(p); });
}

} // namespace rt
