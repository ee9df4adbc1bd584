// The block copy, the byte fill, the span fills and the blend fill a screen installs, against the
// C library's memcpy and memset of the same bytes, on whole frames worked line by line as the
// screen layer does, at 1, 2 and 4 bytes a pixel.
//
// "installed" is what a screen of that depth really calls: copy_bytes (copy_pixels is the same
// call), and the drawing context's fill_span after the screen set-up's own selection
// (select_depth_primitives through context_get) for a screen with the processor's vector routines.
// The other contenders are the candidates the choice was made from: the SSE2 and AVX2 paths of
// the span fills (through the vector-level cap), the plain loops, and for the copy and the byte
// fill the vector loops they once used.
//
// Contenders of a group run interleaved (A B C A B C ...) over several rounds on the same
// buffers; the summary gives each one's median time per frame, the spread (fastest and slowest
// round) and the ratio to the group's anchor, "unresolved" when the two spreads overlap.
//
// It times itself (a steady clock, each sample whole frames for at least --min-ms milliseconds),
// so that the Windows build needs no benchmark library: it runs under Wine and on Windows too.
//
//   framebuffer_bench [--rounds=N] [--min-ms=N] [--filter=TEXT]

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "gfx/core/block_ops.h"
#include "gfx/core/draw_context.h"
#include "gfx/core/framebuffer.h"

namespace {

using namespace zered;

struct Frame {
    const char* name;
    int width, height;
};
constexpr Frame frames[] = {{"640x480", 640, 480}, {"1920x1080", 1920, 1080}};

// A source and a destination frame of 4 bytes a pixel, 16-byte aligned like the screen's pages.
struct Buffers {
    PageBuffer source, destination;
    explicit Buffers(std::size_t bytes)
        : source(allocate_page(bytes)), destination(allocate_page(bytes)) {
        std::mt19937 random(7);
        for (std::size_t i = 0; i < bytes; ++i) {
            source.pixels[i] = static_cast<std::uint8_t>(random());
            destination.pixels[i] = static_cast<std::uint8_t>(random());
        }
    }
};

Buffers& buffers_for(const Frame& frame) {
    static std::map<int, Buffers> all;
    const auto bytes = static_cast<std::size_t>(frame.width) * frame.height * 4;
    return all.try_emplace(frame.width, bytes).first->second;
}

// The span fill a screen of the given bytes per pixel installs for colour, taken from the drawing
// context after the set-up's own selection. The screen has the processor's vector routines and
// alpha primitives: an opaque colour (top byte 0xFF) gets the solid fill, a translucent one the
// blend. Its pixels are never drawn.
FillSpanFn installed_fill(int bytes_per_pixel, std::uint32_t colour) {
    static int serial = 2'000'000; // apart from any serial the set-up hands out
    ScreenState screen;
    screen.serial = ++serial;
    framebuffer_set_geometry(screen, 8, 1, bytes_per_pixel * 8);
    allocate_pages(screen, 1);
    allocate_dirty_flags(screen);
    screen.flags = STATE_ALPHA_PRIMITIVES;
    screen.scanline_size = 1;
    set_current_screen(&screen);
    DrawContext& context = context_get();
    context_pick_primitives(context, colour);
    const FillSpanFn fill = context.fill_span;
    set_current_screen(nullptr);
    return fill;
}

#if defined(__SSE2__)
// The vector copy loops the installed copy is measured against: aligned stores, four vectors a
// step, the rest by memcpy.
void copy_sse2(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64)
        for (std::size_t k = 0; k < 64; k += 16)
            _mm_store_si128(reinterpret_cast<__m128i*>(d + i + k),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + k)));
    std::memcpy(d + i, s + i, n - i);
}
[[gnu::target("avx2")]] void copy_avx2(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    std::size_t i = 0;
    for (; i + 128 <= n; i += 128)
        for (std::size_t k = 0; k < 128; k += 32)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i + k),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + k)));
    std::memcpy(d + i, s + i, n - i);
}
#endif

