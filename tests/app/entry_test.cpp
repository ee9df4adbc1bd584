#include "app/entry.h"
#include "app/wake_cycle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

drivenudge::Path path_of(std::vector<const char*> args) {
    args.insert(args.begin(), "drivenudge");
    std::vector<char*> argv;
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    return drivenudge::choose_path(static_cast<int>(args.size()), argv.data());
}

TEST(Entry, HelpSwitchesAreExactAndOnlyTheFirstArgumentCounts) {
    using drivenudge::Path;
    EXPECT_EQ(path_of({}), Path::usage);
    for (const char* sw : {"/h", "/H", "/?", "-h", "-H", "-?"})
        EXPECT_EQ(path_of({sw}), Path::usage);
    for (const char* not_sw : {"/help", "-?x", "h", "H", "?", "/h ", " /h", "--help"})
        EXPECT_EQ(path_of({not_sw}), Path::wake) << not_sw;
    EXPECT_EQ(path_of({"c", "/h"}), Path::wake);
    EXPECT_EQ(path_of({"/h", "c"}), Path::usage);
    // An empty argument would make a cycle that never sleeps.
    EXPECT_EQ(path_of({""}), Path::usage);
}

// A count and a vector that disagree: only an argument both of them show counts.
TEST(Entry, AMalformedCommandLineShowsTheUsage) {
    using drivenudge::choose_path;
    using drivenudge::Path;
    char program[] = "drivenudge";
    char letters[] = "cd";
    char* missing_first[] = {program, nullptr};
    char* counted_out[] = {program, letters, nullptr};
    EXPECT_EQ(choose_path(2, missing_first), Path::usage);
    EXPECT_EQ(choose_path(2, nullptr), Path::usage);
    EXPECT_EQ(choose_path(1, counted_out), Path::usage);
    EXPECT_EQ(choose_path(0, counted_out), Path::usage);
    EXPECT_EQ(choose_path(2, counted_out), Path::wake);
}

TEST(Share, RoundsHalfToEven) {
    using drivenudge::share_ms;
    EXPECT_EQ(share_ms(1), 170000);
    EXPECT_EQ(share_ms(6), 28333);
    EXPECT_EQ(share_ms(32), 5312); // 5312.5
    EXPECT_EQ(share_ms(170), 1000);
    EXPECT_EQ(share_ms(3), 56667);  // 56666.67
    EXPECT_EQ(share_ms(68000), 2);  // 2.5
    EXPECT_EQ(share_ms(340000), 0); // 0.5
    EXPECT_EQ(share_ms(113334), 1); // 1.49999...
    EXPECT_EQ(share_ms(100000), 2); // 1.7
}

} // namespace
