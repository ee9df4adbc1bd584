// Palettised lines by AVX-512 VBMI byte permutes. A plane of the palette tables (one byte of
// every index's display pixel) is 256 bytes, four 64-byte vectors: one two-source permute looks
// up 64 indices in the lower two (index bits 0-6), one in the upper two, and bit 7 of each index
// picks between them. The planes of 64 pixels are then interleaved into display pixels.
#include "gfx/blit/palette_lines.h"
#include "gfx/blit/palette_tables.h"
#include "gfx/blit/vector_kernels.h"

#if defined(__SSE2__)

namespace zered {

namespace {

using namespace vec;

struct ByteIndices {
    alignas(64) std::uint8_t bytes[64];
};

// The unpacks that interleave the planes work within each 128-bit lane, so the indices are put
// in lane order first: for 2-byte pixels lane L holds pixels 8L to 8L + 7 and 32 + 8L to
// 32 + 8L + 7 (the low and high unpack's), for 4-byte pixels pixels 16j + 4L to 16j + 4L + 3 in
// its bytes 4j to 4j + 3 (the four unpacks' of the second level).
constexpr ByteIndices lane_order(int size) {
    ByteIndices order{};
    for (int lane = 0; lane < 4; ++lane) {
        for (int b = 0; b < 16; ++b) {
            const int pixel = size == 2 ? (b < 8 ? 8 * lane + b : 32 + 8 * lane + b - 8)
                                        : 16 * (b / 4) + 4 * lane + b % 4;
            order.bytes[16 * lane + b] = static_cast<std::uint8_t>(pixel);
        }
    }
    return order;
}

// 24-bit output: byte j of output vector v is channel (64v + j) % 3 of pixel (64v + j) / 3. The
// first permute takes channels 0 and 1 from planes 0 and 1 (the second source from index 64), the
// second puts channel 2 in from plane 2 where mask_channel2 is set.
struct Pack24 {
    ByteIndices from01[3], from2[3];
    std::uint64_t channel2[3];
};

constexpr Pack24 pack24_indices() {
    Pack24 p{};
    for (int v = 0; v < 3; ++v) {
        for (int j = 0; j < 64; ++j) {
            const int k = 64 * v + j;
            const int pixel = k / 3;
            const int channel = k % 3;
            p.from01[v].bytes[j] = static_cast<std::uint8_t>(channel == 1 ? 64 + pixel : pixel);
            p.from2[v].bytes[j] = static_cast<std::uint8_t>(pixel);
            if (channel == 2) {
                p.channel2[v] |= std::uint64_t{1} << j;
            }
        }
    }
    return p;
}

constexpr ByteIndices lane_order_2 = lane_order(2);
constexpr ByteIndices lane_order_4 = lane_order(4);
constexpr Pack24 pack24 = pack24_indices();

[[gnu::target(ZERED_TARGET_AVX512)]] inline __m512i load_indices(const ByteIndices& b) {
    return _mm512_load_si512(reinterpret_cast<const __m512i*>(b.bytes));
}

template <int Depth>
[[gnu::target(ZERED_TARGET_AVX512)]] void permute_line(std::uint8_t* out, const std::uint8_t* in,
                                                      int width, const LineInput& input) {
    constexpr int size = Depth == 15 ? 2 : Depth / 8;
    constexpr int plane_count = size == 2 ? 2 : 3; // byte 3 of a 32-bit pixel is zero
    const PaletteTables& tables = *input.palette_tables;
    __m512i plane[plane_count][4];
    for (int k = 0; k < plane_count; ++k) {
        for (int q = 0; q < 4; ++q) {
            plane[k][q] = _mm512_load_si512(reinterpret_cast<const __m512i*>(tables.planes[k]) + q);
        }
    }
    const __m512i order = load_indices(size == 2 ? lane_order_2 : lane_order_4);
    int i = 0;
    for (; i + 64 <= width; i += 64) {
        __m512i x = load512(in + i);
        if constexpr (size != 3) {
            x = permute_bytes(order, x);
        }
        const __mmask64 upper = _mm512_movepi8_mask(x);
        __m512i p[plane_count];
        for (int k = 0; k < plane_count; ++k) {
            const __m512i low = _mm512_permutex2var_epi8(plane[k][0], x, plane[k][1]);
            const __m512i high = _mm512_permutex2var_epi8(plane[k][2], x, plane[k][3]);
            p[k] = _mm512_mask_blend_epi8(upper, low, high);
        }
        std::uint8_t* o = out + i * size;
        if constexpr (size == 2) {
            store512(o, _mm512_unpacklo_epi8(p[0], p[1]));
            store512(o + 64, _mm512_unpackhi_epi8(p[0], p[1]));
        } else if constexpr (size == 4) {
            const __m512i zero = _mm512_setzero_si512();
            const __m512i g0 = _mm512_unpacklo_epi8(p[0], p[1]);
            const __m512i g1 = _mm512_unpackhi_epi8(p[0], p[1]);
            const __m512i h0 = _mm512_unpacklo_epi8(p[2], zero);
            const __m512i h1 = _mm512_unpackhi_epi8(p[2], zero);
            store512(o, _mm512_unpacklo_epi16(g0, h0));
            store512(o + 64, _mm512_unpackhi_epi16(g0, h0));
            store512(o + 128, _mm512_unpacklo_epi16(g1, h1));
            store512(o + 192, _mm512_unpackhi_epi16(g1, h1));
        } else {
            for (int v = 0; v < 3; ++v) {
                const __m512i two = _mm512_permutex2var_epi8(p[0], load_indices(pack24.from01[v]), p[1]);
                store512(o + 64 * v, _mm512_mask_permutexvar_epi8(two, pack24.channel2[v],
                                                                  load_indices(pack24.from2[v]),
                                                                  p[2]));
            }
        }
    }
    lookup_palette_line<Depth>(out + i * size, in + i, width - i, input);
}

} // namespace

LineFn permute_palette_line(int depth) {
    switch (depth) {
    case 15:
    case 16:
        return permute_line<16>;
    case 24:
        return permute_line<24>;
    default:
        return permute_line<32>;
    }
}

} // namespace zered

#endif
