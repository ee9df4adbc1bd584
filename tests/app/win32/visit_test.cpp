#include "app/platform.h"
#include "app/usage_text.h"
#include "app/wake_cycle.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string current_directory() {
    char buffer[MAX_PATH + 1];
    const DWORD length = ::GetCurrentDirectoryA(sizeof buffer, buffer);
    return std::string(buffer, length);
}

std::string system_directory() {
    char buffer[MAX_PATH + 1];
    const UINT length = ::GetSystemDirectoryA(buffer, sizeof buffer);
    return std::string(buffer, length);
}

bool same_path(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// The visits go to the system drive, the one drive every machine has (the test's Wine prefix
// lets a test write in its root). The test starts from a folder of its own there.
class Visit : public ::testing::Test {
  protected:
    void SetUp() override {
        drivenudge::quiet_system_errors();
        start_ = current_directory();
        drive_ = system_directory().substr(0, 1);
        marker_ = drive_ + ":\\" + std::string(drivenudge::marker_name);
        char temp[MAX_PATH + 1];
        ASSERT_NE(::GetTempPathA(sizeof temp, temp), 0u);
        folder_ = std::string(temp) + "dn-visit-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        ASSERT_TRUE(::SetCurrentDirectoryA(folder_.c_str()));
    }
    void TearDown() override {
        ::SetCurrentDirectoryA(start_.c_str());
        ::RemoveDirectoryA(folder_.c_str());
        ::RemoveDirectoryA(marker_.c_str());
    }
    bool marker_there() const {
        return ::GetFileAttributesA(marker_.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string start_, drive_, marker_, folder_;
};

// A leftover empty marker shows that the visit reached the drive: the visit removes it.
TEST_F(Visit, TouchesTheDriveThenHoldsNoDrive) {
    ASSERT_TRUE(::CreateDirectoryA(marker_.c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    drivenudge::visit_drive(drive_[0]);
    EXPECT_FALSE(marker_there());
    EXPECT_TRUE(same_path(current_directory(), system_directory())) << current_directory();

    // A visit to a drive that is not there leaves the folder the process was in as well.
    ASSERT_TRUE(::SetCurrentDirectoryA(folder_.c_str()));
    drivenudge::visit_drive('b');
    EXPECT_TRUE(same_path(current_directory(), system_directory())) << current_directory();
}

} // namespace
