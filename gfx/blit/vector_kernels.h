// What the vector members share: unaligned loads and stores, the loop that runs a kernel over a
// line, the choice of a kernel by the processor's vector level, and the packing of 32-bit colours
// into 24-bit pixels. x86 builds with SSE2 only (every x86-64 processor has it); SSSE3, AVX2 and
// AVX-512 code is confined to functions with target attributes and chosen at run time.
#pragma once

#if defined(__SSE2__)

#include <cstdint>
#include <type_traits>

#include <immintrin.h>

#include "gfx/blit/convert_lines.h"
#include "gfx/core/block_ops.h"

// The extensions the AVX-512 members use: byte and word lanes (BW) and byte permutes (VBMI).
#define ZERED_TARGET_AVX512 "avx512f,avx512bw,avx512vl,avx512vbmi"

namespace zered::vec {

inline __m128i load128(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store128(std::uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
inline __m128i load_half(const std::uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline void store_half(std::uint8_t* p, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}
inline __m128i splat(std::uint32_t v) {
    return _mm_set1_epi32(static_cast<int>(v));
}
inline __m128i splat16(std::uint32_t v) {
    return _mm_set1_epi16(static_cast<short>(v));
}

[[gnu::target("avx2")]] inline __m256i load256(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
[[gnu::target("avx2")]] inline void store256(std::uint8_t* p, const __m256i& v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
[[gnu::target("avx2")]] inline __m256i splat16x2(std::uint32_t v) {
    return _mm256_set1_epi16(static_cast<short>(v));
}

[[gnu::target(ZERED_TARGET_AVX512)]] inline __m512i load512(const std::uint8_t* p) {
    return _mm512_loadu_si512(p);
}
[[gnu::target(ZERED_TARGET_AVX512)]] inline void store512(std::uint8_t* p, const __m512i& v) {
    _mm512_storeu_si512(p, v);
}
[[gnu::target(ZERED_TARGET_AVX512)]] inline __m512i splat16x4(std::uint32_t v) {
    return _mm512_set1_epi16(static_cast<short>(v));
}

// Byte permute of v by indices (vpermb). The zero-masking form with every lane kept is the same
// instruction; the plain intrinsic of GCC 12 trips its own uninitialised-value warning.
[[gnu::target(ZERED_TARGET_AVX512)]] inline __m512i permute_bytes(const __m512i& indices,
                                                                  const __m512i& v) {
    return _mm512_maskz_permutexvar_epi8(~__mmask64{0}, indices, v);
}

// The low 12 bytes of v, a 24-bit line's four pixels.
inline void store_12(std::uint8_t* out, __m128i v) {
    store_half(out, v);
    store32(out + 8, static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 8))));
}

// A kernel converts step_pixels pixels (step) or 4 pixels (step4) of a line; tail is the plain line
// converter for what remains. The kernels of SSSE3, AVX2 and AVX-512 are compiled for those
// extensions, and a kernel can only be inlined into a function compiled for at least the same:
// so the loop is written once and flattened into one entry per extension.
// Bytes per pixel on either side, pixels of a step and the plain line converter of a kernel.
template <int InSize, int OutSize, LineFn Tail, int Step = 16> struct KernelShape {
    static constexpr int in_size = InSize;
    static constexpr int out_size = OutSize;
    static constexpr LineFn tail = Tail;
    static constexpr int step_pixels = Step;
};

template <class Kernel>
[[gnu::always_inline]] inline void line_steps(std::uint8_t* out, const std::uint8_t* in, int width,
                                              const LineInput& input) {
    int i = 0;
    for (; i + Kernel::step_pixels <= width; i += Kernel::step_pixels) {
        Kernel::step(out + i * Kernel::out_size, in + i * Kernel::in_size);
    }
    for (; i + 4 <= width; i += 4) {
        Kernel::step4(out + i * Kernel::out_size, in + i * Kernel::in_size);
    }
    if (i < width) {
        Kernel::tail(out + i * Kernel::out_size, in + i * Kernel::in_size, width - i, input);
    }
}

template <class Kernel>
[[gnu::flatten]] void line_sse2(std::uint8_t* out, const std::uint8_t* in, int width,
                                const LineInput& input) {
    line_steps<Kernel>(out, in, width, input);
}
template <class Kernel>
[[gnu::target("ssse3"), gnu::flatten]] void line_ssse3(std::uint8_t* out, const std::uint8_t* in,
                                                       int width, const LineInput& input) {
    line_steps<Kernel>(out, in, width, input);
}
template <class Kernel>
[[gnu::target("avx2"), gnu::flatten]] void line_avx2(std::uint8_t* out, const std::uint8_t* in,
                                                     int width, const LineInput& input) {
    line_steps<Kernel>(out, in, width, input);
}
template <class Kernel>
[[gnu::target(ZERED_TARGET_AVX512), gnu::flatten]] void
line_avx512(std::uint8_t* out, const std::uint8_t* in, int width, const LineInput& input) {
    line_steps<Kernel>(out, in, width, input);
}

// The line converter of the highest extension the processor has among those given; a kernel
// named again for a higher extension means that extension adds nothing to it.
template <class Sse2, class Ssse3 = Sse2, class Avx2 = Ssse3, class Avx512 = Avx2>
LineFn pick_line() {
    const int level = vector_level();
    if constexpr (!std::is_same_v<Avx2, Avx512>) {
        if (level >= vector_level_avx512) {
            return line_avx512<Avx512>;
        }
    }
    if constexpr (!std::is_same_v<Ssse3, Avx2>) {
        if (level >= vector_level_avx2) {
            return line_avx2<Avx2>;
        }
    }
    if constexpr (!std::is_same_v<Sse2, Ssse3>) {
        if (level >= vector_level_ssse3) {
            return line_ssse3<Ssse3>;
        }
    }
    return line_sse2<Sse2>;
}

template <class Sse2, class Ssse3 = Sse2, class Avx2 = Ssse3, class Avx512 = Avx2>
void run_vector(void* destination, std::int32_t destination_pitch) {
    convert_open_screen(destination, destination_pitch, pick_line<Sse2, Ssse3, Avx2, Avx512>());
}

// ---- 24-bit output: four 32-bit colours (byte 3 ignored) become 12 bytes.

// SSE2: squeeze each 64-bit half to 6 bytes, then close the gap between the halves.
inline __m128i squeeze_24(__m128i v) {
    const __m128i pair =
        _mm_or_si128(_mm_and_si128(v, _mm_set1_epi64x(0xFFFFFF)),
                     _mm_and_si128(_mm_srli_epi64(v, 8), _mm_set1_epi64x(0xFFFFFF000000)));
    const __m128i first6 = _mm_set_epi32(0, 0, 0xFFFF, -1);
    return _mm_or_si128(_mm_and_si128(pair, first6),
                        _mm_srli_si128(_mm_andnot_si128(first6, pair), 2));
}

// Sixteen squeezed pixels (12 bytes each, top 4 bytes zero) as 48 contiguous bytes.
inline void store_48(std::uint8_t* out, __m128i a, __m128i b, __m128i c, __m128i d) {
    store128(out, _mm_or_si128(a, _mm_slli_si128(b, 12)));
    store128(out + 16, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    store128(out + 32, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
}

// SSSE3: byte shuffles that take the three wanted bytes of each pixel straight to their place
// in one of the three output vectors; swap reverses the channel order on the way.
struct ShuffleMask {
    alignas(16) std::int8_t bytes[16];
};
// The index that makes a byte 0 (any with its top bit set does).
inline constexpr std::int8_t zero_byte = -128;

constexpr ShuffleMask pack_24_mask(int out_vector, int in_vector, bool swap) {
    ShuffleMask mask{};
    for (int j = 0; j < 16; ++j) {
        const int k = 16 * out_vector + j;
        const int pixel = k / 3;
        const int channel = swap ? 2 - k % 3 : k % 3;
        mask.bytes[j] =
            static_cast<std::int8_t>(pixel / 4 == in_vector ? pixel % 4 * 4 + channel : zero_byte);
    }
    return mask;
}

template <bool Swap> struct Pack24Masks {
    static constexpr ShuffleMask masks[6] = {
        pack_24_mask(0, 0, Swap), pack_24_mask(0, 1, Swap), pack_24_mask(1, 1, Swap),
        pack_24_mask(1, 2, Swap), pack_24_mask(2, 2, Swap), pack_24_mask(2, 3, Swap),
    };
};

[[gnu::target("ssse3")]] inline __m128i shuffle(__m128i v, const ShuffleMask& mask) {
    return _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i*>(mask.bytes)));
}

template <bool Swap>
[[gnu::target("ssse3")]] inline void shuffle_store_48(std::uint8_t* out, __m128i a, __m128i b,
                                                      __m128i c, __m128i d) {
    const ShuffleMask* m = Pack24Masks<Swap>::masks;
    store128(out, _mm_or_si128(shuffle(a, m[0]), shuffle(b, m[1])));
    store128(out + 16, _mm_or_si128(shuffle(b, m[2]), shuffle(c, m[3])));
    store128(out + 32, _mm_or_si128(shuffle(c, m[4]), shuffle(d, m[5])));
}

template <bool Swap>
[[gnu::target("ssse3")]] inline void shuffle_store_12(std::uint8_t* out, __m128i a) {
    store_12(out, shuffle(a, Pack24Masks<Swap>::masks[0]));
}

// AVX2: pixels 0-7 (low) and 8-15 (high) as 32-bit colours become 48 contiguous bytes. Each
// 128-bit half is squeezed to 12 bytes by the byte shuffle (swap reverses the channel order on
// the way), then the 32-bit words are gathered across the halves.
template <bool Swap>
[[gnu::target("avx2")]] inline void shuffle_store_48_avx2(std::uint8_t* out, const __m256i& low,
                                                          const __m256i& high) {
    const __m256i squeeze = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(Pack24Masks<Swap>::masks[0].bytes)));
    // Words 0-2 and 4-6 of each hold pixels 0-3 and 4-7 (of low), 8-11 and 12-15 (of high).
    const __m256i a = _mm256_shuffle_epi8(low, squeeze);
    const __m256i b = _mm256_shuffle_epi8(high, squeeze);
    const __m256i first = _mm256_blend_epi32(
        _mm256_permutevar8x32_epi32(a, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 0, 0)),
        _mm256_permutevar8x32_epi32(b, _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 0, 1)), 0xC0);
    const __m256i rest =
        _mm256_permutevar8x32_epi32(b, _mm256_setr_epi32(2, 4, 5, 6, 0, 0, 0, 0));
    store256(out, first);
    store128(out + 32, _mm256_castsi256_si128(rest));
}

