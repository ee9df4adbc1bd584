// The converters against pixman (pixman_image_composite32, PIXMAN_OP_SRC), SDL2
// (SDL_ConvertPixels, or SDL_BlitSurface from an indexed surface) and memcpy of the destination's
// bytes, for every source and display format pair of the converter tables, on whole frames with
// every line dirty. All contenders read the same framebuffer and write the same destination.
//
// "ours" is what a screen uses: the screen's primitives are selected as the set-up does (which
// decides STATE_HAS_MMX from the processor and installs the block copy that convert_copy calls),
// then select_converter picks the member. Before any timing, every contender's output is compared
// with ours once for each pair; a contender whose bytes differ where the formats agree is not
// timed for that pair. The repetitions of all contenders run interleaved in random order; the
// summary gives each contender's median rate and the spread (slowest-fastest repetition).
// Rates are per second of the process's processor time, not of the wall clock: on a machine shared
// with other work the wall clock also counts the time the process waited for a processor, which
// spread the repetitions of one contender by three to four times.
//
// For the palettised pairs a second table gives the cost of a palette change: ours with one
// palette entry changed before every frame, beside ours with the palette kept, at the processor's
// own vector level and capped at AVX2 (where the two-pixel table serves a kept palette).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "convert_bench_contenders.h"
#include "gfx/core/block_ops.h"

namespace {

using namespace convert_bench;
using zered::vector_level_detected;

// The program's defaults; options given on the command line come later and win. The README
// quotes these.
constexpr int repetitions = 9;
constexpr double min_seconds = 0.1;

std::string bench_name(const Pair& pair, int size, int contender) {
    return pair.name + " " + std::to_string(sizes[size].width) + "x" +
           std::to_string(sizes[size].height) + " " + contender_names[contender];
}

// Keeps the rate of every repetition; prints a dot per benchmark so that a long run shows it is
// alive, and nothing else (the summary is the output).
class Collector : public benchmark::BenchmarkReporter {
  public:
    std::map<std::string, std::vector<double>> rates; // megapixels per second
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) {
                continue;
            }
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end()) {
                rates[run.run_name.function_name].push_back(rate->second.value / 1e6);
            }
        }
        std::fputc('.', stderr);
    }
};

struct Figures {
    double median = 0, low = 0, high = 0;
    bool present() const { return median > 0; }
};

Figures figures_of(const Collector& collector, const std::string& name) {
    const auto it = collector.rates.find(name);
    if (it == collector.rates.end() || it->second.empty()) {
        return {};
    }
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return {n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.front(), v.back()};
}

// Every contender's figures for one pair and size, indexed by Contender.
std::vector<Figures> row_figures(const Collector& collector, const Pair& pair, int size) {
    std::vector<Figures> f(contender_count);
    for (int c = 0; c < contender_count; ++c) {
        f[static_cast<std::size_t>(c)] = figures_of(collector, bench_name(pair, size, c));
    }
    return f;
}

