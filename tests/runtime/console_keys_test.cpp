#include "runtime/console_input.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

void drain() {
    while (rt::console_take_key() != 0) {
    }
    rt::console_take_key_mark();
}

TEST(ConsoleKeys, RingKeepsTheNewestAndMarksArrival) {
    drain();
    EXPECT_FALSE(rt::console_take_key_mark());
    for (int code = 1; code <= 20; ++code)
        rt::console_store_key(code);
    EXPECT_TRUE(rt::console_take_key_mark());
    EXPECT_FALSE(rt::console_take_key_mark());
    // 15 held: the oldest five were dropped.
    for (int code = 6; code <= 20; ++code)
        EXPECT_EQ(rt::console_take_key(), code);
    EXPECT_EQ(rt::console_take_key(), 0);
}

TEST(ConsoleKeys, StoresFromAnotherThreadReachTheMark) {
    drain();
    std::thread producer([] {
        for (int i = 0; i < 1000; ++i)
            rt::console_store_key(rt::close_window_key);
    });
    int seen = 0;
    while (seen == 0)
        seen += rt::console_take_key_mark() ? 1 : 0;
    producer.join();
    rt::console_take_key_mark();
    EXPECT_EQ(rt::console_take_key(), rt::close_window_key);
    drain();
}

} // namespace
