// A screen record installed for the length of a test, an emptied key buffer, and a recorder in
// the runtime's wait seam.
#pragma once

#include "gfx/console/key_buffer.h"
#include "gfx/core/screen_state.h"
#include "runtime/console_hooks.h"
#include "runtime/sleep.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace keytest {

inline std::vector<int>& recorded_waits() {
    static std::vector<int> waits;
    return waits;
}

// Called by the recorder with the number of waits so far; may post a key.
inline void (*&on_wait())(int count) {
    static void (*hook)(int) = nullptr;
    return hook;
}

inline void record_wait(int ms) {
    recorded_waits().push_back(ms);
    if (on_wait()) on_wait()(static_cast<int>(recorded_waits().size()));
}

inline void empty_key_buffer() {
    for (int i = 0; i < zered::key_buffer_size; ++i) zered::take_key();
    zered::key_posted_take();
}

class ScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        empty_key_buffer();
        recorded_waits().clear();
        on_wait() = nullptr;
        rt::set_wait(record_wait);
        zered::set_current_screen(screen.get());
    }
    void TearDown() override {
        zered::set_current_screen(nullptr);
        rt::set_wait(nullptr);
        rt::console_hooks() = {};
        on_wait() = nullptr;
        empty_key_buffer();
    }
    std::unique_ptr<zered::ScreenState> screen = std::make_unique<zered::ScreenState>();
};

} // namespace keytest
