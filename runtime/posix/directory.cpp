#include "runtime/directory.h"

#include "runtime/posix/drive_path.h"

#include <sys/stat.h>
#include <unistd.h>

namespace rt {

namespace {

template <typename Op> int with_mapped_path(std::string_view path, Op op) {
    const auto mapped = map_drive_path(path, drive_root());
    if (!mapped) return -1;
    return op(mapped->c_str()) == 0 ? 0 : -1;
}

} // namespace

int change_directory(std::string_view path) {
    return with_mapped_path(path, [](const char* p) { return ::chdir(p); });
}

int make_directory(std::string_view path) {
    return with_mapped_path(path, [](const char* p) { return ::mkdir(p, 0777); });
}

int remove_directory(std::string_view path) {
    return with_mapped_path(path, [](const char* p) { return ::rmdir(p); });
}

int change_to_system_directory() {
    return ::chdir("/") == 0 ? 0 : -1;
}

} // namespace rt
