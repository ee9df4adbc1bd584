// What a palette change costs the palettised converters, and the ways of looking pixels up that
// were weighed against each other:
// - the build of the palette tables (the 256 display pixels, and the two-pixel table) against the
//   conversion of one 640x480 frame;
// - at the AVX2 level, the two-pixel table (palette kept) against single lookups (the palette
//   changed before every frame, so the table is never built), on frames of random indices and on
//   frames whose indices come in runs of 8, as text and filled shapes make them;
// - single lookups against AVX2 gathers (vpgatherdd), a loop of this program's own.
// Contenders of a group run interleaved over the rounds; figures are medians with the fastest and
// slowest round.
//
//   palette_bench [--rounds=N]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <immintrin.h>

#include "gfx/blit/convert.h"
#include "gfx/blit/palette_tables.h"
#include "gfx/core/block_ops.h"
#include "gfx/core/draw_context.h"
#include "gfx/core/screen_state.h"
#include "interleaved_rounds.h"

namespace {

using namespace zered;
using interleaved_rounds::Contender;

constexpr int width = 640, height = 480;

void group(const char* title, const std::vector<Contender>& contenders, int rounds) {
    interleaved_rounds::group(title, contenders, rounds, width * height);
}

[[gnu::target("avx2")]] void gather_frame(std::uint8_t* out, const std::uint8_t* in,
                                          const std::uint32_t* table) {
    for (int i = 0; i < width * height; i += 8) {
        const __m256i indices =
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i),
                            _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), indices, 4));
    }
}

void scalar_frame(std::uint8_t* out, const std::uint8_t* in, const std::uint32_t* table) {
    for (int i = 0; i < width * height; ++i) {
        std::memcpy(out + 4 * i, &table[in[i]], 4);
    }
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 15;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--rounds=", 9) == 0) rounds = std::max(1, std::atoi(argv[i] + 9));
    std::printf("Vector level %d (0 SSE2, 1 SSSE3, 2 AVX2, 3 AVX-512 with VBMI); %d rounds; "
                "frames of %dx%d.\n", vector_level_detected(), rounds, width, height);

    std::mt19937 random(3);
    std::vector<std::uint8_t> noise(width * height), runs(width * height), out(width * height * 4);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    for (int i = 0; i < width * height; ++i)
        runs[i] = static_cast<std::uint8_t>(i % width / 8 + i / width / 8 * 3);
    ScreenState screen;
    screen.depth = 8;
    screen.width = width;
    screen.height = height;
    screen.bytes_per_pixel = 1;
    screen.pitch = width;
    screen.scanline_size = 1;
    screen.dirty.assign(height, 1);
    for (auto& e : screen.device_palette) e = random() & 0xFFFFFF;
    set_current_screen(&screen);
    select_depth_primitives(1);
    unsigned changes = 0;
    const auto change_palette = [&] { screen.device_palette[changes++ & 0xFF] ^= 0x010101; };

    for (const int depth : {16, 32}) {
        const ConvertFn convert = select_converter(depth, false);
        const int pitch = width * depth / 8;
        const auto frame_at = [&](int level) {
            limit_vector_level(level);
            convert(out.data(), pitch);
            limit_vector_level(vector_level_highest);
        };
        group(("Palette tables of a " + std::to_string(depth) +
               "-bit display against one frame, at the processor's level").c_str(),
              {{"convert a frame", [&] { screen.visible_fb = noise.data(); frame_at(vector_level_highest); }},
               {"256-entry tables after a change", [&] {
                    change_palette();
                    PaletteTableLease lease(screen, depth, true);
                    lease.tables_with_planes();
                }},
               {"256-entry and two-pixel tables", [&] {
                    change_palette();
                    { PaletteTableLease(screen, depth, true); } // the change is seen here
                    PaletteTableLease lease(screen, depth, true);
                    lease.pairs(true);
                }}},
              rounds);
        for (const auto& [content, pixels] : {std::pair{"random indices", &noise},
                                              std::pair{"runs of 8 indices", &runs}}) {
            group(("AVX2 level, " + std::to_string(depth) + "-bit display, " + content).c_str(),
                  {{"single lookups (palette changes)", [&, p = pixels] {
                        screen.visible_fb = p->data();
                        change_palette();
                        frame_at(vector_level_avx2);
                    }},
                   {"two-pixel table (palette kept)", [&, p = pixels] {
                        screen.visible_fb = p->data();
                        frame_at(vector_level_avx2);
                    }}},
                  rounds);
        }
    }
    if (vector_level_detected() >= vector_level_avx2) {
        group("Lookups of 32-bit pixels, random indices: scalar loads against AVX2 gathers",
              {{"scalar loads", [&] { scalar_frame(out.data(), noise.data(), screen.device_palette.data()); }},
               {"vpgatherdd", [&] { gather_frame(out.data(), noise.data(), screen.device_palette.data()); }}},
              rounds);
    }
    set_current_screen(nullptr);
    return 0;
}
