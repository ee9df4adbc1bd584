#include "runtime/console_hooks.h"
#include "runtime/console_input.h"
#include "runtime/sleep.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> waits;
int checks_until_key = -1; // -1: no key ever
int checks = 0;

void record_wait(int ms) {
    waits.push_back(ms);
}
bool has_console() {
    return true;
}
bool no_console() {
    return false;
}
int key_check() {
    ++checks;
    return checks_until_key >= 0 && checks > checks_until_key ? 1 : 0;
}

class Sleep : public ::testing::Test {
  protected:
    void SetUp() override {
        waits.clear();
        checks = 0;
        checks_until_key = -1;
        rt::set_wait(record_wait);
        rt::set_console_probe({has_console, key_check});
    }
    void TearDown() override {
        rt::set_wait(nullptr);
        rt::set_console_probe({});
        rt::console_hooks() = {};
    }
};

std::vector<int> steps(int count, int last) {
    std::vector<int> plan(static_cast<std::size_t>(count), 50);
    plan.push_back(last);
    return plan;
}

TEST_F(Sleep, LongCountsAreSteppedWithAKeyCheckBeforeEachStep) {
    rt::sleep(28333);
    EXPECT_EQ(waits, steps(566, 33));
    EXPECT_EQ(checks, 566);

    waits.clear();
    rt::sleep(100); // one step, then the rest of 50
    EXPECT_EQ(waits, steps(1, 50));

    waits.clear();
    rt::sleep(170000);
    EXPECT_EQ(waits, steps(3399, 50));
}

TEST_F(Sleep, ShortZeroAndNegativeCounts) {
    rt::sleep(99);
    EXPECT_EQ(waits, std::vector<int>{99});
    EXPECT_EQ(checks, 0);
    waits.clear();
    rt::sleep(0);
    EXPECT_EQ(waits, std::vector<int>{0});
    waits.clear();
    rt::sleep(-5);
    EXPECT_TRUE(waits.empty());
}

TEST_F(Sleep, AKeyEndsTheWaitAtTheNextCheck) {
    checks_until_key = 1; // the key arrives during the first step
    rt::sleep(1000);
    EXPECT_EQ(waits, std::vector<int>{50});

    waits.clear();
    checks = 0;
    checks_until_key = 3;
    rt::sleep(rt::sleep_until_key);
    EXPECT_EQ(waits, std::vector<int>(3, 50));

    waits.clear();
    checks = 0;
    checks_until_key = 0; // already there: no wait at all
    rt::sleep(rt::sleep_until_key);
    EXPECT_TRUE(waits.empty());
}

TEST_F(Sleep, WithoutConsoleInputTheWholeCountIsOneWait) {
    rt::set_console_probe({no_console, key_check});
    rt::sleep(28333);
    EXPECT_EQ(waits, std::vector<int>{28333});
    EXPECT_EQ(checks, 0);
    waits.clear();
    rt::sleep(-5);
    EXPECT_TRUE(waits.empty()) << "a negative count is no wait here either";
}

// With no console no key can come: the endless wait still wakes now and then, but rarely.
struct WaitedLong {
    int ms;
};
void end_after_one_wait(int ms) {
    throw WaitedLong{ms};
}
TEST_F(Sleep, UntilAKeyWithoutConsoleInputWaitsInLongPieces) {
    rt::set_console_probe({no_console, key_check});
    rt::set_wait(end_after_one_wait);
    try {
        rt::sleep(rt::sleep_until_key);
        ADD_FAILURE() << "returned without a key";
    } catch (const WaitedLong& waited) {
        EXPECT_GE(waited.ms, 60 * 60 * 1000);
    }
    EXPECT_EQ(checks, 0);
}

int hooked = 0;
TEST_F(Sleep, AFilledSleepSlotTakesOver) {
    rt::console_hooks().sleep = [](int ms) { hooked = ms; };
    rt::sleep(1234);
    EXPECT_EQ(hooked, 1234);
    EXPECT_TRUE(waits.empty());
}

} // namespace
