#include "runtime/rt_string.h"

#include <gtest/gtest.h>

namespace {

TEST(RuntimeString, ComparesBytesUnsignedThenLength) {
    EXPECT_EQ(rt::compare("/h", "/h"), 0);
    EXPECT_NE(rt::compare("/h", "/H"), 0);
    EXPECT_EQ(rt::compare("abc", "abd"), -1);
    EXPECT_EQ(rt::compare("abd", "abc"), 1);
    // 0x80 and above sort after ASCII: the bytes are unsigned.
    EXPECT_EQ(rt::compare("\x80", "a"), 1);
    EXPECT_EQ(rt::compare("/h", "/help"), -1);
    EXPECT_EQ(rt::compare("/help", "/h"), 1);
    EXPECT_EQ(rt::compare(std::string_view("a\0b", 3), std::string_view("a\0c", 3)), -1);
    // A prefix is the smaller whatever lies in memory beyond its end.
    EXPECT_EQ(rt::compare(std::string_view("abz", 2), "aba"), -1);
    EXPECT_EQ(rt::compare("aba", std::string_view("abz", 2)), 1);
}

TEST(RuntimeString, MissingStringsCompareByEmptiness) {
    EXPECT_EQ(rt::compare(std::nullopt, std::nullopt), 0);
    EXPECT_EQ(rt::compare("x", std::nullopt), 1);
    EXPECT_EQ(rt::compare("", std::nullopt), 0);
    EXPECT_EQ(rt::compare(std::nullopt, "x"), -1);
    EXPECT_EQ(rt::compare(std::nullopt, ""), 0);
}

TEST(RuntimeString, SubstringStaysInsideTheString) {
    EXPECT_EQ(rt::substring("cdefxy", 1, 1), "c");
    EXPECT_EQ(rt::substring("cdefxy", 6, 1), "y");
    EXPECT_EQ(rt::substring("cdefxy", 5, 10), "xy");
    EXPECT_EQ(rt::substring("cdefxy", 7, 1), "");
    EXPECT_EQ(rt::substring("cdefxy", 0, 2), "cd");
    EXPECT_EQ(rt::substring("cdefxy", -3, 1), "c");
    EXPECT_EQ(rt::substring("cdefxy", 2, 0), "");
    EXPECT_EQ(rt::substring("cdefxy", 2, -1), "");
    EXPECT_EQ(rt::concat("c", ":\\"), "c:\\");
}

} // namespace
