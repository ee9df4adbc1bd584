// The converters against pixman (pixman_image_composite32, PIXMAN_OP_SRC), SDL2
// (SDL_ConvertPixels, or SDL_BlitSurface from an indexed surface) and memcpy of the destination's
// bytes, for every source and display format pair of the converter tables, on whole frames with
// every line dirty. All contenders read the same framebuffer and write the same destination. The
// repetitions of all contenders run interleaved in random order; the summary at the end gives
// the medians.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "gfx/blit/convert.h"
#include "gfx/core/screen_state.h"

namespace {

using namespace zered;

struct Pair {
    std::string name;
    int fb_depth; // 8, 16 or 32
    int display;  // 8, 15, 16, 24 or 32
    bool red_low;
};

struct Size {
    int width, height;
};

constexpr Size sizes[] = {{640, 480}, {1920, 1080}};
const char* const contenders[] = {"ours", "pixman", "SDL2", "memcpy"};

int fb_bytes(int depth) {
    return depth / 8;
}
int display_bytes(int depth) {
    return depth == 15 ? 2 : depth / 8;
}

// The formats of each depth as pixman and SDL2 name them, blue-low first, red-low second. A
// framebuffer of depth 8, 16 or 32 is an 8-bit display's, a blue-low 16-bit one's or a blue-low
// 32-bit one's format. pixman's r8g8b8 is blue first in memory, SDL's RGB24 red first.
struct Formats {
    int depth;
    pixman_format_code_t pixman[2];
    Uint32 sdl[2];
};
constexpr Formats formats[] = {
    {8, {PIXMAN_c8, PIXMAN_c8}, {SDL_PIXELFORMAT_INDEX8, SDL_PIXELFORMAT_INDEX8}},
    {15, {PIXMAN_x1r5g5b5, PIXMAN_x1b5g5r5}, {SDL_PIXELFORMAT_RGB555, SDL_PIXELFORMAT_BGR555}},
    {16, {PIXMAN_r5g6b5, PIXMAN_b5g6r5}, {SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_BGR565}},
    {24, {PIXMAN_r8g8b8, PIXMAN_b8g8r8}, {SDL_PIXELFORMAT_BGR24, SDL_PIXELFORMAT_RGB24}},
    {32, {PIXMAN_x8r8g8b8, PIXMAN_x8b8g8r8}, {SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_BGR888}},
};
const Formats& formats_of(int depth) {
    for (const Formats& f : formats) {
        if (f.depth == depth) {
            return f;
        }
    }
    return formats[4];
}

// Buffers shared by every benchmark of one frame size: a framebuffer of each depth filled with
// the same random bytes, one destination large enough for any display format, and the source of
// the memcpy runs.
struct Frame {
    Size size;
    std::vector<std::uint8_t> framebuffer[3]; // 8-, 16- and 32-bit
    std::vector<std::uint8_t> destination;
    std::vector<std::uint8_t> copy_source;

    explicit Frame(Size s) : size(s) {
        const auto pixels = static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height);
        std::mt19937 random(7);
        for (int k = 0; k < 3; ++k) {
            framebuffer[k].resize(pixels << k);
            for (auto& byte : framebuffer[k]) {
                byte = static_cast<std::uint8_t>(random());
            }
        }
        destination.assign(pixels * 4, 0);
        copy_source.assign(pixels * 4, 0x5A);
    }
    std::uint8_t* source(int depth) {
        return framebuffer[depth == 8 ? 0 : depth == 16 ? 1 : 2].data();
    }
    std::int64_t pixels() const { return std::int64_t{size.width} * size.height; }
};

Frame& frame(int size_index) {
    static Frame frames[] = {Frame(sizes[0]), Frame(sizes[1])};
    return frames[size_index];
}

// The palette as the screen holds it (0x00BBGGRR), as pixman and as SDL want it.
struct Palette {
    std::uint32_t device[256];
    pixman_indexed_t pixman;
    SDL_Color sdl[256];
    Palette() : pixman{} {
        std::mt19937 random(11);
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t e = random() & 0xFFFFFF;
            device[i] = e;
            const std::uint8_t r = e & 0xFF, g = (e >> 8) & 0xFF, b = (e >> 16) & 0xFF;
            pixman.rgba[i] = 0xFF000000u | std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b;
            sdl[i] = SDL_Color{r, g, b, 255};
        }
    }
};

