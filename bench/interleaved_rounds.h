// Contenders timed side by side: each round samples every contender of a group once, in order
// (A B C A B C ...), on the same buffers. A sample is whole frames for at least 20 ms; a group's
// table gives each contender's median over the rounds with the fastest and slowest round, and the
// ratio of the first contender's median time to its own (above 1: faster than the first),
// "unresolved" when the two spreads overlap.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace interleaved_rounds {

struct Contender {
    std::string name;
    std::function<void()> run; // one frame
};

// Wall clock, or the process's processor time (std::clock), which leaves out the time the process
// waits for a processor on a machine shared with other work.
enum class Clock { wall, processor };

inline double now(Clock clock) {
    if (clock == Clock::processor) {
        return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Seconds per frame.
inline double sample(const Contender& c, Clock clock) {
    const double start = now(clock);
    long frames = 0;
    double elapsed = 0;
    do {
        c.run();
        ++frames;
        elapsed = now(clock) - start;
    } while (elapsed < 0.02);
    return elapsed / static_cast<double>(frames);
}

inline void group(const char* title, const std::vector<Contender>& contenders, int rounds,
                  double pixels_per_frame, Clock clock = Clock::wall) {
    std::vector<std::vector<double>> seconds(contenders.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t c = 0; c < contenders.size(); ++c)
            seconds[c].push_back(sample(contenders[c], clock));
    std::printf("\n%s\n\n| contender | us per frame | spread | Mpixel/s | vs first |\n"
                "|---|---|---|---|---|\n", title);
    double first = 0, first_low = 0, first_high = 0;
    for (std::size_t c = 0; c < contenders.size(); ++c) {
        std::vector<double>& v = seconds[c];
        std::sort(v.begin(), v.end());
        const double median = v[v.size() / 2];
        if (c == 0) first = median, first_low = v.front(), first_high = v.back();
        const bool overlap = v.front() <= first_high && first_low <= v.back();
        std::printf("| %s | %.1f | %.1f-%.1f | %.0f | %.2f%s |\n", contenders[c].name.c_str(),
                    median * 1e6, v.front() * 1e6, v.back() * 1e6, pixels_per_frame / median / 1e6,
                    first / median, c > 0 && overlap ? " unresolved" : "");
    }
}

} // namespace interleaved_rounds
