#include "runtime/process.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Start-up ran before the test program's entry; running it again must not forget the command
// line recorded since.
TEST(Process, ALaterStartUpKeepsTheRecordedCommandLine) {
    char program[] = "drivenudge";
    char letters[] = "cd";
    char* argv[] = {program, letters, nullptr};
    rt::record_arguments(2, argv);
    rt::startup();
    EXPECT_EQ(rt::argument_count(), 2);
    EXPECT_EQ(rt::argument_vector(), argv);
    rt::record_arguments(0, nullptr);
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
// A program that records no command line (this test program's own entry records none) has no
// arguments. Checked in a fresh process, before anything here records one.
TEST(Process, NoArgumentsUntilSomeAreRecorded) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(rt::argument_count() == 0 && rt::argument_vector() == nullptr ? 0 : 1),
                testing::ExitedWithCode(0), "");
}
#endif

} // namespace
