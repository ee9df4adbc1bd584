#include "gfx/core/screen_setup.h"

#include <array>

namespace zered {

namespace {

// Tried in this order. Empty until the window drivers join it.
constexpr std::array<const DisplayDriver*, 0> drivers{};

} // namespace

std::span<const DisplayDriver* const> driver_selection_list() { return drivers; }

} // namespace zered
