#include "runtime/posix/drive_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

TEST(DrivePath, LettersMapBelowTheRootInLowerCase) {
    EXPECT_EQ(rt::map_drive_path("c:\\", "/mnt"), "/mnt/c/");
    EXPECT_EQ(rt::map_drive_path("C:\\", "/mnt"), "/mnt/c/");
    EXPECT_EQ(rt::map_drive_path("x:\\a\\b", "/tmp/r/"), "/tmp/r/x/a/b");
    EXPECT_EQ(rt::map_drive_path("y:", "/r"), "/r/y");
    EXPECT_EQ(rt::map_drive_path("y:rel", "/r"), "/r/y/rel");
}

TEST(DrivePath, OtherBytesNameNoDrive) {
    for (const char* bad :
         {"1:\\", "/:\\", "\\:\\", ".:\\", "::\\", "\x80:\\", "\xff:\\", "\x01:\\"})
        EXPECT_EQ(rt::map_drive_path(bad, "/mnt"), std::nullopt) << bad;
    EXPECT_EQ(rt::map_drive_path(std::string_view("c:\\\0x", 5), "/mnt"), std::nullopt);
}

TEST(DrivePath, PlainPathsKeepTheirBytes) {
    EXPECT_EQ(rt::map_drive_path("$drivenudge.tmp", "/mnt"), "$drivenudge.tmp");
    EXPECT_EQ(rt::map_drive_path("a\\b", "/mnt"), "a/b");
    EXPECT_EQ(rt::map_drive_path("", "/mnt"), "");
}

TEST(DrivePath, TheRootIsTakenAgainstTheStartingDirectory) {
    EXPECT_EQ(rt::absolute_root(nullptr, "/start"), "/mnt");
    EXPECT_EQ(rt::absolute_root("", "/start"), "/mnt");
    EXPECT_EQ(rt::absolute_root("/abs/r", "/start"), "/abs/r");
    EXPECT_EQ(rt::absolute_root("roots", "/start"), "/start/roots");
    EXPECT_EQ(rt::absolute_root("../r", "/start/"), "/start/../r");
    EXPECT_EQ(rt::absolute_root("r", "/"), "/r");
    EXPECT_EQ(rt::absolute_root("r", ""), "r") << "unknown start: nothing better to do";
}

#if GTEST_HAS_DEATH_TEST
// In a fresh process of this program, with a relative root: the root in force is the one of the
// directory the process started in, also when the first question comes after a change of
// directory (as the wake cycle changes it to every drive's root).
TEST(DrivePath, TheRootInForceIsTakenAsTheProcessStarts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    char start[4096];
    ASSERT_NE(::getcwd(start, sizeof start), nullptr);
    ASSERT_EQ(::setenv("DRIVENUDGE_ROOT", "relative-root", 1), 0);
    const std::string expected = rt::absolute_root("relative-root", start);
    EXPECT_EXIT(std::exit(::chdir("/") == 0 && rt::drive_root() == expected ? 0 : 1),
                testing::ExitedWithCode(0), "");
    ::unsetenv("DRIVENUDGE_ROOT");
}
#endif

} // namespace