const Palette& palette() {
    static const Palette p;
    return p;
}

void finish(benchmark::State& state, const Frame& f) {
    state.SetItemsProcessed(state.iterations() * f.pixels());
}

void run_ours(benchmark::State& state, const Pair& pair, Frame& f) {
    auto screen = std::make_unique<ScreenState>();
    screen->depth = pair.fb_depth;
    screen->width = f.size.width;
    screen->height = f.size.height;
    screen->bytes_per_pixel = fb_bytes(pair.fb_depth);
    screen->pitch = f.size.width * screen->bytes_per_pixel;
    screen->visible_fb = f.source(pair.fb_depth);
    screen->dirty.assign(static_cast<std::size_t>(f.size.height), 1);
    std::copy(std::begin(palette().device), std::end(palette().device),
              screen->device_palette.begin());
#if defined(__SSE2__)
    screen->flags = STATE_HAS_MMX;
#endif
    set_current_screen(screen.get());
    const ConvertFn convert = select_converter(pair.display, pair.red_low);
    if (convert == nullptr) {
        state.SkipWithError("no converter");
    } else {
        const std::int32_t pitch = f.size.width * display_bytes(pair.display);
        for (auto _ : state) {
            convert(f.destination.data(), pitch);
            benchmark::ClobberMemory();
        }
    }
    set_current_screen(nullptr);
    finish(state, f);
}

void run_pixman(benchmark::State& state, const Pair& pair, Frame& f) {
    const int w = f.size.width, h = f.size.height;
    pixman_image_t* source = pixman_image_create_bits(
        formats_of(pair.fb_depth).pixman[0], w, h,
        reinterpret_cast<std::uint32_t*>(f.source(pair.fb_depth)), w * fb_bytes(pair.fb_depth));
    pixman_image_t* display = pixman_image_create_bits(
        formats_of(pair.display).pixman[pair.red_low], w, h,
        reinterpret_cast<std::uint32_t*>(f.destination.data()), w * display_bytes(pair.display));
    if (pair.fb_depth == 8) {
        pixman_image_set_indexed(source, &palette().pixman);
    }
    if (pair.display == 8) {
        pixman_image_set_indexed(display, &palette().pixman);
    }
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, display, 0, 0, 0, 0, 0, 0, w, h);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(display);
    pixman_image_unref(source);
    finish(state, f);
}

void run_sdl(benchmark::State& state, const Pair& pair, Frame& f) {
    const int w = f.size.width, h = f.size.height;
    const Uint32 from = formats_of(pair.fb_depth).sdl[0],
                 to = formats_of(pair.display).sdl[pair.red_low];
    const int source_pitch = w * fb_bytes(pair.fb_depth);
    const int display_pitch = w * display_bytes(pair.display);
    if (pair.fb_depth != 8) {
        if (SDL_ConvertPixels(w, h, from, f.source(pair.fb_depth), source_pitch, to,
                              f.destination.data(), display_pitch) != 0) {
            state.SkipWithError("unsupported");
        } else {
            for (auto _ : state) {
                SDL_ConvertPixels(w, h, from, f.source(pair.fb_depth), source_pitch, to,
                                  f.destination.data(), display_pitch);
                benchmark::ClobberMemory();
            }
        }
        finish(state, f);
        return;
    }
    // SDL_ConvertPixels refuses indexed sources; a blit between surfaces over the same memory
    // does the same work.
    SDL_Surface* source =
        SDL_CreateRGBSurfaceWithFormatFrom(f.source(8), w, h, 8, source_pitch, from);
    SDL_Surface* display = SDL_CreateRGBSurfaceWithFormatFrom(
        f.destination.data(), w, h, static_cast<int>(SDL_BITSPERPIXEL(to)), display_pitch, to);
    if (source == nullptr || display == nullptr) {
        state.SkipWithError("unsupported");
    } else {
        SDL_SetPaletteColors(source->format->palette, palette().sdl, 0, 256);
        if (display->format->palette != nullptr) {
            SDL_SetPaletteColors(display->format->palette, palette().sdl, 0, 256);
        }
        if (SDL_BlitSurface(source, nullptr, display, nullptr) != 0) { // builds the blit map
            state.SkipWithError("unsupported");
        } else {
            for (auto _ : state) {
                SDL_BlitSurface(source, nullptr, display, nullptr);
                benchmark::ClobberMemory();
            }
        }
    }
    SDL_FreeSurface(display);
    SDL_FreeSurface(source);
    finish(state, f);
}

