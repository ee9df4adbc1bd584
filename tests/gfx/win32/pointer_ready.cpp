// Under Wine the desktop of a session that has just started can undo the pointer's first warps
// for a while; every screen test parks the pointer in a corner before it begins, so the program
// waits, once, until the pointer can be placed at all.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

inline constexpr ULONGLONG pointer_wait_ms = 60'000;

class PointerReady final : public ::testing::Environment {
  public:
    void SetUp() override {
        const ULONGLONG until = ::GetTickCount64() + pointer_wait_ms;
        do {
            ::SetCursorPos(0, 0);
            ::Sleep(100);
            POINT cursor;
            if (::GetCursorPos(&cursor) && cursor.x == 0 && cursor.y == 0) return;
        } while (::GetTickCount64() < until);
    }
};

// gtest owns the environment from here on.
[[maybe_unused]] const auto* const pointer_ready =
    ::testing::AddGlobalTestEnvironment(new PointerReady);

} // namespace
