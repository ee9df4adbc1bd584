#include "gfx/console/event_queue.h"
#include "gfx/console/key_buffer.h"
#include "gfx/console/key_input.h"
#include "gfx/console/screen_sleep.h"
#include "key_test_support.h"

#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

using namespace zered;
using KeyBuffer = keytest::ScreenTest;

TEST_F(KeyBuffer, HoldsTheNewestFifteenCodes) {
    for (int code = 1; code <= 16; ++code) post_key(code);
    for (int code = 2; code <= 16; ++code) EXPECT_EQ(take_key(), code);
    EXPECT_EQ(take_key(), 0);
    EXPECT_EQ(key_waiting(), 0);
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
// A program's first look at the buffer finds it empty and no key posted. Run in a fresh process
// of this program (the buffer lives as long as the process), in which nothing else ran before.
TEST(KeyBufferAtStart, NoKeyPostedBeforeTheFirst) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(key_posted_take() == 0 && key_waiting() == 0 ? 0 : 1),
                testing::ExitedWithCode(0), "");
}
#endif

TEST_F(KeyBuffer, PostedFlagIsSeparateFromTheCodes) {
    post_key('a');
    post_key('b');
    EXPECT_EQ(key_posted_take(), 1);
    EXPECT_EQ(key_posted_take(), 0);
    EXPECT_EQ(key_waiting(), 1); // the check left the keys in place

    post_key('c');
    EXPECT_EQ(take_key(), 'a');
    EXPECT_EQ(key_posted_take(), 0) << "a take clears the flag even with keys left";
    EXPECT_EQ(key_waiting(), 1);
    EXPECT_EQ(take_key(), 'b');
    EXPECT_EQ(take_key(), 'c');
    EXPECT_EQ(key_waiting(), 0);
}

TEST_F(KeyBuffer, ReadKeyStringGivesOneOrTwoBytes) {
    unsigned char out[2] = {};
    post_key(0x6BFF);
    ASSERT_EQ(read_key_string(out), 2);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 'k');

    post_key(97);
    ASSERT_EQ(read_key_string(out), 1);
    EXPECT_EQ(out[0], 'a');

    post_key(255);
    ASSERT_EQ(read_key_string(out), 1);
    EXPECT_EQ(out[0], 255);

    post_key(-126); // character 0x82 from the window's character path
    ASSERT_EQ(read_key_string(out), 1);
    EXPECT_EQ(out[0], 0x82);

    EXPECT_EQ(read_key_string(out), 0);

    set_current_screen(nullptr);
    post_key('z');
    EXPECT_EQ(read_key_string(out), 0);
    EXPECT_EQ(take_key(), 'z') << "without a screen the key is left alone";
}

TEST_F(KeyBuffer, WaitKeyPollsEvery20MsUntilACodeArrives) {
    keytest::record().on_wait = [](int count) {
        if (count == 1) post_key(0); // a stored 0 is no key
        if (count == 3) post_key(0x48FF);
    };
    rt::console_hooks().sleep = screen_sleep; // as while a screen is open
    EXPECT_EQ(wait_key(), 0x48FF);
    EXPECT_EQ(waits(), (std::vector<int>{20, 20, 20}));

    set_current_screen(nullptr);
    EXPECT_EQ(wait_key(), 0);
}

TEST_F(KeyBuffer, KeyDownReadsTheKeyStateOfTheScreen) {
    screen->key_state[127] = 1;
    EXPECT_EQ(key_down(127), -1);
    EXPECT_EQ(key_down(126), 0);
    EXPECT_EQ(key_down(200), 0);
    screen->refresh_rate = -1; // the bytes just past the table all set
    EXPECT_EQ(key_down(key_state_size), 0);
    EXPECT_EQ(key_down(-1), 0) << "scan codes compare unsigned";
    set_current_screen(nullptr);
    EXPECT_EQ(key_down(127), 0);
}

TEST_F(KeyBuffer, EventQueueKeepsTheNewest127) {
    for (int i = 1; i <= 130; ++i) post_event({EVENT_KEY_PRESSED, i, 0, 0, 0});
    Event e{};
    for (int i = 4; i <= 130; ++i) {
        ASSERT_EQ(take_event(&e), 1);
        EXPECT_EQ(e.field1, i);
    }
    EXPECT_EQ(take_event(&e), 0);

    set_current_screen(nullptr);
    post_event({EVENT_CLOSE_REQUESTED, 0, 0, 0, 0}); // goes nowhere
    EXPECT_EQ(take_event(&e), 0);
}

// The driver thread posts while the program's thread takes. Whatever is dropped, what arrives
// is in order and complete, and the newest post is never lost.
TEST_F(KeyBuffer, ProducerThreadAndConsumerShareBufferAndQueue) {
    constexpr int posts = 20000;
    std::atomic<bool> done{false};
    std::thread producer([&done] {
        for (int i = 1; i <= posts; ++i) {
            post_key(i);
            post_event({EVENT_KEY_PRESSED, i, i, -i, i});
        }
        done = true;
    });
    int last_key = 0;
    int last_event = 0;
    auto take_all = [&] {
        while (const int code = take_key()) {
            ASSERT_GT(code, last_key);
            last_key = code;
        }
        Event e{};
        while (take_event(&e)) {
            ASSERT_EQ(e.type, EVENT_KEY_PRESSED);
            ASSERT_GT(e.field1, last_event);
            ASSERT_TRUE(e.field2 == e.field1 && e.field3 == -e.field1 && e.field4 == e.field1);
            last_event = e.field1;
        }
    };
    while (!done && !HasFatalFailure()) {
        take_all();
        std::this_thread::yield();
    }
    producer.join();
    take_all();
    EXPECT_EQ(last_key, posts);
    EXPECT_EQ(last_event, posts);
}

} // namespace
