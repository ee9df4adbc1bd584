#include "runtime/posix/drive_path.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace rt {

namespace {

bool is_ascii_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string with_slashes(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

// The current directory, empty when it cannot be had (removed, or a longer path than PATH_MAX).
std::string current_directory() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string& root_in_force() {
    static std::string root = absolute_root(std::getenv("DRIVENUDGE_ROOT"), current_directory());
    return root;
}

// Taken before the program's entry, while the current directory is still the one it started in.
[[maybe_unused]] const bool root_taken_at_start = !root_in_force().empty();

} // namespace

std::optional<std::string> map_drive_path(std::string_view path, std::string_view root) {
    if (path.find('\0') != std::string_view::npos) return std::nullopt;
    if (path.size() < 2 || path[1] != ':') return with_slashes(path);
    if (!is_ascii_letter(path[0])) return std::nullopt;
    const char letter = static_cast<char>(path[0] | 0x20);
    std::string out(root);
    if (out.empty() || out.back() != '/') out += '/';
    out += letter;
    const std::string rest = with_slashes(path.substr(2));
    if (!rest.empty() && rest.front() != '/') out += '/';
    out += rest;
    return out;
}

std::string absolute_root(const char* given, std::string_view start) {
    const std::string_view root = given && *given ? given : default_drive_root;
    if (root.front() == '/' || start.empty()) return std::string(root);
    std::string out(start);
    if (out.back() != '/') out += '/';
    out += root;
    return out;
}

std::string drive_root() {
    return root_in_force();
}

void resolve_drive_root() {
    root_in_force() = absolute_root(std::getenv("DRIVENUDGE_ROOT"), current_directory());
}

} // namespace rt
