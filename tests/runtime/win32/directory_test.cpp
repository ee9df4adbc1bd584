#include "runtime/directory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

std::string current_directory() {
    char buffer[MAX_PATH + 1];
    const DWORD length = ::GetCurrentDirectoryA(sizeof buffer, buffer);
    return std::string(buffer, length);
}

// Works in a fresh folder of its own below the temporary folder.
class Directory : public ::testing::Test {
  protected:
    void SetUp() override {
        start_ = current_directory();
        char temp[MAX_PATH + 1];
        ASSERT_NE(::GetTempPathA(sizeof temp, temp), 0u);
        work_ = std::string(temp) + "dn-dir-test-" + std::to_string(::GetCurrentProcessId());
        ::RemoveDirectoryA((work_ + "\\x").c_str());
        ::RemoveDirectoryA(work_.c_str());
        ASSERT_TRUE(::CreateDirectoryA(work_.c_str(), nullptr));
        ASSERT_TRUE(::SetCurrentDirectoryA(work_.c_str()));
    }
    void TearDown() override {
        ::SetCurrentDirectoryA(start_.c_str());
        ::RemoveDirectoryA((work_ + "\\x").c_str());
        ::RemoveDirectoryA(work_.c_str());
    }
    bool exists(const char* name) const {
        return ::GetFileAttributesA((work_ + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string start_, work_;
};

TEST_F(Directory, OperationsPassTheRuntimesResultThrough) {
    EXPECT_EQ(rt::remove_directory("x"), -1);
    EXPECT_EQ(rt::make_directory("x"), 0);
    EXPECT_EQ(rt::make_directory("x"), -1);
    EXPECT_EQ(rt::change_directory("x"), 0);
    EXPECT_EQ(current_directory(), work_ + "\\x");
    EXPECT_EQ(rt::change_directory(".."), 0);
    EXPECT_EQ(rt::remove_directory("x"), 0);
    EXPECT_FALSE(exists("x"));
}

TEST_F(Directory, PathsThatNameNothingFailAndChangeNothing) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ASSERT_EQ(rt::make_directory("x"), 0);
    const std::string_view x_with_nul("x\0y", 3);
    EXPECT_EQ(rt::change_directory(x_with_nul), -1) << "a NUL inside names another path";
    EXPECT_EQ(rt::make_directory(std::string_view("y\0", 2)), -1);
    EXPECT_FALSE(exists("y"));
    EXPECT_EQ(rt::remove_directory(x_with_nul), -1);
    EXPECT_TRUE(exists("x"));
    EXPECT_EQ(rt::change_directory("b:\\"), -1);
    EXPECT_EQ(current_directory(), work_);
}

TEST_F(Directory, TheSystemDirectoryIsWhereTheProcessWaits) {
    char system[MAX_PATH + 1];
    const UINT length = ::GetSystemDirectoryA(system, sizeof system);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(rt::change_to_system_directory(), 0);
    EXPECT_EQ(::lstrcmpiA(current_directory().c_str(), system), 0) << current_directory();
}

} // namespace
