#include "runtime/print.h"

#include <windows.h>

namespace rt {

// Blocks for the duration, as the system's Beep does.
void platform_beep(int frequency, int duration) {
    if (frequency <= 0 || duration <= 0) return;
    ::Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(duration));
}

} // namespace rt
