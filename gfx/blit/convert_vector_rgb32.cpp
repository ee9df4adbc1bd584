// The vector members: the plain members' output, computed with SSE2 (part of every x86-64
// processor), and with SSSE3 byte shuffles or AVX2 where the processor has them and they pay. They
// are chosen only for lines of a multiple of 4 pixels; the few pixels after the last whole step go
// through the plain line converter, so any width still converts completely.
#include "gfx/blit/convert.h"
#include "gfx/blit/convert_lines.h"
#include "gfx/core/block_ops.h"

#if defined(__SSE2__)

#include <type_traits>

#include <immintrin.h>

namespace zered {

namespace {

__m128i load128(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
void store128(std::uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
__m128i load_half(const std::uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
void store_half(std::uint8_t* p, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}
__m128i splat(std::uint32_t v) {
    return _mm_set1_epi32(static_cast<int>(v));
}
__m128i splat16(std::uint32_t v) {
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

// The low 12 bytes of v, a 24-bit line's four pixels.
void store_12(std::uint8_t* out, __m128i v) {
    store_half(out, v);
    store32(out + 8, static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 8))));
}

// A kernel converts 16 pixels (step16) or 4 pixels (step4) of a line; tail is the plain line
// converter for what remains. The kernels of SSSE3 and AVX2 are compiled for those extensions,
// and a kernel can only be inlined into a function compiled for at least the same: so the loop is
// written once and flattened into one entry per extension.
// Bytes per pixel on either side and the plain line converter of a kernel.
template <int InSize, int OutSize, LineFn Tail> struct KernelShape {
    static constexpr int in_size = InSize;
    static constexpr int out_size = OutSize;
    static constexpr LineFn tail = Tail;
};

template <class Kernel>
[[gnu::always_inline]] inline void line_steps(std::uint8_t* out, const std::uint8_t* in, int width,
                                              const LineInput& input) {
    int i = 0;
    for (; i + 16 <= width; i += 16) {
        Kernel::step16(out + i * Kernel::out_size, in + i * Kernel::in_size);
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

// Runs the kernel of the highest extension the processor has among those given; a kernel named
// again for a higher extension means that extension adds nothing to it.
template <class Sse2, class Ssse3 = Sse2, class Avx2 = Ssse3>
void run_vector(void* destination, std::int32_t destination_pitch) {
    const int level = vector_level();
    LineFn line = line_sse2<Sse2>;
    if constexpr (!std::is_same_v<Sse2, Ssse3>) {
        if (level >= vector_level_ssse3) {
            line = line_ssse3<Ssse3>;
        }
    }
    if constexpr (!std::is_same_v<Ssse3, Avx2>) {
        if (level >= vector_level_avx2) {
            line = line_avx2<Avx2>;
        }
    }
    convert_open_screen(destination, destination_pitch, line);
}

// ---- 16-bit framebuffers to 15- and 16-bit displays: eight pixels a vector, 16-bit lanes.

// Each format twice, for eight pixels (SSE2) and sixteen (AVX2), the same steps.
struct Rgb16To15Bl {
    static constexpr auto plain = rgb16_to_15_bl;
    static __m128i apply(__m128i q) {
        return _mm_or_si128(_mm_and_si128(_mm_srli_epi16(q, 1), splat16(0x7FE0)),
                            _mm_and_si128(q, splat16(0x001F)));
    }
    [[gnu::target("avx2")]] static __m256i apply(__m256i q) {
        return _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(q, 1), splat16x2(0x7FE0)),
                               _mm256_and_si256(q, splat16x2(0x001F)));
    }
};

struct Rgb16To15Rl {
    static constexpr auto plain = rgb16_to_15_rl;
    static __m128i apply(__m128i q) {
        const __m128i blue = _mm_and_si128(_mm_slli_epi16(q, 10), splat16(0x7C00));
        const __m128i green = _mm_and_si128(_mm_srli_epi16(q, 1), splat16(0x03E0));
        return _mm_or_si128(_mm_or_si128(blue, green), _mm_srli_epi16(q, 11));
    }
    [[gnu::target("avx2")]] static __m256i apply(__m256i q) {
        const __m256i blue = _mm256_and_si256(_mm256_slli_epi16(q, 10), splat16x2(0x7C00));
        const __m256i green = _mm256_and_si256(_mm256_srli_epi16(q, 1), splat16x2(0x03E0));
        return _mm256_or_si256(_mm256_or_si256(blue, green), _mm256_srli_epi16(q, 11));
    }
};

struct Rgb16To16Rl {
    static constexpr auto plain = rgb16_to_16_rl;
    static __m128i apply(__m128i q) {
        const __m128i outer = _mm_or_si128(_mm_slli_epi16(q, 11), _mm_srli_epi16(q, 11));
        return _mm_or_si128(outer, _mm_and_si128(q, splat16(0x07E0)));
    }
    [[gnu::target("avx2")]] static __m256i apply(__m256i q) {
        const __m256i outer = _mm256_or_si256(_mm256_slli_epi16(q, 11), _mm256_srli_epi16(q, 11));
        return _mm256_or_si256(outer, _mm256_and_si256(q, splat16x2(0x07E0)));
    }
};

template <class Format> struct Rgb16To16Kernel : KernelShape<2, 2, rgb16_line<Format::plain>> {
    static void step16(std::uint8_t* out, const std::uint8_t* in) {
        store128(out, Format::apply(load128(in)));
        store128(out + 16, Format::apply(load128(in + 16)));
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        store_half(out, Format::apply(load_half(in)));
    }
};

template <class Format>
struct Rgb16To16KernelAvx2 : KernelShape<2, 2, rgb16_line<Format::plain>> {
    [[gnu::target("avx2")]] static void step16(std::uint8_t* out, const std::uint8_t* in) {
        store256(out, Format::apply(load256(in)));
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        Rgb16To16Kernel<Format>::step4(out, in);
    }
};

// ---- 16-bit framebuffers to 24- and 32-bit displays.

// The expansion tables' colour of eight 5:6:5 pixels, computed instead of looked up: each field
// moved to the top of its byte, green in byte 1, the outer channels in the tables' order.
// Gives the low and the high four pixels as 32-bit colours.
template <bool RedLow> struct Expanded {
    __m128i low, high;
    explicit Expanded(__m128i q) {
        const __m128i blue = _mm_and_si128(_mm_slli_epi16(q, 3), splat16(0x00F8));
        const __m128i red = _mm_and_si128(_mm_srli_epi16(q, 8), splat16(0x00F8));
        const __m128i green = _mm_and_si128(_mm_slli_epi16(q, 5), splat16(0xFC00));
        const __m128i byte0 = RedLow ? red : blue;
        const __m128i byte2 = RedLow ? blue : red;
        const __m128i bytes01 = _mm_or_si128(byte0, green);
        low = _mm_unpacklo_epi16(bytes01, byte2);
        high = _mm_unpackhi_epi16(bytes01, byte2);
    }
};

// The same for sixteen pixels. The 64-bit quarters of the input are reordered first (0, 2, 1, 3),
// so that the unpacks, which work within each 128-bit half, give pixels 0-7 in low and 8-15 in
// high, in order.
template <bool RedLow> struct Expanded16 {
    __m256i low, high;
    [[gnu::target("avx2")]] explicit Expanded16(__m256i q) {
        q = _mm256_permute4x64_epi64(q, 0xD8);
        const __m256i blue = _mm256_and_si256(_mm256_slli_epi16(q, 3), splat16x2(0x00F8));
        const __m256i red = _mm256_and_si256(_mm256_srli_epi16(q, 8), splat16x2(0x00F8));
        const __m256i green = _mm256_and_si256(_mm256_slli_epi16(q, 5), splat16x2(0xFC00));
        const __m256i byte0 = RedLow ? red : blue;
        const __m256i byte2 = RedLow ? blue : red;
        const __m256i bytes01 = _mm256_or_si256(byte0, green);
        low = _mm256_unpacklo_epi16(bytes01, byte2);
        high = _mm256_unpackhi_epi16(bytes01, byte2);
    }
};

template <bool RedLow> struct Rgb16To32Kernel : KernelShape<2, 4, rgb16_expand_line<32>> {
    static void step16(std::uint8_t* out, const std::uint8_t* in) {
        const Expanded<RedLow> a(load128(in));
        const Expanded<RedLow> b(load128(in + 16));
        store128(out, a.low);
        store128(out + 16, a.high);
        store128(out + 32, b.low);
        store128(out + 48, b.high);
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        store128(out, Expanded<RedLow>(load_half(in)).low);
    }
};

template <bool RedLow> struct Rgb16To32KernelAvx2 : KernelShape<2, 4, rgb16_expand_line<32>> {
    [[gnu::target("avx2")]] static void step16(std::uint8_t* out, const std::uint8_t* in) {
        const Expanded16<RedLow> e(load256(in));
        store256(out, e.low);
        store256(out + 32, e.high);
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        Rgb16To32Kernel<RedLow>::step4(out, in);
    }
};

// ---- 24-bit output: four 32-bit colours (byte 3 ignored) become 12 bytes.

// SSE2: squeeze each 64-bit half to 6 bytes, then close the gap between the halves.
__m128i squeeze_24(__m128i v) {
    const __m128i pair =
        _mm_or_si128(_mm_and_si128(v, _mm_set1_epi64x(0xFFFFFF)),
                     _mm_and_si128(_mm_srli_epi64(v, 8), _mm_set1_epi64x(0xFFFFFF000000)));
    const __m128i first6 = _mm_set_epi32(0, 0, 0xFFFF, -1);
    return _mm_or_si128(_mm_and_si128(pair, first6),
                        _mm_srli_si128(_mm_andnot_si128(first6, pair), 2));
}

// Sixteen squeezed pixels (12 bytes each, top 4 bytes zero) as 48 contiguous bytes.
void store_48(std::uint8_t* out, __m128i a, __m128i b, __m128i c, __m128i d) {
    store128(out, _mm_or_si128(a, _mm_slli_si128(b, 12)));
    store128(out + 16, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    store128(out + 32, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
}

// SSSE3: byte shuffles that take the three wanted bytes of each pixel straight to their place
// in one of the three output vectors; swap reverses the channel order on the way.
struct ShuffleMask {
    alignas(16) std::int8_t bytes[16];
};

constexpr ShuffleMask pack_24_mask(int out_vector, int in_vector, bool swap) {
    ShuffleMask mask{};
    for (int j = 0; j < 16; ++j) {
        const int k = 16 * out_vector + j;
        const int pixel = k / 3;
        const int channel = swap ? 2 - k % 3 : k % 3;
        mask.bytes[j] =
            static_cast<std::int8_t>(pixel / 4 == in_vector ? pixel % 4 * 4 + channel : -128);
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

template <bool RedLow> struct Rgb16To24Kernel : KernelShape<2, 3, rgb16_expand_line<24>> {
    static void step16(std::uint8_t* out, const std::uint8_t* in) {
        const Expanded<RedLow> a(load128(in));
        const Expanded<RedLow> b(load128(in + 16));
        store_48(out, squeeze_24(a.low), squeeze_24(a.high), squeeze_24(b.low), squeeze_24(b.high));
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        store_12(out, squeeze_24(Expanded<RedLow>(load_half(in)).low));
    }
};

template <bool RedLow> struct Rgb16To24KernelSsse3 : KernelShape<2, 3, rgb16_expand_line<24>> {
    [[gnu::target("ssse3")]] static void step16(std::uint8_t* out, const std::uint8_t* in) {
        const Expanded<RedLow> a(load128(in));
        const Expanded<RedLow> b(load128(in + 16));
        shuffle_store_48<false>(out, a.low, a.high, b.low, b.high);
    }
    [[gnu::target("ssse3")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        shuffle_store_12<false>(out, Expanded<RedLow>(load_half(in)).low);
    }
};

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

template <bool RedLow> struct Rgb16To24KernelAvx2 : KernelShape<2, 3, rgb16_expand_line<24>> {
    [[gnu::target("avx2")]] static void step16(std::uint8_t* out, const std::uint8_t* in) {
        const Expanded16<RedLow> e(load256(in));
        shuffle_store_48_avx2<false>(out, e.low, e.high);
    }
    [[gnu::target("avx2")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        Rgb16To24KernelSsse3<RedLow>::step4(out, in);
    }
};

// ---- 32-bit framebuffers.

// Bytes 0 and 2 of each pixel exchanged, byte 3 cleared.
__m128i swap_outer_sse2(__m128i p) {
    const __m128i halves = _mm_shufflehi_epi16(_mm_shufflelo_epi16(p, 0xB1), 0xB1);
    return _mm_or_si128(_mm_and_si128(halves, splat(0x00FF00FF)), _mm_and_si128(p, splat(0xFF00)));
}

// Four pixels to four 15- or 16-bit values in 32-bit lanes, sign-extended from bit 15 so that a
// signed pack keeps them. The outer channels are masked to their top 5 bits and brought into place
// by one multiply-add, low channel times 1 and high channel times 0x400 (15-bit) or 0x800
// (16-bit), or the other way round when the display has the other order; green is masked and
// shifted on its own. Everything sits 3 bits high until the final shift.
template <int Depth, bool Swap> struct Pack16 {
    static constexpr std::uint32_t outer_mask = 0x00F800F8;
    static constexpr std::uint32_t high_weight = Depth == 15 ? 0x400 : 0x800;
    static constexpr std::uint32_t weights = Swap ? high_weight | 0x10000 : high_weight << 16 | 1;
    static constexpr std::uint32_t green_mask = Depth == 15 ? 0xF800 : 0xFC00;
    static constexpr int green_shift = Depth == 15 ? 3 : 2;

    static __m128i lanes(__m128i p) {
        const __m128i outer = _mm_madd_epi16(_mm_and_si128(p, splat(outer_mask)), splat(weights));
        const __m128i green = _mm_srli_epi32(_mm_and_si128(p, splat(green_mask)), green_shift);
        return _mm_srai_epi32(_mm_slli_epi32(_mm_or_si128(outer, green), 13), 16);
    }
    [[gnu::target("avx2")]] static __m256i lanes(__m256i p) {
        const __m256i outer =
            _mm256_madd_epi16(_mm256_and_si256(p, _mm256_set1_epi32(static_cast<int>(outer_mask))),
                              _mm256_set1_epi32(static_cast<int>(weights)));
        const __m256i green = _mm256_srli_epi32(
            _mm256_and_si256(p, _mm256_set1_epi32(static_cast<int>(green_mask))), green_shift);
        return _mm256_srai_epi32(_mm256_slli_epi32(_mm256_or_si256(outer, green), 13), 16);
    }
};

template <int Depth, bool Swap>
struct Rgb32To16Kernel : KernelShape<4, 2, rgb32_line<Depth, Swap>> {
    static __m128i pack8(const std::uint8_t* in) {
        return _mm_packs_epi32(Pack16<Depth, Swap>::lanes(load128(in)),
                               Pack16<Depth, Swap>::lanes(load128(in + 16)));
    }
    static void step16(std::uint8_t* out, const std::uint8_t* in) {
        store128(out, pack8(in));
        store128(out + 16, pack8(in + 32));
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        const __m128i lanes = Pack16<Depth, Swap>::lanes(load128(in));
        store_half(out, _mm_packs_epi32(lanes, lanes));
    }
};

// Eight pixels a vector; the 256-bit pack interleaves the 128-bit halves, which the final
// permutation puts back in order.
template <int Depth, bool Swap>
struct Rgb32To16KernelAvx2 : KernelShape<4, 2, rgb32_line<Depth, Swap>> {
    [[gnu::target("avx2")]] static __m256i lanes(const std::uint8_t* in) {
        return Pack16<Depth, Swap>::lanes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)));
    }
    [[gnu::target("avx2")]] static void step16(std::uint8_t* out, const std::uint8_t* in) {
        const __m256i packed = _mm256_packs_epi32(lanes(in), lanes(in + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        Rgb32To16Kernel<Depth, Swap>::step4(out, in);
    }
};

template <bool Swap> struct Rgb32To24Kernel : KernelShape<4, 3, rgb32_line<24, Swap>> {
    static __m128i squeeze(const std::uint8_t* in) {
        const __m128i p = load128(in);
        return squeeze_24(Swap ? swap_outer_sse2(p) : p);
    }
    static void step16(std::uint8_t* out, const std::uint8_t* in) {
        store_48(out, squeeze(in), squeeze(in + 16), squeeze(in + 32), squeeze(in + 48));
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) { store_12(out, squeeze(in)); }
};

template <bool Swap> struct Rgb32To24KernelSsse3 : KernelShape<4, 3, rgb32_line<24, Swap>> {
    [[gnu::target("ssse3")]] static void step16(std::uint8_t* out, const std::uint8_t* in) {
        shuffle_store_48<Swap>(out, load128(in), load128(in + 16), load128(in + 32),
                               load128(in + 48));
    }
    [[gnu::target("ssse3")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        shuffle_store_12<Swap>(out, load128(in));
    }
};

template <bool Swap> struct Rgb32To24KernelAvx2 : KernelShape<4, 3, rgb32_line<24, Swap>> {
    [[gnu::target("avx2")]] static void step16(std::uint8_t* out, const std::uint8_t* in) {
        shuffle_store_48_avx2<Swap>(out, load256(in), load256(in + 32));
    }
    [[gnu::target("avx2")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        Rgb32To24KernelSsse3<Swap>::step4(out, in);
    }
};

struct Rgb32SwapKernel : KernelShape<4, 4, rgb32_line<32, true>> {
    static void step16(std::uint8_t* out, const std::uint8_t* in) {
        for (int k = 0; k < 64; k += 16) {
            store128(out + k, swap_outer_sse2(load128(in + k)));
        }
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        store128(out, swap_outer_sse2(load128(in)));
    }
};

constexpr ShuffleMask swap_outer_mask = {
    {2, 1, 0, -128, 6, 5, 4, -128, 10, 9, 8, -128, 14, 13, 12, -128}};

struct Rgb32SwapKernelSsse3 : KernelShape<4, 4, rgb32_line<32, true>> {
    [[gnu::target("ssse3")]] static void step16(std::uint8_t* out, const std::uint8_t* in) {
        for (int k = 0; k < 64; k += 16) {
            store128(out + k, shuffle(load128(in + k), swap_outer_mask));
        }
    }
    [[gnu::target("ssse3")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        store128(out, shuffle(load128(in), swap_outer_mask));
    }
};

// ---- Palettised framebuffers: the 256 palette entries are converted once per call into display
// pixels, then each line is table lookups, eight indices fetched at a time. Storing each pixel on
// its own beats assembling wider words: the loads and stores then overlap.

template <int Depth>
void lookup_line(std::uint8_t* out, const std::uint8_t* in, int width, const LineInput& input) {
    const std::uint32_t* table = input.palette;
    constexpr int size = Depth == 15 ? 2 : Depth / 8;
    // A 24-bit pixel goes out as a 32-bit word whose fourth byte the next pixel overwrites, so
    // the grouped loop stops while at least one pixel follows it.
    const int end = size == 3 ? width - 1 : width;
    int i = 0;
    for (; i + 8 <= end; i += 8) {
        const std::uint64_t indices = load64(in + i);
        for (int k = 0; k < 8; ++k) {
            const std::uint32_t pixel = table[(indices >> (8 * k)) & 0xFF];
            if constexpr (size == 2) {
                store16(out + 2 * (i + k), pixel);
            } else {
                store32(out + size * (i + k), pixel);
            }
        }
    }
    store_pixels<Depth>(out + i * size, width - i, [=](int j) { return table[in[i + j]]; });
}

template <int Depth, bool Swap>
void run_palette(void* destination, std::int32_t destination_pitch) {
    const ScreenState* screen = current_screen();
    if (screen == nullptr) {
        return;
    }
    std::uint32_t pixels[palette_size];
    for (int i = 0; i < palette_size; ++i) {
        pixels[i] = display_pixel<Depth, Swap>(screen->device_palette[i]);
    }
    LineInput input = line_input(*screen);
    input.palette = pixels;
    convert_dirty_lines(*screen, destination, destination_pitch, lookup_line<Depth>, input);
}

// The 16-bit to 24- and 32-bit members serve both orders: the order is the one the expansion
// tables were last selected for.
template <template <bool> class Sse2, template <bool> class Ssse3, template <bool> class Avx2>
void run_expanding(void* destination, std::int32_t destination_pitch) {
    if (expand_tables_red_low()) {
        run_vector<Sse2<true>, Ssse3<true>, Avx2<true>>(destination, destination_pitch);
    } else {
        run_vector<Sse2<false>, Ssse3<false>, Avx2<false>>(destination, destination_pitch);
    }
}

} // namespace

void convert_pal_to_15_rl_mmx(void* d, std::int32_t p) {
    run_palette<15, false>(d, p);
}
void convert_pal_to_16_rl_mmx(void* d, std::int32_t p) {
    run_palette<16, false>(d, p);
}
void convert_pal_to_24_rl_mmx(void* d, std::int32_t p) {
    run_palette<24, false>(d, p);
}
void convert_pal_to_32_rl_mmx(void* d, std::int32_t p) {
    run_palette<32, false>(d, p);
}
void convert_pal_to_15_bl_mmx(void* d, std::int32_t p) {
    run_palette<15, true>(d, p);
}
void convert_pal_to_16_bl_mmx(void* d, std::int32_t p) {
    run_palette<16, true>(d, p);
}
void convert_pal_to_24_bl_mmx(void* d, std::int32_t p) {
    run_palette<24, true>(d, p);
}
void convert_pal_to_32_bl_mmx(void* d, std::int32_t p) {
    run_palette<32, true>(d, p);
}

void convert_16_to_15_rl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb16To16Kernel<Rgb16To15Rl>, Rgb16To16Kernel<Rgb16To15Rl>,
               Rgb16To16KernelAvx2<Rgb16To15Rl>>(d, p);
}
void convert_16_to_16_rl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb16To16Kernel<Rgb16To16Rl>, Rgb16To16Kernel<Rgb16To16Rl>,
               Rgb16To16KernelAvx2<Rgb16To16Rl>>(d, p);
}
void convert_16_to_15_bl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb16To16Kernel<Rgb16To15Bl>, Rgb16To16Kernel<Rgb16To15Bl>,
               Rgb16To16KernelAvx2<Rgb16To15Bl>>(d, p);
}
void convert_16_to_24_mmx(void* d, std::int32_t p) {
    run_expanding<Rgb16To24Kernel, Rgb16To24KernelSsse3, Rgb16To24KernelAvx2>(d, p);
}
void convert_16_to_32_mmx(void* d, std::int32_t p) {
    run_expanding<Rgb16To32Kernel, Rgb16To32Kernel, Rgb16To32KernelAvx2>(d, p);
}

void convert_32_to_15_rl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb32To16Kernel<15, true>, Rgb32To16Kernel<15, true>, Rgb32To16KernelAvx2<15, true>>(
        d, p);
}
void convert_32_to_16_rl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb32To16Kernel<16, true>, Rgb32To16Kernel<16, true>, Rgb32To16KernelAvx2<16, true>>(
        d, p);
}
void convert_32_to_15_bl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb32To16Kernel<15, false>, Rgb32To16Kernel<15, false>,
               Rgb32To16KernelAvx2<15, false>>(d, p);
}
void convert_32_to_16_bl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb32To16Kernel<16, false>, Rgb32To16Kernel<16, false>,
               Rgb32To16KernelAvx2<16, false>>(d, p);
}
void convert_32_to_24_rl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb32To24Kernel<true>, Rgb32To24KernelSsse3<true>, Rgb32To24KernelAvx2<true>>(d, p);
}
void convert_32_to_24_bl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb32To24Kernel<false>, Rgb32To24KernelSsse3<false>, Rgb32To24KernelAvx2<false>>(d,
                                                                                          p);
}
void convert_32_to_32_rl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb32SwapKernel, Rgb32SwapKernelSsse3>(d, p);
}

} // namespace zered

#endif
