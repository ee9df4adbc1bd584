// The vector members for 32-bit framebuffers: to 15- and 16-bit displays by one multiply-add per
// pair of channels, to 24-bit displays by byte shuffles, to red-low 32-bit displays by swapping
// the outer bytes.
#include "gfx/blit/convert.h"
#include "gfx/blit/vector_kernels.h"

#if defined(__SSE2__)

namespace zered {

namespace {

using namespace vec;

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
    // AVX2 brings the three channels into place with two multiply-adds instead: bytes times
    // byte weights summed in pairs (blue and green in the low word, red in the high), then the
    // two words weighted and summed. The channel that ends lowest gets 1, green 32 or 64 and the
    // highest 0x400 or 0x800, split between the two steps so that every byte weight stays below
    // 128. The values stay below 0x10000 after the shift, which the unsigned pack keeps.
    static constexpr int green_weight = Depth == 15 ? 32 : 64;
    static constexpr std::uint32_t byte_weights =
        Swap ? 1u << 16 | 1u << 8 | 32u : 1u << 16 | static_cast<std::uint32_t>(green_weight) << 8 | 1u;
    static constexpr std::uint32_t word_weights =
        Swap ? 1u << 16 | static_cast<std::uint32_t>(green_weight) : high_weight << 16 | 1u;
    static constexpr std::uint32_t channel_mask = Depth == 15 ? 0x00F8F8F8 : 0x00F8FCF8;
    [[gnu::target("avx2")]] static __m256i lanes(__m256i p) {
        const __m256i channels =
            _mm256_and_si256(p, _mm256_set1_epi32(static_cast<int>(channel_mask)));
        const __m256i words = _mm256_maddubs_epi16(
            channels, _mm256_set1_epi32(static_cast<int>(byte_weights)));
        const __m256i sum = _mm256_madd_epi16(words, _mm256_set1_epi32(static_cast<int>(word_weights)));
        return _mm256_srli_epi32(sum, 3);
    }
};

template <int Depth, bool Swap>
struct Rgb32To16Kernel : KernelShape<4, 2, rgb32_line<Depth, Swap>> {
    static __m128i pack8(const std::uint8_t* in) {
        return _mm_packs_epi32(Pack16<Depth, Swap>::lanes(load128(in)),
                               Pack16<Depth, Swap>::lanes(load128(in + 16)));
    }
    static void step(std::uint8_t* out, const std::uint8_t* in) {
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
    [[gnu::target("avx2")]] static void step(std::uint8_t* out, const std::uint8_t* in) {
        const __m256i packed = _mm256_packus_epi32(lanes(in), lanes(in + 32));
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
    static void step(std::uint8_t* out, const std::uint8_t* in) {
        store_48(out, squeeze(in), squeeze(in + 16), squeeze(in + 32), squeeze(in + 48));
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) { store_12(out, squeeze(in)); }
};

template <bool Swap> struct Rgb32To24KernelSsse3 : KernelShape<4, 3, rgb32_line<24, Swap>> {
    [[gnu::target("ssse3")]] static void step(std::uint8_t* out, const std::uint8_t* in) {
        shuffle_store_48<Swap>(out, load128(in), load128(in + 16), load128(in + 32),
                               load128(in + 48));
    }
    [[gnu::target("ssse3")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        shuffle_store_12<Swap>(out, load128(in));
    }
};

template <bool Swap> struct Rgb32To24KernelAvx2 : KernelShape<4, 3, rgb32_line<24, Swap>> {
    [[gnu::target("avx2")]] static void step(std::uint8_t* out, const std::uint8_t* in) {
        shuffle_store_48_avx2<Swap>(out, load256(in), load256(in + 32));
    }
    [[gnu::target("avx2")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        Rgb32To24KernelSsse3<Swap>::step4(out, in);
    }
};

struct Rgb32SwapKernel : KernelShape<4, 4, rgb32_line<32, true>> {
    static void step(std::uint8_t* out, const std::uint8_t* in) {
        for (int k = 0; k < 64; k += 16) {
            store128(out + k, swap_outer_sse2(load128(in + k)));
        }
    }
    static void step4(std::uint8_t* out, const std::uint8_t* in) {
        store128(out, swap_outer_sse2(load128(in)));
    }
};

constexpr ShuffleMask swap_outer_mask = {{2, 1, 0, zero_byte, 6, 5, 4, zero_byte, 10, 9, 8,
                                          zero_byte, 14, 13, 12, zero_byte}};

struct Rgb32SwapKernelSsse3 : KernelShape<4, 4, rgb32_line<32, true>> {
    [[gnu::target("ssse3")]] static void step(std::uint8_t* out, const std::uint8_t* in) {
        for (int k = 0; k < 64; k += 16) {
            store128(out + k, shuffle(load128(in + k), swap_outer_mask));
        }
    }
    [[gnu::target("ssse3")]] static void step4(std::uint8_t* out, const std::uint8_t* in) {
        store128(out, shuffle(load128(in), swap_outer_mask));
    }
};

template <int Depth, bool Swap> void run_32_to_16(void* destination, std::int32_t pitch) {
    run_vector<Rgb32To16Kernel<Depth, Swap>, Rgb32To16Kernel<Depth, Swap>,
               Rgb32To16KernelAvx2<Depth, Swap>>(destination, pitch);
}

template <bool Swap> void run_32_to_24(void* destination, std::int32_t pitch) {
    run_vector<Rgb32To24Kernel<Swap>, Rgb32To24KernelSsse3<Swap>, Rgb32To24KernelAvx2<Swap>>(
        destination, pitch);
}

} // namespace

void convert_32_to_15_rl_mmx(void* d, std::int32_t p) {
    run_32_to_16<15, true>(d, p);
}
void convert_32_to_16_rl_mmx(void* d, std::int32_t p) {
    run_32_to_16<16, true>(d, p);
}
void convert_32_to_15_bl_mmx(void* d, std::int32_t p) {
    run_32_to_16<15, false>(d, p);
}
void convert_32_to_16_bl_mmx(void* d, std::int32_t p) {
    run_32_to_16<16, false>(d, p);
}
void convert_32_to_24_rl_mmx(void* d, std::int32_t p) {
    run_32_to_24<true>(d, p);
}
void convert_32_to_24_bl_mmx(void* d, std::int32_t p) {
    run_32_to_24<false>(d, p);
}
void convert_32_to_32_rl_mmx(void* d, std::int32_t p) {
    run_vector<Rgb32SwapKernel, Rgb32SwapKernelSsse3>(d, p);
}

} // namespace zered

#endif
