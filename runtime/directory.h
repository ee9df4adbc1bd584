// The three directory operations of the runtime. Each passes the C runtime's result through:
// 0 on success, -1 on failure, and nothing else is reported.
//
// On Windows the path goes to the C runtime as it is. Elsewhere a drive path ("c:\...") maps to
// a folder below a root directory: see posix/drive_path.h.
#pragma once

#include <string_view>

namespace rt {

int change_directory(std::string_view path);
int make_directory(std::string_view path);
int remove_directory(std::string_view path);

} // namespace rt