// One line's work: destination line, source line, pixels, line bytes.
using LineFn = void (*)(std::uint8_t* d, const std::uint8_t* s, int pixels, std::size_t bytes);

struct Contender {
    std::string name;
    LineFn line;
    int level = vector_level_highest; // the vector-level cap while it runs
};

struct Group {
    std::string name;
    int bytes_per_pixel;
    std::vector<Contender> contenders; // the first is the anchor
};

constexpr std::uint32_t colour = 0x12345678; // no byte repeats: nothing like a memset
constexpr std::uint32_t translucent = 0x80C06020; // so that the blends do their work

// Set before the benchmarks run; the lines below call through them.
FillSpanFn installed_span[5];
FillSpanFn installed_blend;

std::vector<Group> make_groups() {
    const LineFn memcpy_line = [](auto d, auto s, int, std::size_t n) { std::memcpy(d, s, n); };
    const LineFn memset_line = [](auto d, auto, int, std::size_t n) { std::memset(d, 0x5A, n); };
    std::vector<Group> groups;
    for (const int size : {1, 2, 4}) {
        Group copy{"copy " + std::to_string(size * 8), size,
                   {{"memcpy", memcpy_line},
                    {"installed", [](auto d, auto s, int, std::size_t n) { copy_bytes(d, s, n); }}}};
#if defined(__SSE2__)
        copy.contenders.push_back({"sse2 loop", [](auto d, auto s, int, std::size_t n) {
                                       copy_sse2(d, s, n);
                                   }});
        if (vector_level_detected() >= vector_level_avx2)
            copy.contenders.push_back({"avx2 loop", [](auto d, auto s, int, std::size_t n) {
                                           copy_avx2(d, s, n);
                                       }});
#endif
        groups.push_back(copy);
    }
    // The byte fill of an 8-bit screen, and the vector span fills' loop on the same bytes.
    groups.push_back(
        {"fill 8",
         1,
         {{"memset", memset_line},
          {"installed", [](auto d, auto, int p, std::size_t) { installed_span[1](d, 0x5A, p); }},
          {"sse2 loop", [](auto d, auto, int p, std::size_t) { fill8_vector(d, 0x5A, p); },
           vector_level_sse2},
          {"avx2 loop", [](auto d, auto, int p, std::size_t) { fill8_vector(d, 0x5A, p); },
           vector_level_avx2}}});
    groups.push_back(
        {"fill 16",
         2,
         {{"memset", memset_line},
          {"installed", [](auto d, auto, int p, std::size_t) { installed_span[2](d, colour, p); }},
          {"sse2", [](auto d, auto, int p, std::size_t) { fill16_vector(d, colour, p); },
           vector_level_sse2},
          {"plain", [](auto d, auto, int p, std::size_t) { fill16_plain(d, colour, p); }}}});
    groups.push_back(
        {"fill 32",
         4,
         {{"memset", memset_line},
          {"installed", [](auto d, auto, int p, std::size_t) { installed_span[4](d, colour, p); }},
          {"sse2", [](auto d, auto, int p, std::size_t) { fill32_vector(d, colour, p); },
           vector_level_sse2},
          {"plain", [](auto d, auto, int p, std::size_t) { fill32_plain(d, colour, p); }}}});
    groups.push_back(
        {"blend 32",
         4,
         {{"memset", memset_line},
          {"installed",
           [](auto d, auto, int p, std::size_t) { installed_blend(d, translucent, p); }},
          {"plain",
           [](auto d, auto, int p, std::size_t) { blend_fill32_plain(d, translucent, p); }}}});
    // Drop the AVX2 candidates on a processor without AVX2: they would time the SSE2 path again.
    for (Group& group : groups)
        if (vector_level_detected() < vector_level_avx2)
            std::erase_if(group.contenders,
                          [](const Contender& c) { return c.name.find("avx2") == 0; });
    return groups;
}

