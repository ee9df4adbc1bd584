// Byte strings as the runtime sees them: explicit length, case-significant, unsigned byte order.
//
// The runtime's strings are std::string values; a temporary produced by substring or concat is
// an ordinary value, released by whoever consumes it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rt {

// Orders two strings: -1, 0 or 1. Bytes compare as unsigned; on a common prefix the shorter
// string is the smaller. A missing string (nullopt) against a present one: the present one is
// greater when it is non-empty and equal when empty; two missing strings are equal.
int compare(std::optional<std::string_view> a, std::optional<std::string_view> b);

// Length in bytes, clamped to the signed 32-bit range the runtime counts in.
int length(std::string_view s);

// The bytes from the 1-based start, at most count of them. A start before 1 counts from 1; a
// start past the end or a count below 1 gives an empty string.
std::string substring(std::string_view s, int start, int count);

std::string concat(std::string_view a, std::string_view b);

} // namespace rt
