#include "app/entry.h"
#include "app/usage_text.h"
#include "app/wake_cycle.h"
#include "runtime/console_input.h"
#include "runtime/directory.h"
#include "runtime/posix/drive_path.h"
#include "runtime/sleep.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<int> waits;
void record_wait(int ms) {
    waits.push_back(ms);
}

// What the process looks like whenever it waits: the share, which leftover markers are still
// there, and where its current directory is.
struct WaitSnapshot {
    int ms;
    bool c_marker;
    bool d_marker;
    std::string directory;
    bool operator==(const WaitSnapshot&) const = default;
    friend void PrintTo(const WaitSnapshot& s, std::ostream* os) {
        *os << "{" << s.ms << ", c " << s.c_marker << ", d " << s.d_marker << ", " << s.directory
            << "}";
    }
};
std::vector<WaitSnapshot> snapshots;
fs::path snapshot_root;
void snapshot_wait(int ms) {
    snapshots.push_back({ms, fs::exists(snapshot_root / "c" / drivenudge::marker_name),
                         fs::exists(snapshot_root / "d" / drivenudge::marker_name),
                         fs::current_path().string()});
}
bool no_console() {
    return false;
}
int no_key() {
    return 0;
}

// Drives c and d as folders below a fresh root; the test's own directory is restored after.
class WakeCycle : public ::testing::Test {
  protected:
    void SetUp() override {
        start_ = fs::current_path();
        root_ = fs::temp_directory_path() /
                ("drivenudge-test-" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "c");
        fs::create_directories(root_ / "d");
        fs::create_directories(root_ / "t");
        fs::create_directories(root_ / "elsewhere");
        ::setenv("DRIVENUDGE_ROOT", root_.c_str(), 1);
        rt::resolve_drive_root();
        waits.clear();
        rt::set_wait(record_wait);
        rt::set_console_probe({no_console, no_key});
    }
    void TearDown() override {
        fs::current_path(start_);
        fs::remove_all(root_);
        ::unsetenv("DRIVENUDGE_ROOT");
        rt::resolve_drive_root();
        rt::set_wait(nullptr);
        rt::set_console_probe({});
    }
    fs::path marker(const char* drive) const { return root_ / drive / drivenudge::marker_name; }
    // Everything below the root, to show that nothing was left or made anywhere else.
    std::vector<fs::path> tree() const {
        std::vector<fs::path> all;
        for (const auto& e : fs::recursive_directory_iterator(root_))
            all.push_back(e.path());
        std::sort(all.begin(), all.end());
        return all;
    }
    fs::path start_, root_;
};

TEST_F(WakeCycle, VisitsEachDriveInTurnAndLeavesNoMarker) {
    const auto before = tree();
    drivenudge::wake_pass("cd");
    EXPECT_EQ(fs::current_path(), "/");
    EXPECT_EQ(waits, (std::vector<int>{85000, 85000}));
    EXPECT_EQ(tree(), before);
}

TEST_F(WakeCycle, AMissingDriveChangesNothingButStillSleeps) {
    fs::current_path(root_ / "elsewhere");
    const auto before = tree();
    drivenudge::wake_pass("q1/\\.:\x80\x01");
    // Not even the folder the process started in stays in use.
    EXPECT_EQ(fs::current_path(), "/");
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

// Empty leftover markers show when each drive was visited: a visit removes its drive's marker.
TEST_F(WakeCycle, EachShareIsSleptAfterItsVisitAwayFromTheDrives) {
    const auto run = [this](const char* letters) {
        fs::create_directory(marker("c"));
        fs::create_directory(marker("d"));
        snapshots.clear();
        snapshot_root = root_;
        rt::set_wait(snapshot_wait);
        drivenudge::wake_pass(letters);
        return snapshots;
    };
    EXPECT_EQ(run("cdc"), (std::vector<WaitSnapshot>{{56667, false, true, "/"},
                                                     {56667, false, false, "/"},
                                                     {56667, false, false, "/"}}));
    EXPECT_EQ(run("dq"),
              (std::vector<WaitSnapshot>{{85000, true, false, "/"}, {85000, true, false, "/"}}));
}

// The cycle changes directory at every visit: a relative root must still name the same folder.
TEST_F(WakeCycle, ARelativeRootCountsFromWhereTheProcessStarted) {
    fs::current_path(root_.parent_path());
    ::setenv("DRIVENUDGE_ROOT", root_.filename().c_str(), 1);
    rt::resolve_drive_root();
    EXPECT_EQ(rt::drive_root(), root_.string());
    fs::current_path(root_ / "elsewhere");
    for (const char* drive : {"c", "d", "c"}) {
        fs::create_directory(marker(drive));
        drivenudge::visit_drive(*drive);
        EXPECT_FALSE(fs::exists(marker(drive))) << drive;
    }
}

TEST_F(WakeCycle, DirectoryOperationsPassResultsThrough) {
    EXPECT_EQ(rt::change_directory("z:\\"), -1);
    EXPECT_EQ(rt::change_directory("c:\\"), 0);
    EXPECT_EQ(rt::remove_directory("$drivenudge.tmp"), -1);
    EXPECT_EQ(rt::make_directory("$drivenudge.tmp"), 0);
    // As open as the user's file-creation mask allows.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fs::status(marker("c")).permissions(), static_cast<fs::perms>(0777 & ~mask));
    EXPECT_EQ(rt::make_directory("$drivenudge.tmp"), -1);
    EXPECT_EQ(rt::remove_directory("$drivenudge.tmp"), 0);
    EXPECT_EQ(rt::change_to_system_directory(), 0);
    EXPECT_EQ(fs::current_path(), "/");
}

// The cycle never ends by itself: the wait that would start the given pass throws instead.
struct CycleStop {};
int waits_left = 0;
void record_then_stop(int ms) {
    if (waits_left-- == 0) throw CycleStop{};
    waits.push_back(ms);
}

// The wake path takes the first argument only, however many follow: a drive named by a later
// one is never visited, and the share counts the first argument's characters alone.
TEST_F(WakeCycle, TheRunCyclesTheFirstArgumentOnly) {
    const std::vector<std::vector<const char*>> lines{
        {"cd", "t"}, {"cd", "t", "/h"}, {"c", "dt", "t"}, {"cd", ""}};
    for (const auto& line : lines) {
        std::vector<char*> argv{const_cast<char*>("drivenudge")};
        for (const char* a : line) argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        fs::create_directory(marker("t"));
        const int count = static_cast<int>(std::string_view(line[0]).size());
        waits.clear();
        waits_left = 2 * count; // two whole passes
        rt::set_wait(record_then_stop);
        EXPECT_THROW(drivenudge::run(static_cast<int>(argv.size()) - 1, argv.data()), CycleStop);
        // Stops at the first wrong line: a run that took another argument may never sleep.
        ASSERT_EQ(waits, std::vector<int>(static_cast<std::size_t>(2 * count), 170000 / count))
            << line[1];
        ASSERT_TRUE(fs::exists(marker("t"))) << line[1] << ": drive t was visited";
    }
}

TEST_F(WakeCycle, LongArgumentsOfAnyBytesStayInsideTheRoots) {
    std::string letters;
    for (int i = 0; i < 100000; ++i)
        letters += static_cast<char>(i % 256 == 0 ? 'c' : i % 256);
    const auto before = tree();
    drivenudge::wake_pass(letters);
    EXPECT_EQ(tree(), before);
    ASSERT_EQ(waits.size(), letters.size());
    EXPECT_EQ(waits.front(), 2); // 1.7 ms
}

} // namespace
