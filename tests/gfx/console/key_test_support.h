// A screen record installed for the length of a test, an emptied key buffer, and a recorder in
// the runtime's wait seam that can post a key at the n-th wait.
#pragma once

#include "gfx/console/event_queue.h"
#include "gfx/console/key_buffer.h"
#include "gfx/core/screen_state.h"
#include "runtime/console_hooks.h"
#include "runtime/sleep.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace keytest {

struct WaitRecord {
    std::vector<int> waits;
    void (*on_wait)(int count) = nullptr; // called after each recorded wait
};

inline WaitRecord& record() {
    static WaitRecord r;
    return r;
}

// Every event queued on the open screen, oldest first; the queue is left empty.
inline std::vector<zered::Event> take_events() {
    std::vector<zered::Event> events;
    zered::Event event;
    while (zered::take_event(&event))
        events.push_back(event);
    return events;
}

inline void empty_key_buffer() {
    for (int i = 0; i < zered::key_buffer_size; ++i) zered::take_key();
    zered::key_posted_take();
}

class ScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        empty_key_buffer();
        record() = {};
        rt::set_wait([](int ms) {
            record().waits.push_back(ms);
            if (record().on_wait) record().on_wait(static_cast<int>(record().waits.size()));
        });
        zered::set_current_screen(screen.get());
    }
    void TearDown() override {
        zered::set_current_screen(nullptr);
        rt::set_wait(nullptr);
        rt::console_hooks() = {};
        empty_key_buffer();
    }
    std::vector<int>& waits() { return record().waits; }
    std::unique_ptr<zered::ScreenState> screen = std::make_unique<zered::ScreenState>();
};

} // namespace keytest
