#include "runtime/console_input.h"

#include <termios.h>
#include <unistd.h>

namespace rt {

bool platform_console_present() {
    return ::isatty(STDIN_FILENO) == 1;
}

// Takes whatever bytes the terminal holds, each as one key. The terminal is switched out of line
// mode only for the moment of the read, so a half-typed line is seen too, and put back at once.
// A process in the background leaves the terminal alone: touching it would stop the process.
void platform_console_poll() {
    if (!platform_console_present()) return;
    if (::tcgetpgrp(STDIN_FILENO) != ::getpgrp()) return;
    termios saved{};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0) return;
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~ICANON);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
    unsigned char bytes[64];
    const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    for (ssize_t i = 0; i < got; ++i)
        console_store_key(bytes[i]);
}

} // namespace rt
