#include "gfx/core/block_ops.h"

#include <atomic>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
#include <cpuid.h>
#endif

namespace zered {

namespace {

using CopyFn = void (*)(void*, const void*, std::size_t);
using FillFn = void (*)(void*, int, std::size_t);

std::atomic<CopyFn> installed_copy{copy_bytes_plain};
std::atomic<FillFn> installed_fill{fill_bytes_plain};
std::atomic<int> installed_bytes_per_pixel{1};
std::atomic<bool> plain_forced{false};

bool processor_has_mmx() {
#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    // __get_cpuid first checks that CPUID exists and has leaf 1 (a 486 may have neither).
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    return (edx & (1u << 23)) != 0;
#else
    return false;
#endif
}

#if defined(__SSE2__)

// Loads and stores of a few bytes through memcpy: no alignment assumed, and each piece is read
// whole before it is written, which keeps a downward overlapping copy correct.
template <typename T> void move_piece(std::uint8_t* d, const std::uint8_t* s) {
    T value;
    std::memcpy(&value, s, sizeof value);
    std::memcpy(d, &value, sizeof value);
}

// Copies fewer than 16 bytes forward, the pieces in ascending address order.
void copy_short(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    if (n & 8) {
        move_piece<std::uint64_t>(d, s);
        d += 8, s += 8;
    }
    if (n & 4) {
        move_piece<std::uint32_t>(d, s);
        d += 4, s += 4;
    }
    if (n & 2) {
        move_piece<std::uint16_t>(d, s);
        d += 2, s += 2;
    }
    if (n & 1) *d = *s;
}

// Stores fewer than 16 bytes of a repeating pattern. The pattern's period (1, 2 or 4 bytes)
// divides n and every piece starts on a period boundary, so the pieces stay in phase.
void fill_short(std::uint8_t* d, std::uint64_t pattern, std::size_t n) {
    if (n & 8) {
        std::memcpy(d, &pattern, 8);
        d += 8;
    }
    if (n & 4) {
        std::memcpy(d, &pattern, 4);
        d += 4;
    }
    if (n & 2) {
        std::memcpy(d, &pattern, 2);
        d += 2;
    }
    if (n & 1) std::memcpy(d, &pattern, 1);
}

// Bytes to go until d lies on 16 bytes, when that is a whole number of elements; else 0 (the
// span is misaligned for its pixel size, and the unaligned stores serve as they are).
std::size_t head_to_alignment(const void* d, std::size_t element) {
    const auto head = static_cast<std::size_t>(-reinterpret_cast<std::uintptr_t>(d) & 15u);
    return head % element == 0 ? head : 0;
}

// Fills n bytes with a pattern whose period is element bytes; vector16 holds 16 bytes of it.
void fill_pattern_vector(std::uint8_t* d, __m128i vector16, std::uint64_t pattern,
                         std::size_t element, std::size_t n) {
    if (n >= 16) {
        const std::size_t head = head_to_alignment(d, element);
        fill_short(d, pattern, head);
        d += head;
        n -= head;
        for (; n >= 64; n -= 64, d += 64) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), vector16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), vector16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), vector16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 48), vector16);
        }
        for (; n >= 16; n -= 16, d += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), vector16);
    }
    fill_short(d, pattern, n);
}

// Four pixels blended by the per-byte rule. d + floor((c - d) * a / 256) is
// floor((d * (256 - a) + c * a) / 256), whose numerator never exceeds 255 * 256 and so fits an
// unsigned 16-bit lane; c * a is the same for every pixel of a fill. ca16 holds c * a for each
// byte of a pixel widened to 16 bits (two pixels' worth), keep16 holds 256 - a in every lane.
__m128i blend4(__m128i pixels, __m128i ca16, __m128i keep16) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(pixels, zero), keep16);
    const __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(pixels, zero), keep16);
    return _mm_packus_epi16(_mm_srli_epi16(_mm_add_epi16(lo, ca16), 8),
                            _mm_srli_epi16(_mm_add_epi16(hi, ca16), 8));
}

std::uint64_t repeat16(std::uint32_t colour) {
    return 0x0001000100010001ull * (colour & 0xFFFFu);
}
std::uint64_t repeat32(std::uint32_t colour) {
    return 0x0000000100000001ull * colour;
}

#endif

// Blends colour over count pixels one at a time with the given rule.
template <std::uint32_t (*blend)(std::uint32_t, std::uint32_t)>
void blend_pixels(std::uint8_t* d, std::uint32_t colour, int count) {
    for (; count > 0; --count, d += 4) {
        std::uint32_t pixel;
        std::memcpy(&pixel, d, 4);
        pixel = blend(pixel, colour);
        std::memcpy(d, &pixel, 4);
    }
}

} // namespace

void copy_bytes(void* destination, const void* source, std::size_t count) {
    installed_copy.load(std::memory_order_relaxed)(destination, source, count);
}

void fill_bytes(void* destination, int value, std::size_t count) {
    installed_fill.load(std::memory_order_relaxed)(destination, value, count);
}

void copy_pixels(void* destination, const void* source, std::size_t count) {
    const auto size =
        static_cast<std::size_t>(installed_bytes_per_pixel.load(std::memory_order_relaxed));
    copy_bytes(destination, source, count * size);
}

