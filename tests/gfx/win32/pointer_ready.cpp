// Under Wine the desktop of a session that has just started can undo the pointer's first warps
// for a while; every screen test parks the pointer in a corner before it begins, so the program
// waits, once, until the pointer can be placed at all.
#include <windows.h>

#include <gtest/gtest.h>

#include "gfx/win32/gdi_screen.h"

namespace {

inline constexpr ULONGLONG pointer_wait_ms = 60'000;

class PointerReady final : public ::testing::Environment {
  public:
    void SetUp() override {
        const ULONGLONG until = ::GetTickCount64() + pointer_wait_ms;
        while (!gditest::pointer_parked() && ::GetTickCount64() < until) {
        }
    }
};

// gtest owns the environment from here on.
[[maybe_unused]] const auto* const pointer_ready =
    ::testing::AddGlobalTestEnvironment(new PointerReady);

} // namespace
