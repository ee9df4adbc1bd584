#include "runtime/print.h"

#include <cstdio>
#include <unistd.h>

namespace rt {

// No tone generator to drive here: a terminal on standard output rings its own bell; without one
// (a pipe, a file, no terminal at all) the bell stays silent. Pitch and length are the terminal's.
// Through stdio, so that the bell keeps its place among text already printed there.
void platform_beep(int, int) {
    if (!::isatty(STDOUT_FILENO)) return;
    std::fputc('\a', stdout);
    std::fflush(stdout);
}

} // namespace rt