void install_block_routines(bool vector, int bytes_per_pixel) {
    installed_copy.store(vector ? copy_bytes_vector : copy_bytes_plain, std::memory_order_relaxed);
    installed_fill.store(vector ? fill_bytes_vector : fill_bytes_plain, std::memory_order_relaxed);
    installed_bytes_per_pixel.store(bytes_per_pixel, std::memory_order_relaxed);
}

bool cpu_has_mmx() {
    static const bool has_mmx = processor_has_mmx();
    return has_mmx && !plain_forced.load(std::memory_order_relaxed);
}

void force_plain_routines(bool plain) {
    plain_forced.store(plain, std::memory_order_relaxed);
}

void copy_bytes_plain(void* destination, const void* source, std::size_t count) {
    std::memmove(destination, source, count);
}

void fill_bytes_plain(void* destination, int value, std::size_t count) {
    std::memset(destination, value, count);
}

#if defined(__SSE2__)

void copy_bytes_vector(void* destination, const void* source, std::size_t count) {
    auto* d = static_cast<std::uint8_t*>(destination);
    const auto* s = static_cast<const std::uint8_t*>(source);
    if (count >= 16) {
        // Aligned stores; the loads take the source as it comes.
        const std::size_t head = head_to_alignment(d, 1);
        copy_short(d, s, head);
        d += head, s += head, count -= head;
        // All four loads of a group come before its stores, so a downward overlap is safe.
        for (; count >= 64; count -= 64, d += 64, s += 64) {
            const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
            const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
            const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 48));
            _mm_store_si128(reinterpret_cast<__m128i*>(d), v0);
            _mm_store_si128(reinterpret_cast<__m128i*>(d + 16), v1);
            _mm_store_si128(reinterpret_cast<__m128i*>(d + 32), v2);
            _mm_store_si128(reinterpret_cast<__m128i*>(d + 48), v3);
        }
        for (; count >= 16; count -= 16, d += 16, s += 16)
            _mm_store_si128(reinterpret_cast<__m128i*>(d),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
    }
    copy_short(d, s, count);
}

void fill_bytes_vector(void* destination, int value, std::size_t count) {
    const auto byte = static_cast<std::uint8_t>(value);
    fill_pattern_vector(static_cast<std::uint8_t*>(destination),
                        _mm_set1_epi8(static_cast<char>(byte)), 0x0101010101010101ull * byte, 1,
                        count);
}

void fill16_vector(void* destination, std::uint32_t colour, int count) {
    if (count <= 0) return;
    fill_pattern_vector(static_cast<std::uint8_t*>(destination),
                        _mm_set1_epi16(static_cast<short>(colour & 0xFFFFu)), repeat16(colour), 2,
                        static_cast<std::size_t>(count) * 2);
}

void fill32_vector(void* destination, std::uint32_t colour, int count) {
    if (count <= 0) return;
    fill_pattern_vector(static_cast<std::uint8_t*>(destination),
                        _mm_set1_epi32(static_cast<int>(colour)), repeat32(colour), 4,
                        static_cast<std::size_t>(count) * 4);
}

void blend_fill32_vector(void* destination, std::uint32_t colour, int count) {
    auto* d = static_cast<std::uint8_t*>(destination);
    const auto alpha = static_cast<short>(colour >> 24);
    const __m128i ca16 = _mm_mullo_epi16(
        _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(colour)), _mm_setzero_si128()),
        _mm_set1_epi16(alpha));
    const __m128i keep16 = _mm_set1_epi16(static_cast<short>(256 - alpha));
    for (; count >= 4; count -= 4, d += 16) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), blend4(pixels, ca16, keep16));
    }
    blend_pixels<blend_pixel_bytes>(d, colour, count);
}

#else // no SSE2: the vector family is the plain code

void copy_bytes_vector(void* destination, const void* source, std::size_t count) {
    copy_bytes_plain(destination, source, count);
}
void fill_bytes_vector(void* destination, int value, std::size_t count) {
    fill_bytes_plain(destination, value, count);
}
void fill16_vector(void* destination, std::uint32_t colour, int count) {
    fill16_plain(destination, colour, count);
}
void fill32_vector(void* destination, std::uint32_t colour, int count) {
    fill32_plain(destination, colour, count);
}
void blend_fill32_vector(void* destination, std::uint32_t colour, int count) {
    blend_pixels<blend_pixel_bytes>(static_cast<std::uint8_t*>(destination), colour, count);
}

#endif

void fill16_plain(void* destination, std::uint32_t colour, int count) {
    auto* d = static_cast<std::uint8_t*>(destination);
    const auto pixel = static_cast<std::uint16_t>(colour);
    for (int i = 0; i < count; ++i)
        std::memcpy(d + 2 * i, &pixel, 2);
}

void fill32_plain(void* destination, std::uint32_t colour, int count) {
    auto* d = static_cast<std::uint8_t*>(destination);
    for (int i = 0; i < count; ++i)
        std::memcpy(d + 4 * i, &colour, 4);
}

void blend_fill32_plain(void* destination, std::uint32_t colour, int count) {
    blend_pixels<blend_pixel>(static_cast<std::uint8_t*>(destination), colour, count);
}

} // namespace zered
