#include "runtime/directory.h"

#include <direct.h>
#include <string>
#include <windows.h>

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

int change_to_system_directory() {
    char folder[MAX_PATH + 1];
    const UINT length = ::GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return -1;
    return ::_chdir(folder) == 0 ? 0 : -1;
}

} // namespace rt
