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

// Makes a folder that is never removed or ejected the current directory: the system directory on
// Windows (the system drive is never ejected), "/" elsewhere. A process whose current directory
// is on a volume keeps that volume in use: Windows then refuses to eject it ("This device is
// currently in use"), umount says "target is busy". 0 on success, -1 on failure.
int change_to_system_directory();

} // namespace rt