// AVX-512: sixty-four 32-bit colours, sixteen in each of a, b, c, d, to 192 contiguous bytes.
// Output vector v takes its bytes from inputs v and v + 1 by one two-source byte permute; swap
// reverses the channel order on the way.
struct PermuteMask {
    alignas(64) std::uint8_t bytes[64];
};

constexpr PermuteMask pack_24_permute(int out_vector, bool swap) {
    PermuteMask mask{};
    for (int j = 0; j < 64; ++j) {
        const int k = 64 * out_vector + j;
        const int pixel = k / 3;
        const int channel = swap ? 2 - k % 3 : k % 3;
        const int source = pixel / 16 - out_vector; // 0: the first input, 1: the second
        mask.bytes[j] = static_cast<std::uint8_t>(64 * source + 4 * (pixel % 16) + channel);
    }
    return mask;
}

template <bool Swap> struct Pack24Permute {
    static constexpr PermuteMask masks[3] = {pack_24_permute(0, Swap), pack_24_permute(1, Swap),
                                             pack_24_permute(2, Swap)};
};

[[gnu::target(ZERED_TARGET_AVX512)]] inline __m512i load_mask(const PermuteMask& mask) {
    return _mm512_load_si512(reinterpret_cast<const __m512i*>(mask.bytes));
}

template <bool Swap>
[[gnu::target(ZERED_TARGET_AVX512)]] inline void
permute_store_192(std::uint8_t* out, const __m512i& a, const __m512i& b, const __m512i& c,
                  const __m512i& d) {
    const PermuteMask* m = Pack24Permute<Swap>::masks;
    store512(out, _mm512_permutex2var_epi8(a, load_mask(m[0]), b));
    store512(out + 64, _mm512_permutex2var_epi8(b, load_mask(m[1]), c));
    store512(out + 128, _mm512_permutex2var_epi8(c, load_mask(m[2]), d));
}

} // namespace zered::vec

#endif
