#include "runtime/sleep.h"

#include <windows.h>

namespace rt {

void platform_wait(int milliseconds) {
    ::Sleep(milliseconds < 0 ? 0 : static_cast<DWORD>(milliseconds));
}

} // namespace rt
