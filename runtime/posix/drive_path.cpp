#include "runtime/posix/drive_path.h"

#include <cstdlib>

namespace rt {

namespace {

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string with_slashes(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

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

std::string drive_root() {
    const char* root = std::getenv("DRIVENUDGE_ROOT");
    return root && *root ? std::string(root) : std::string(default_drive_root);
}

} // namespace rt
