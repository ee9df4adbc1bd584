#include "runtime/console_input.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The key check on a terminal of the test's own: a child process makes a fresh pseudo-terminal
// its controlling terminal and its standard input, types on it, and reports by its exit code
// which check failed (0: none).
int check_on_a_terminal() {
    if (::setsid() < 0) return 10;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return 11;
    const int terminal = ::open(::ptsname(master), O_RDWR); // becomes the controlling terminal
    if (terminal < 0 || ::dup2(terminal, STDIN_FILENO) < 0) return 12;
    if (!rt::platform_console_present()) return 13;
    if (rt::console_key_check() != 0) return 14;

    // Typed, but no line end yet: the check must see the bytes all the same.
    if (::write(master, "ab", 2) != 2) return 15;
    int seen = 0;
    for (int tries = 0; tries < 500 && seen == 0; ++tries) {
        seen = rt::console_key_check();
        if (seen == 0) ::usleep(10000);
    }
    if (seen != 1) return 16;
    if (rt::console_take_key() != 'a' || rt::console_take_key() != 'b') return 17;
    if (rt::console_take_key() != 0 || rt::console_key_check() != 0) return 18;
    termios mode{};
    if (::tcgetattr(STDIN_FILENO, &mode) != 0 || !(mode.c_lflag & ICANON)) return 19;
    return 0;
}

TEST(TerminalKeys, AHalfTypedLineIsSeenAndTheTerminalKeepsItsMode) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(check_on_a_terminal());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the check that failed, numbered in the test";
}

TEST(TerminalKeys, WithoutATerminalNoKeyArrives) {
    if (::isatty(STDIN_FILENO)) GTEST_SKIP() << "standard input is a terminal";
    EXPECT_FALSE(rt::platform_console_present());
    EXPECT_EQ(rt::console_key_check(), 0);
}

} // namespace
