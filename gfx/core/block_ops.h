// Process-wide block copy and fill, the processor-feature query and its test seams, and the
// span routines the pixel primitives are built from.
//
// "Vector" routines are the processor-accelerated family (the ones STATE_HAS_MMX stands for).
// On x86 and x86-64 they use SSE2, 16 bytes a step, or AVX2, 32 bytes a step, where the processor
// has it; elsewhere they are the plain code. Every vector routine gives the same bytes as its
// plain twin, except the blend, whose rule differs in the alpha byte (see blend_pixel_bytes).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zered {

// --- Block copy and fill -------------------------------------------------------------------

// Chosen per platform by what framebuffer_bench measured there, side by side with SSE2 and AVX2
// loops on whole frames of 1, 2 and 4 bytes a pixel (the bytes are the same either way):
// - the copy is the C library's memmove everywhere (glibc's and msvcrt's were as fast as the
//   loops or faster);
// - the fill is glibc's memset on Linux (it picks AVX or rep stosb by size itself), and on Windows
//   the vector loop of fill8_vector where the processor has the vector routines, because
//   msvcrt's memset was slower than it (measured under Wine).
// Copies forward; overlapping regions may be copied towards lower addresses (destination below
// source), never towards higher ones.
void copy_bytes(void* destination, const void* source, std::size_t count);
// Sets count bytes to the low byte of value.
void fill_bytes(void* destination, int value, std::size_t count);
// copy_bytes of count pixels of the bytes per pixel last given to set_copy_pixel_size (1 until
// then).
void copy_pixels(void* destination, const void* source, std::size_t count);
// Safe against a driver thread copying at the same time: it sees the old size or the new one.
void set_copy_pixel_size(int bytes_per_pixel);

// --- Processor features --------------------------------------------------------------------

// Whether the processor has MMX (CPUID leaf 1, EDX bit 23), asked once; false on processors
// other than x86. The vector routines use SSE2 or AVX2 where they run.
bool cpu_has_mmx();
// Test seam: makes cpu_has_mmx answer false until switched back, so that the plain and the vector
// routines can both be checked on one machine.
void force_plain_routines(bool plain);

// The vector extensions the vector routines and converters may use, in order.
inline constexpr int vector_level_sse2 = 0;
inline constexpr int vector_level_ssse3 = 1;
inline constexpr int vector_level_avx2 = 2;
// AVX-512 with byte and word lanes and byte permutes (F, BW, VL and VBMI together).
inline constexpr int vector_level_avx512 = 3;
inline constexpr int vector_level_highest = vector_level_avx512;
// The highest level the processor and the system have (SSE2 is part of every x86-64 processor),
// asked once.
int vector_level_detected();
// The level the vector code uses: the detected one, capped by limit_vector_level.
int vector_level();
// Test and benchmark seam: caps vector_level at level (vector_level_highest lifts the cap).
void limit_vector_level(int level);

// --- The variants, for the primitives, the tests and the benchmarks ------------------------

// Span fills: count pixels of one colour from destination, which need not be aligned. The 8- and
// 16-bit fills store the low 8 or 16 bits of colour. A count of 0 or less writes nothing.
void fill8_vector(void* destination, std::uint32_t colour, int count);
void fill16_plain(void* destination, std::uint32_t colour, int count);
void fill16_vector(void* destination, std::uint32_t colour, int count);
void fill32_plain(void* destination, std::uint32_t colour, int count);
void fill32_vector(void* destination, std::uint32_t colour, int count);

// Blend fills: every pixel d of the span becomes blend_pixel(d, colour) (plain) or
// blend_pixel_bytes(d, colour) (vector).
void blend_fill32_plain(void* destination, std::uint32_t colour, int count);
void blend_fill32_vector(void* destination, std::uint32_t colour, int count);

// Plain blend of colour c (alpha a = c >> 24) over pixel d: red and blue move together in one
// word and green in another, in wrapping 32-bit arithmetic; the result's top byte is c's.
constexpr std::uint32_t blend_pixel(std::uint32_t d, std::uint32_t c) {
    const std::uint32_t a = c >> 24;
    const std::uint32_t d_rb = d & 0x00FF00FFu;
    const std::uint32_t d_g = d & 0x0000FF00u;
    const std::uint32_t rb = d_rb + ((((c & 0x00FF00FFu) - d_rb) * a) >> 8);
    const std::uint32_t g = d_g + ((((c & 0x0000FF00u) - d_g) * a) >> 8);
    return (rb & 0x00FF00FFu) | (g & 0x0000FF00u) | (c & 0xFF000000u);
}

// Vector blend of colour c over pixel d: every byte, the top one included, becomes
// d + floor((c - d) * a / 256), so the stored alpha moves towards c's instead of being copied.
constexpr std::uint32_t blend_pixel_bytes(std::uint32_t d, std::uint32_t c) {
    const std::int32_t a = static_cast<std::int32_t>(c >> 24);
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::int32_t db = static_cast<std::int32_t>((d >> shift) & 0xFF);
        const std::int32_t cb = static_cast<std::int32_t>((c >> shift) & 0xFF);
        // >> of a negative product rounds towards minus infinity, which is the floor wanted.
        const std::int32_t moved = db + (((cb - db) * a) >> 8);
        result |= static_cast<std::uint32_t>(moved & 0xFF) << shift;
    }
    return result;
}

} // namespace zered
