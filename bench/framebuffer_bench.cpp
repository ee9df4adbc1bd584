// Block copy, fills and the 32-bit blend fill, plain and vector, against the C library's memcpy
// and memset, on whole frames worked line by line as the screen layer does.
//
// Contenders of a group run interleaved (A B C A B C ...) over several rounds on the same
// buffers; the summary at the end gives each one's median and its ratio to the group's anchor.
//
//   framebuffer_bench [--rounds=N] [google benchmark flags]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "gfx/core/block_ops.h"
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

// One line's work: destination line, source line, pixels, line bytes.
using LineFn = void (*)(std::uint8_t* d, const std::uint8_t* s, int pixels, std::size_t bytes);

struct Contender {
    const char* name;
    int bytes_per_pixel;
    LineFn line;
};

struct Group {
    const char* name;
    std::vector<Contender> contenders; // the first is the anchor
};

const std::uint32_t colour = 0x80C06020; // translucent, so that the blends do their work

const std::vector<Group> groups{
    {"copy",
     {{"memcpy", 4, [](auto d, auto s, int, std::size_t n) { std::memcpy(d, s, n); }},
      {"copy_bytes_plain", 4,
       [](auto d, auto s, int, std::size_t n) { copy_bytes_plain(d, s, n); }},
      {"copy_bytes_vector", 4,
       [](auto d, auto s, int, std::size_t n) { copy_bytes_vector(d, s, n); }}}},
    {"fill_bytes",
     {{"memset", 1, [](auto d, auto, int, std::size_t n) { std::memset(d, 0x5A, n); }},
      {"fill_bytes_plain", 1,
       [](auto d, auto, int, std::size_t n) { fill_bytes_plain(d, 0x5A, n); }},
      {"fill_bytes_vector", 1,
       [](auto d, auto, int, std::size_t n) { fill_bytes_vector(d, 0x5A, n); }}}},
    {"fill16",
     {{"memset", 2, [](auto d, auto, int, std::size_t n) { std::memset(d, 0x5A, n); }},
      {"fill16_plain", 2, [](auto d, auto, int p, std::size_t) { fill16_plain(d, colour, p); }},
      {"fill16_vector", 2, [](auto d, auto, int p, std::size_t) { fill16_vector(d, colour, p); }}}},
    {"fill32",
     {{"memset", 4, [](auto d, auto, int, std::size_t n) { std::memset(d, 0x5A, n); }},
      {"fill32_plain", 4, [](auto d, auto, int p, std::size_t) { fill32_plain(d, colour, p); }},
      {"fill32_vector", 4, [](auto d, auto, int p, std::size_t) { fill32_vector(d, colour, p); }}}},
    {"blend32",
     {{"memset", 4, [](auto d, auto, int, std::size_t n) { std::memset(d, 0x5A, n); }},
      {"blend_fill32_plain", 4,
       [](auto d, auto, int p, std::size_t) { blend_fill32_plain(d, colour, p); }},
      {"blend_fill32_vector", 4,
       [](auto d, auto, int p, std::size_t) { blend_fill32_vector(d, colour, p); }}}},
};

void run_frame(benchmark::State& state, const Frame* frame, const Contender* contender) {
    Buffers& b = buffers_for(*frame);
    const auto pitch = static_cast<std::size_t>(frame->width) * contender->bytes_per_pixel;
    for (auto _ : state) {
        std::uint8_t* d = b.destination.pixels;
        const std::uint8_t* s = b.source.pixels;
        for (int y = 0; y < frame->height; ++y, d += pitch, s += pitch)
            contender->line(d, s, frame->width, pitch);
        benchmark::ClobberMemory();
    }
    const auto pixels = static_cast<std::int64_t>(frame->width) * frame->height;
    state.SetItemsProcessed(state.iterations() * pixels);
    state.SetBytesProcessed(state.iterations() * pixels * contender->bytes_per_pixel);
}

// Keeps every run's time per frame, keyed by benchmark name without its round.
class Collector : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, std::vector<double>> seconds;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            std::string name = run.benchmark_name();
            name = name.substr(0, name.rfind("/round:"));
            seconds[name].push_back(run.real_accumulated_time /
                                    static_cast<double>(run.iterations));
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 7;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rounds=", 9) == 0)
            rounds = std::max(1, std::atoi(argv[i] + 9));
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    for (const Frame& frame : frames)
        for (const Group& group : groups)
            for (int round = 0; round < rounds; ++round)
                for (const Contender& contender : group.contenders) {
                    const std::string name = std::string(group.name) + "/" + frame.name + "/" +
                                             contender.name + "/round:" + std::to_string(round);
                    benchmark::RegisterBenchmark(name.c_str(), run_frame, &frame, &contender)
                        ->MinTime(0.05)
                        ->Unit(benchmark::kMicrosecond);
                }

    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    std::printf("\nMedians of %d interleaved rounds; ratio = anchor's time / contender's time "
                "(above 1: faster than the anchor)\n",
                rounds);
    std::printf("%-10s %-10s %-22s %10s %9s %8s\n", "group", "frame", "contender", "us/frame",
                "Mpixel/s", "ratio");
    for (const Frame& frame : frames)
        for (const Group& group : groups) {
            double anchor = 0;
            for (const Contender& contender : group.contenders) {
                const std::string key =
                    std::string(group.name) + "/" + frame.name + "/" + contender.name;
                const auto found = collector.seconds.find(key);
                if (found == collector.seconds.end()) continue; // filtered out
                const double t = median(found->second);
                if (anchor == 0) anchor = t;
                std::printf("%-10s %-10s %-22s %10.1f %9.0f %8.2f\n", group.name, frame.name,
                            contender.name, t * 1e6,
                            frame.width * static_cast<double>(frame.height) / t / 1e6, anchor / t);
            }
        }
    benchmark::Shutdown();
    return 0;
}
