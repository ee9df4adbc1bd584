// What the utility asks of the system beyond the runtime.
#pragma once

namespace drivenudge {

// A drive that is not ready must fail quietly: no "no disk in the drive" box that would block the
// cycle until somebody answers it.
void quiet_system_errors();

// Makes standard output reach the console the program was started from, where there is one.
// A windowed program has none of its own.
void prepare_standard_output();

} // namespace drivenudge
