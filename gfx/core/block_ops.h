// Process-wide block copy and fill, plain or vector, chosen by select_depth_primitives from
// what the processor has.
#pragma once

#include <cstddef>

namespace zered {

// Copies forward, from the lowest address up; overlapping copies only towards lower addresses.
void copy_bytes(void* destination, const void* source, std::size_t count);
void fill_bytes(void* destination, int value, std::size_t count);
// copy_bytes of count pixels of the current bytes per pixel.
void copy_pixels(void* destination, const void* source, std::size_t count);

// Whether the processor has MMX (CPUID leaf 1, EDX bit 23), asked once; false on processors
// other than x86. The vector routines use SSE2 where they run.
bool cpu_has_mmx();
// Test seam: makes cpu_has_mmx answer false until switched back, so that the plain and the vector
// routines can both be checked on one machine.
void force_plain_routines(bool plain);

} // namespace zered
