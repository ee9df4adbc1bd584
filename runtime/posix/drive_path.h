// Drive letters on a system that has none.
//
// A path that starts with a drive ("c:" followed by the rest) names a folder below a root: the
// ASCII letter, in lower case, is a folder in the root, and the rest follows with backslashes
// turned into slashes. Any other byte before the colon names no drive. Other paths keep their
// bytes, backslashes again turned into slashes. The root is $DRIVENUDGE_ROOT, or /mnt where
// Windows drives appear under WSL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rt {

inline constexpr std::string_view default_drive_root = "/mnt";

// nullopt when the path names no reachable place (a non-letter drive, an embedded NUL byte).
std::optional<std::string> map_drive_path(std::string_view path, std::string_view root);

// The root in force: $DRIVENUDGE_ROOT when set and non-empty, else the default.
std::string drive_root();

} // namespace rt
