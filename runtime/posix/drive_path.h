// Drive letters on a system that has none.
//
// A path that starts with a drive ("c:" followed by the rest) names a folder below a root: the
// ASCII letter, in lower case, is a folder in the root, and the rest follows with backslashes
// turned into slashes. Any other byte before the colon names no drive. Other paths keep their
// bytes, backslashes again turned into slashes. The root is $DRIVENUDGE_ROOT, or /mnt where
// Windows drives appear under WSL; a relative one counts from the directory the process started
// in, since the wake cycle changes the current directory at every visit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rt {

inline constexpr std::string_view default_drive_root = "/mnt";

// nullopt when the path names no reachable place (a non-letter drive, an embedded NUL byte).
std::optional<std::string> map_drive_path(std::string_view path, std::string_view root);

// The root in force, read and made absolute once as the process starts.
std::string drive_root();

// Reads $DRIVENUDGE_ROOT again (unset or empty: the default) and makes it, taken against the
// current directory, the root in force. Runs as the process starts; tests call it after
// changing the variable.
void resolve_drive_root();

// A root as given (nullptr or empty: the default) made absolute against the directory start;
// a relative root stays relative when start is empty (the current directory was unknown).
std::string absolute_root(const char* given, std::string_view start);

} // namespace rt
