// A test that hangs (a lock never released, a thread waiting for a message that never comes) ends
// the program after a while, naming the test, instead of holding up the run until an outer limit
// kills the program without a word. The slowest test takes about 15 s under Wine on a quiet
// machine, so the limit leaves a busy one room several times over.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

inline constexpr DWORD hang_limit_ms = 90'000;

class HangGuard final : public ::testing::EmptyTestEventListener {
  public:
    HangGuard() {
        // Never closed or joined: the thread waits for as long as the program runs.
        const HANDLE thread = ::CreateThread(nullptr, 0, watch, this, 0, nullptr);
        if (thread) ::CloseHandle(thread);
    }

    void OnTestStart(const ::testing::TestInfo& info) override {
        {
            std::lock_guard lock(mutex_);
            name_ = std::string(info.test_suite_name()) + "." + info.name();
        }
        ::SetEvent(started_);
    }
    void OnTestEnd(const ::testing::TestInfo&) override { ::SetEvent(ended_); }

  private:
    static DWORD WINAPI watch(void* self) {
        auto& guard = *static_cast<HangGuard*>(self);
        for (;;) {
            ::WaitForSingleObject(guard.started_, INFINITE);
            if (::WaitForSingleObject(guard.ended_, hang_limit_ms) != WAIT_TIMEOUT) continue;
            std::lock_guard lock(guard.mutex_);
            std::fprintf(stderr, "%s: still running after %lu s; the program ends here\n",
                         guard.name_.c_str(), hang_limit_ms / 1000);
            std::fflush(nullptr);
            ::TerminateProcess(::GetCurrentProcess(), 3);
        }
    }

    // Auto-reset: each start and end is seen once.
    HANDLE started_ = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE ended_ = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::mutex mutex_;
    std::string name_;
};

// gtest owns the listener from here on.
const bool guarded = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new HangGuard);
    return true;
}();

} // namespace
