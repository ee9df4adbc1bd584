// The wake cycle: every drive named by the argument sees a little file-system traffic once per
// cycle, so that its disk does not spin down.
#pragma once

#include <string_view>

namespace drivenudge {

inline constexpr double cycle_ms = 170000.0;

// One drive's share of the cycle in milliseconds: 170000 / count rounded to the nearest
// integer, ties to even (32 drives give 5312, not 5313). count must be positive.
int share_ms(int count);

// Makes the drive's root the current directory and, only if that worked, creates and removes
// the marker folder there; then, either way, moves on to the system directory, so that no drive
// is held in use while the cycle sleeps. Any byte is taken as a drive; one that names none just
// fails.
void visit_drive(char drive);

// One pass over the letters: a visit and a share of sleep for each byte, in order.
void wake_pass(std::string_view letters);

// Passes, for ever. letters must not be empty.
[[noreturn]] void wake_cycle(std::string_view letters);

} // namespace drivenudge
