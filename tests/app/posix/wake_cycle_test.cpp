#include "app/usage_text.h"
#include "app/wake_cycle.h"
#include "runtime/console_input.h"
#include "runtime/directory.h"
#include "runtime/sleep.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<int> waits;
void record_wait(int ms) { waits.push_back(ms); }
bool no_console() { return false; }
int no_key() { return 0; }

// Drives c and d as folders below a fresh root; the test's own directory is restored after.
class WakeCycle : public ::testing::Test {
  protected:
    void SetUp() override {
        start_ = fs::current_path();
        root_ = fs::temp_directory_path() /
                ("drivenudge-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "c");
        fs::create_directories(root_ / "d");
        fs::create_directories(root_ / "elsewhere");
        ::setenv("DRIVENUDGE_ROOT", root_.c_str(), 1);
        waits.clear();
        rt::set_wait(record_wait);
        rt::set_console_probe({no_console, no_key});
    }
    void TearDown() override {
        fs::current_path(start_);
        fs::remove_all(root_);
        ::unsetenv("DRIVENUDGE_ROOT");
        rt::set_wait(nullptr);
        rt::set_console_probe({});
    }
    fs::path marker(const char* drive) const { return root_ / drive / drivenudge::marker_name; }
    // Everything below the root, to show that nothing was left or made anywhere else.
    std::vector<fs::path> tree() const {
        std::vector<fs::path> all;
        for (const auto& e : fs::recursive_directory_iterator(root_)) all.push_back(e.path());
        std::sort(all.begin(), all.end());
        return all;
    }
    fs::path start_, root_;
};

TEST_F(WakeCycle, VisitsEachDriveInTurnAndLeavesNoMarker) {
    const auto before = tree();
    drivenudge::wake_pass("cd");
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(root_ / "d"));
    EXPECT_EQ(waits, (std::vector<int>{85000, 85000}));
    EXPECT_EQ(tree(), before);
}

TEST_F(WakeCycle, AMissingDriveChangesNothingButStillSleeps) {
    fs::current_path(root_ / "elsewhere");
    const auto before = tree();
    drivenudge::wake_pass("q1/\\.:\x80\x01");
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(root_ / "elsewhere"));
    EXPECT_EQ(tree(), before);
    EXPECT_EQ(waits, std::vector<int>(8, 21250));
}

TEST_F(WakeCycle, EmptyLeftoverMarkerGoesButNothingElseIsTouched) {
    fs::create_directory(marker("c"));
    fs::create_directories(marker("d") / "keep");
    drivenudge::wake_pass("cd");
    EXPECT_FALSE(fs::exists(marker("c")));
    EXPECT_TRUE(fs::exists(marker("d") / "keep"));

    fs::remove_all(marker("d"));
    std::ofstream(marker("d")) << "data";
    drivenudge::wake_pass("d");
    EXPECT_TRUE(fs::is_regular_file(marker("d")));
    EXPECT_EQ(fs::file_size(marker("d")), 4u);
}

TEST_F(WakeCycle, DirectoryOperationsPassResultsThrough) {
    EXPECT_EQ(rt::change_directory("z:\\"), -1);
    EXPECT_EQ(rt::change_directory("c:\\"), 0);
    EXPECT_EQ(rt::remove_directory("$drivenudge.tmp"), -1);
    EXPECT_EQ(rt::make_directory("$drivenudge.tmp"), 0);
    EXPECT_EQ(rt::make_directory("$drivenudge.tmp"), -1);
    EXPECT_EQ(rt::remove_directory("$drivenudge.tmp"), 0);
}

TEST_F(WakeCycle, LongArgumentsOfAnyBytesStayInsideTheRoots) {
    std::string letters;
    for (int i = 0; i < 100000; ++i) letters += static_cast<char>(i % 256 == 0 ? 'c' : i % 256);
    const auto before = tree();
    drivenudge::wake_pass(letters);
    EXPECT_EQ(tree(), before);
    ASSERT_EQ(waits.size(), letters.size());
    EXPECT_EQ(waits.front(), 2); // 1.7 ms
}

} // namespace