void run_memcpy(benchmark::State& state, const Pair& pair, Frame& f) {
    const auto bytes = static_cast<std::size_t>(f.pixels() * display_bytes(pair.display));
    for (auto _ : state) {
        std::memcpy(f.destination.data(), f.copy_source.data(), bytes);
        benchmark::ClobberMemory();
    }
    finish(state, f);
}

std::vector<Pair> table_pairs() {
    std::vector<Pair> pairs;
    const char* const sources[] = {"pal", "16", "32"};
    for (const bool red_low : {true, false}) {
        for (int group = 0; group < 3; ++group) {
            for (const int display : {15, 16, 24, 32}) {
                // A blue-low display of the framebuffer's own format is a plain copy.
                const bool copy =
                    !red_low && (group == 1 ? display == 16 : group == 2 && display == 32);
                pairs.push_back({std::string(sources[group]) + " -> " + std::to_string(display) +
                                     (red_low ? " rl" : " bl") + (copy ? " (copy)" : ""),
                                 8 << group, display, red_low});
            }
        }
    }
    pairs.push_back({"pal -> 8 (copy)", 8, 8, false});
    return pairs;
}

std::string bench_name(const Pair& pair, int size, int contender) {
    return pair.name + " " + std::to_string(sizes[size].width) + "x" +
           std::to_string(sizes[size].height) + " " + contenders[contender];
}

// Keeps the median rate of every benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> median_rate;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median" ||
                run.error_occurred) {
                continue;
            }
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end()) {
                median_rate[run.run_name.function_name] = rate->second.value;
            }
        }
    }
};

void print_summary(const std::vector<Pair>& pairs, const SummaryReporter& reporter) {
    const auto rate = [&](const std::string& name) {
        const auto it = reporter.median_rate.find(name);
        return it == reporter.median_rate.end() ? 0.0 : it->second / 1e6;
    };
    const auto cell = [](double mps) {
        char text[32];
        std::snprintf(text, sizeof text, mps > 0 ? "%.0f" : "-", mps);
        return std::string(text);
    };
    std::printf(
        "\nMedian megapixels per second; ratios of rates (ours / faster of pixman and SDL2, "
        "ours / memcpy of the destination's bytes)\n\n");
    std::printf("| pair | size | ours | pixman | SDL2 | memcpy | vs best | vs memcpy |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (int size = 0; size < 2; ++size) {
        for (const Pair& pair : pairs) {
            double r[4];
            for (int c = 0; c < 4; ++c) {
                r[c] = rate(bench_name(pair, size, c));
            }
            const double best = std::max(r[1], r[2]);
            char versus_best[16] = "-", versus_memcpy[16] = "-";
            if (best > 0 && r[0] > 0) {
                std::snprintf(versus_best, sizeof versus_best, "%.2f", r[0] / best);
            }
            if (r[3] > 0 && r[0] > 0) {
                std::snprintf(versus_memcpy, sizeof versus_memcpy, "%.2f", r[0] / r[3]);
            }
            std::printf("| %s | %dx%d | %s | %s | %s | %s | %s | %s |\n", pair.name.c_str(),
                        sizes[size].width, sizes[size].height, cell(r[0]).c_str(),
                        cell(r[1]).c_str(), cell(r[2]).c_str(), cell(r[3]).c_str(), versus_best,
                        versus_memcpy);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    // Defaults that suit a shared machine: several repetitions of every contender, run in random
    // order, reported as aggregates. Arguments given on the command line come later and win.
    std::vector<char*> args(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=9";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    char min_time[] = "--benchmark_min_time=0.1";
    args.insert(args.begin() + 1, {repetitions, interleave, aggregates, min_time});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }

    const std::vector<Pair> pairs = table_pairs();
    void (*const runners[])(benchmark::State&, const Pair&, Frame&) = {run_ours, run_pixman,
                                                                       run_sdl, run_memcpy};
    for (int size = 0; size < 2; ++size) {
        for (const Pair& pair : pairs) {
            for (int c = 0; c < 4; ++c) {
                benchmark::RegisterBenchmark(
                    bench_name(pair, size, c).c_str(),
                    [=](benchmark::State& state) { runners[c](state, pair, frame(size)); })
                    ->UseRealTime()
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_summary(pairs, reporter);
    benchmark::Shutdown();
    return 0;
}
