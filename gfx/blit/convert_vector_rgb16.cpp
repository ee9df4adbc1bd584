// The vector members for 16-bit 5:6:5 framebuffers: to 15- and 16-bit displays in 16-bit lanes,
// to 24- and 32-bit displays by computing the expansion tables' colours instead of looking them up.
#include "gfx/blit/convert.h"
#include "gfx/blit/vector_kernels.h"

#if defined(__SSE2__)

namespace zered {

namespace {

using namespace vec;

// ---- 16-bit framebuffers to 15- and 16-bit displays: eight pixels a vector, 16-bit lanes.

// Each format twice, for eight pixels (SSE2) and sixteen (AVX2), the same steps. (AVX-512's
// wider steps measured slower here, as for every member that is not a lookup or a 24-bit packing.)
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
    static void step(std::uint8_t* out, const std::uint8_t* in) {
        store128(out, Format::apply(load128(in)));
        store128(out + 16, Format::apply(load128(in + 16)));
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        store_half(out, Format::apply(load_half(in)));
    }
};

template <class Format>
struct Rgb16To16KernelAvx2 : KernelShape<2, 2, rgb16_line<Format::plain>> {
    [[gnu::target("avx2")]] static void step(std::uint8_t* out, const std::uint8_t* in) {
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

// The same for thirty-two pixels: the 64-bit quarters go in the order 0, 4, 1, 5, 2, 6, 3, 7, so
// that low holds pixels 0-15 and high 16-31.
template <bool RedLow> struct Expanded32 {
    __m512i low, high;
    [[gnu::target(ZERED_TARGET_AVX512)]] explicit Expanded32(__m512i q) {
        q = _mm512_maskz_permutexvar_epi64(0xFF, _mm512_setr_epi64(0, 4, 1, 5, 2, 6, 3, 7), q);
        const __m512i blue = _mm512_and_si512(_mm512_slli_epi16(q, 3), splat16x4(0x00F8));
        const __m512i red = _mm512_and_si512(_mm512_srli_epi16(q, 8), splat16x4(0x00F8));
        const __m512i green = _mm512_and_si512(_mm512_slli_epi16(q, 5), splat16x4(0xFC00));
        const __m512i byte0 = RedLow ? red : blue;
        const __m512i byte2 = RedLow ? blue : red;
        const __m512i bytes01 = _mm512_or_si512(byte0, green);
        low = _mm512_unpacklo_epi16(bytes01, byte2);
        high = _mm512_unpackhi_epi16(bytes01, byte2);
    }
};

template <bool RedLow> struct Rgb16To32Kernel : KernelShape<2, 4, rgb16_expand_line<32>> {
    static void step(std::uint8_t* out, const std::uint8_t* in) {
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
    [[gnu::target("avx2")]] static void step(std::uint8_t* out, const std::uint8_t* in) {
        const Expanded16<RedLow> e(load256(in));
        store256(out, e.low);
        store256(out + 32, e.high);
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        Rgb16To32Kernel<RedLow>::step4(out, in);
    }
};

template <bool RedLow> struct Rgb16To24Kernel : KernelShape<2, 3, rgb16_expand_line<24>> {
    static void step(std::uint8_t* out, const std::uint8_t* in) {
        const Expanded<RedLow> a(load128(in));
        const Expanded<RedLow> b(load128(in + 16));
        store_48(out, squeeze_24(a.low), squeeze_24(a.high), squeeze_24(b.low), squeeze_24(b.high));
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        store_12(out, squeeze_24(Expanded<RedLow>(load_half(in)).low));
    }
};

template <bool RedLow> struct Rgb16To24KernelSsse3 : KernelShape<2, 3, rgb16_expand_line<24>> {
    [[gnu::target("ssse3")]] static void step(std::uint8_t* out, const std::uint8_t* in) {
        const Expanded<RedLow> a(load128(in));
        const Expanded<RedLow> b(load128(in + 16));
        shuffle_store_48<false>(out, a.low, a.high, b.low, b.high);
    }
    [[gnu::target("ssse3")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        shuffle_store_12<false>(out, Expanded<RedLow>(load_half(in)).low);
    }
};

template <bool RedLow> struct Rgb16To24KernelAvx2 : KernelShape<2, 3, rgb16_expand_line<24>> {
    [[gnu::target("avx2")]] static void step(std::uint8_t* out, const std::uint8_t* in) {
        const Expanded16<RedLow> e(load256(in));
        shuffle_store_48_avx2<false>(out, e.low, e.high);
    }
    [[gnu::target("avx2")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        Rgb16To24KernelSsse3<RedLow>::step4(out, in);
    }
};

template <bool RedLow>
struct Rgb16To24KernelAvx512 : KernelShape<2, 3, rgb16_expand_line<24>, 64> {
    [[gnu::target(ZERED_TARGET_AVX512)]] static void step(std::uint8_t* out,
                                                          const std::uint8_t* in) {
        const Expanded32<RedLow> a(load512(in));
        const Expanded32<RedLow> b(load512(in + 64));
        permute_store_192<false>(out, a.low, a.high, b.low, b.high);
    }
    [[gnu::target("ssse3")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        Rgb16To24KernelSsse3<RedLow>::step4(out, in);
    }
};

// The 16-bit to 24- and 32-bit members serve both orders: the order is the one the expansion
// tables were last selected for.
template <template <bool> class Sse2, template <bool> class Ssse3, template <bool> class Avx2,
          template <bool> class Avx512>
void run_expanding(void* destination, std::int32_t destination_pitch) {
    if (expand_tables_red_low()) {
        run_vector<Sse2<true>, Ssse3<true>, Avx2<true>, Avx512<true>>(destination,
                                                                      destination_pitch);
    } else {
        run_vector<Sse2<false>, Ssse3<false>, Avx2<false>, Avx512<false>>(destination,
                                                                          destination_pitch);
    }
}

template <class Format> void run_16_to_16(void* destination, std::int32_t destination_pitch) {
    run_vector<Rgb16To16Kernel<Format>, Rgb16To16Kernel<Format>, Rgb16To16KernelAvx2<Format>>(
        destination, destination_pitch);
}

} // namespace

void convert_16_to_15_rl_mmx(void* d, std::int32_t p) {
    run_16_to_16<Rgb16To15Rl>(d, p);
}
void convert_16_to_16_rl_mmx(void* d, std::int32_t p) {
    run_16_to_16<Rgb16To16Rl>(d, p);
}
void convert_16_to_15_bl_mmx(void* d, std::int32_t p) {
    run_16_to_16<Rgb16To15Bl>(d, p);
}
void convert_16_to_24_mmx(void* d, std::int32_t p) {
    run_expanding<Rgb16To24Kernel, Rgb16To24KernelSsse3, Rgb16To24KernelAvx2,
                  Rgb16To24KernelAvx512>(d, p);
}
void convert_16_to_32_mmx(void* d, std::int32_t p) {
    run_expanding<Rgb16To32Kernel, Rgb16To32Kernel, Rgb16To32KernelAvx2, Rgb16To32KernelAvx2>(d,
                                                                                             p);
}

} // namespace zered

#endif
