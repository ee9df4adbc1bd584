#include "app/platform.h"

#include <windows.h>

#include <cstdio>

namespace drivenudge {

void quiet_system_errors() { ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

void prepare_standard_output() {
    // Redirected output (a pipe or a file) is already usable; only a bare start from a console
    // window leaves a windowed program without a standard output.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE && ::GetFileType(out) != FILE_TYPE_UNKNOWN)
        return;
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    std::FILE* reopened = nullptr;
    (void)::freopen_s(&reopened, "CONOUT$", "w", stdout);
}

} // namespace drivenudge