// Seconds per frame of one sample: whole frames, line by line, for at least min_seconds.
double sample(const Frame& frame, const Group& group, const Contender& contender,
              double min_seconds) {
    using clock = std::chrono::steady_clock;
    Buffers& b = buffers_for(frame);
    const auto pitch = static_cast<std::size_t>(frame.width) * group.bytes_per_pixel;
    limit_vector_level(contender.level);
    const auto start = clock::now();
    long frames = 0;
    std::chrono::duration<double> elapsed{};
    do {
        std::uint8_t* d = b.destination.pixels;
        const std::uint8_t* s = b.source.pixels;
        for (int y = 0; y < frame.height; ++y, d += pitch, s += pitch)
            contender.line(d, s, frame.width, pitch);
        ++frames;
        elapsed = clock::now() - start;
    } while (elapsed.count() < min_seconds);
    limit_vector_level(vector_level_highest);
    return elapsed.count() / static_cast<double>(frames);
}

struct Figures {
    double median, low, high; // seconds per frame: median, fastest and slowest round
};

Figures figures_of(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 15;
    double min_seconds = 0.02;
    std::string filter;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rounds=", 9) == 0)
            rounds = std::max(1, std::atoi(argv[i] + 9));
        else if (std::strncmp(argv[i], "--min-ms=", 9) == 0)
            min_seconds = std::max(1, std::atoi(argv[i] + 9)) / 1000.0;
        else if (std::strncmp(argv[i], "--filter=", 9) == 0)
            filter = argv[i] + 9;
        else {
            std::fprintf(stderr, "usage: framebuffer_bench [--rounds=N] [--min-ms=N] [--filter=TEXT]\n");
            return 2;
        }
    }

    force_plain_routines(false);
    for (const int size : {1, 2, 4})
        installed_span[size] = installed_fill(size, 0xFF000000u | colour);
    installed_blend = installed_fill(4, translucent);
    const std::vector<Group> groups = make_groups();

    // Seconds per frame of every sample, by group, frame and contender; the rounds of one group
    // and frame interleave its contenders.
    std::map<std::string, std::vector<double>> seconds;
    for (const Frame& frame : frames)
        for (const Group& group : groups) {
            if (!filter.empty() && (group.name + " " + frame.name).find(filter) == std::string::npos)
                continue;
            for (int round = 0; round < rounds; ++round)
                for (const Contender& contender : group.contenders)
                    seconds[group.name + "/" + frame.name + "/" + contender.name].push_back(
                        sample(frame, group, contender, min_seconds));
            std::fputc('.', stderr);
        }
    std::fputc('\n', stderr);

    std::printf("Medians of %d interleaved rounds, microseconds per frame (fastest-slowest round);\n"
                "ratio = anchor's median time / contender's (above 1: faster than the anchor),\n"
                "\"unresolved\" when the two spreads overlap. Vector level of this processor: %d "
                "(0 SSE2, 1 SSSE3, 2 AVX2, 3 AVX-512).\n\n",
                rounds, vector_level_detected());
    std::printf("| group | frame | contender | us/frame | spread | GB/s | vs anchor |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Frame& frame : frames)
        for (const Group& group : groups) {
            Figures anchor{};
            for (const Contender& contender : group.contenders) {
                const auto found =
                    seconds.find(group.name + "/" + frame.name + "/" + contender.name);
                if (found == seconds.end()) continue; // filtered out
                const Figures f = figures_of(found->second);
                const bool is_anchor = &contender == &group.contenders.front();
                if (is_anchor) anchor = f;
                char ratio[32] = "anchor";
                if (!is_anchor && anchor.median > 0) {
                    const bool overlap = f.low <= anchor.high && anchor.low <= f.high;
                    std::snprintf(ratio, sizeof ratio, "%.2f%s", anchor.median / f.median,
                                  overlap ? " unresolved" : "");
                }
                const double bytes =
                    double(frame.width) * frame.height * group.bytes_per_pixel;
                std::printf("| %s | %s | %s | %.1f | %.1f-%.1f | %.1f | %s |\n",
                            group.name.c_str(), frame.name, contender.name.c_str(),
                            f.median * 1e6, f.low * 1e6, f.high * 1e6, bytes / f.median / 1e9,
                            ratio);
            }
        }
    return 0;
}