std::string cell(const Figures& f) {
    if (!f.present()) {
        return "-";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.0f (%.0f-%.0f)", f.median, f.low, f.high);
    return text;
}

// Our median rate over theirs; "unresolved" when the spreads overlap.
std::string ratio(const Figures& a, const Figures& b) {
    if (!a.present() || !b.present()) {
        return "-";
    }
    char text[40];
    const bool overlap = a.low <= b.high && b.low <= a.high;
    std::snprintf(text, sizeof text, "%.2f%s", a.median / b.median, overlap ? " unresolved" : "");
    return text;
}

void print_summary(const std::vector<Pair>& pairs, const Collector& collector,
                   const std::map<std::string, Check>& checks) {
    std::printf("\n\nOutput of each contender against ours, once before timing:\n\n");
    for (int size = 0; size < 2; ++size) {
        for (const Pair& pair : pairs) {
            for (const int c : {pixman, sdl2}) {
                const auto it = checks.find(bench_name(pair, size, c));
                if (it != checks.end() && it->second.verdict != "same bytes") {
                    std::printf("- %s: %s\n", it->first.c_str(), it->second.verdict.c_str());
                }
            }
        }
    }
    std::printf("(every other pair and size: same bytes)\n");

    std::size_t fewest = 0, most = 0;
    for (const auto& [name, rates] : collector.rates) {
        fewest = fewest == 0 ? rates.size() : std::min(fewest, rates.size());
        most = std::max(most, rates.size());
    }
    std::printf(
        "\nMegapixels per second, median of %zu%s interleaved repetitions (slowest-fastest); "
        "ratios of medians (ours / faster of pixman and SDL2, ours / memcpy of the destination's "
        "bytes), \"unresolved\" where the two spreads overlap. Vector level %d (0 SSE2, 1 SSSE3, "
        "2 AVX2, 3 AVX-512 with VBMI).\n\n",
        most, fewest == most ? "" : " (fewer for some)", vector_level_detected());
    std::printf("| pair | size | ours | pixman | SDL2 | memcpy | vs best | vs memcpy |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (int size = 0; size < 2; ++size) {
        for (const Pair& pair : pairs) {
            const std::vector<Figures> f = row_figures(collector, pair, size);
            if (!f[ours].present() && !f[memcpy_rate].present()) {
                continue; // filtered out
            }
            const Figures& best = f[pixman].median >= f[sdl2].median ? f[pixman] : f[sdl2];
            std::printf("| %s | %dx%d | %s | %s | %s | %s | %s | %s |\n", pair.name.c_str(),
                        sizes[size].width, sizes[size].height, cell(f[ours]).c_str(),
                        cell(f[pixman]).c_str(), cell(f[sdl2]).c_str(), cell(f[memcpy_rate]).c_str(),
                        ratio(f[ours], best).c_str(), ratio(f[ours], f[memcpy_rate]).c_str());
        }
    }

    std::printf("\nA palette change before every frame (one entry changed), palettised pairs: "
                "megapixels per second as above; \"cost\" is the time per frame with changes "
                "over the time with the palette kept.\n\n");
    std::printf("| pair | size | ours, kept | ours, changes | cost | at AVX2, kept | "
                "at AVX2, changes | cost |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (int size = 0; size < 2; ++size) {
        for (const Pair& pair : pairs) {
            const std::vector<Figures> f = row_figures(collector, pair, size);
            if (!f[ours_palette_changes].present()) {
                continue;
            }
            std::printf("| %s | %dx%d | %s | %s | %s | %s | %s | %s |\n", pair.name.c_str(),
                        sizes[size].width, sizes[size].height, cell(f[ours]).c_str(),
                        cell(f[ours_palette_changes]).c_str(),
                        ratio(f[ours], f[ours_palette_changes]).c_str(),
                        cell(f[ours_avx2]).c_str(), cell(f[ours_avx2_palette_changes]).c_str(),
                        ratio(f[ours_avx2], f[ours_avx2_palette_changes]).c_str());
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    // Defaults that suit a shared machine: several repetitions of every contender, run in random
    // interleaved order. Arguments given on the command line come later and win.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions_flag = "--benchmark_repetitions=" + std::to_string(repetitions);
    std::string min_time_flag = "--benchmark_min_time=" + std::to_string(min_seconds);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, {repetitions_flag.data(), interleave, min_time_flag.data()});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }

    const std::vector<Pair> pairs = table_pairs();
    std::map<std::string, Check> checks;
    for (int size = 0; size < 2; ++size) {
        for (const Pair& pair : pairs) {
            Frame& f = frame(size);
            {
                auto ours_runner = make_runner(ours, pair, f);
                if (!ours_runner->ok()) {
                    continue;
                }
                ours_runner->run();
            }
            const std::vector<std::uint8_t> reference(
                f.destination.begin(),
                f.destination.begin() + static_cast<std::ptrdiff_t>(f.display_size(pair)));
            checks[bench_name(pair, size, ours)] = {true, "ours"};
            for (int c = ours + 1; c < contender_count; ++c) {
                if (contends(c, pair)) {
                    checks[bench_name(pair, size, c)] = check_against_ours(c, pair, f, reference);
                }
            }
        }
    }

    for (int size = 0; size < 2; ++size) {
        for (const Pair& pair : pairs) {
            for (int c = 0; c < contender_count; ++c) {
                const std::string name = bench_name(pair, size, c);
                const auto it = checks.find(name);
                if (it == checks.end() || !it->second.timed) {
                    continue;
                }
                benchmark::RegisterBenchmark(name.c_str(),
                                             [=](benchmark::State& state) {
                                                 Frame& f = frame(size);
                                                 auto runner = make_runner(c, pair, f);
                                                 for (auto _ : state) {
                                                     runner->run();
                                                     benchmark::ClobberMemory();
                                                 }
                                                 state.SetItemsProcessed(state.iterations() *
                                                                         f.pixels());
                                             })
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    print_summary(pairs, collector, checks);
    benchmark::Shutdown();
    return 0;
}
