#include "app/platform.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(SystemErrors, NotReadyDrivesFailWithoutABox) {
    drivenudge::quiet_system_errors();
    const UINT mode = ::GetErrorMode();
    EXPECT_TRUE(mode & SEM_FAILCRITICALERRORS);
    EXPECT_TRUE(mode & SEM_NOOPENFILEERRORBOX);
    // A drive letter with nothing behind it: the change simply fails.
    EXPECT_EQ(::SetCurrentDirectoryA("b:\\"), FALSE);
}

} // namespace
