#include "runtime/process.h"

#include <gtest/gtest.h>

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

} // namespace
