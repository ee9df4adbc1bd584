#include "gfx/console/key_input.h"
#include "gfx/console/screen_sleep.h"
#include "key_test_support.h"

#include <thread>

namespace {

using namespace zered;

// The screen's sleep reached as the program reaches it, through the runtime's sleep.
class ScreenSleep : public keytest::ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        rt::console_hooks().sleep = screen_sleep;
    }
};

std::vector<int> steps(int count, int last) {
    std::vector<int> plan(static_cast<std::size_t>(count), 50);
    plan.push_back(last);
    return plan;
}

TEST_F(ScreenSleep, StepPlans) {
    rt::sleep(100);
    EXPECT_EQ(waits(), steps(1, 50));
    waits().clear();
    rt::sleep(1000);
    EXPECT_EQ(waits(), steps(19, 50));
    waits().clear();
    rt::sleep(28333);
    EXPECT_EQ(waits(), steps(566, 33));
    waits().clear();
    rt::sleep(0);
    rt::sleep(-5);
    EXPECT_TRUE(waits().empty()) << "unlike the console sleep, 0 does not yield";
}

TEST_F(ScreenSleep, ShortSleepsNeverLookAtTheKeys) {
    post_key('a');
    rt::sleep(99);
    EXPECT_EQ(waits(), std::vector<int>{99});
    EXPECT_EQ(key_posted_take(), 1) << "the flag was left for the next check";
}

TEST_F(ScreenSleep, AKeyEndsALongSleepAtTheNextCheck) {
    keytest::record().on_wait = [](int count) {
        if (count == 1) post_key('a'); // 10 ms into the first step
    };
    rt::sleep(1000);
    EXPECT_EQ(waits(), std::vector<int>{50});
    EXPECT_EQ(take_key(), 'a');

    // Arriving during the last piece, it ends nothing.
    waits().clear();
    keytest::record().on_wait = [](int count) {
        if (count == 2) post_key('b');
    };
    rt::sleep(120);
    EXPECT_EQ(waits(), (std::vector<int>{50, 50, 20}));
}

TEST_F(ScreenSleep, UntilKeyEndsOnAKeyPostedBeforeOrDuring) {
    post_key('a');
    rt::sleep(rt::sleep_until_key);
    EXPECT_TRUE(waits().empty());

    keytest::record().on_wait = [](int count) {
        if (count == 3) std::thread([] { post_key(0x6BFF); }).join(); // the close button
    };
    rt::sleep(rt::sleep_until_key);
    EXPECT_EQ(waits(), steps(2, 50));
    EXPECT_EQ(take_key(), 'a') << "the keys stay in the buffer";
    EXPECT_EQ(take_key(), 0x6BFF);
}

} // namespace
