#include "runtime/console_hooks.h"
#include "runtime/print.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

// What the process writes to its standard output while fn runs.
template <typename Fn> std::string captured_stdout(Fn fn) {
    std::fflush(stdout);
    std::FILE* file = std::tmpfile();
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(::fileno(file), STDOUT_FILENO);
    fn();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    std::rewind(file);
    std::string out;
    for (int c; (c = std::fgetc(file)) != EOF;)
        out += static_cast<char>(c);
    std::fclose(file);
    return out;
}

// Without a screen the device writes to stdout, whose line end is the C library's "\n".
TEST(StandardOutput, LineEndsGoOutAsTheLibrarysOwn) {
    rt::console_hooks() = {};
    rt::standard_output() = {};
    const struct {
        const char* text;
        const char* out;
    } cases[] = {
        {"a\r\nb\rc", "a\nb\rc\n"},
        {"\r\n\r\n", "\n\n\n"},
        {"x\r", "x\r\n"},
        {"\n\r", "\n\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(captured_stdout([&] { rt::print_string(0, c.text, rt::PRINT_END_LINE); }), c.out)
            << c.text;
    }
    EXPECT_EQ(rt::standard_output().column, 0);
    rt::standard_output() = {};
}

// Only a terminal has a bell to ring; a pipe or a file gets nothing.
TEST(StandardOutput, TheBellIsSilentWithoutATerminal) {
    EXPECT_EQ(captured_stdout([] { rt::platform_beep(440, 10); }), "");
}

} // namespace
