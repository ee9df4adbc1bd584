// How often the X11 driver's thread presents: opens the usage screen's 400 by 80 by 8 screen on
// the X11 driver, marks a line dirty and times when the driver has presented it (its dirty flag
// cleared); the intervals between presentations are the pass period with work to do. Then counts
// the driver's passes over idle seconds, where nothing changes.
//   pass_period [SAMPLES] [IDLE_SECONDS]        (needs DISPLAY)
#include "gfx/core/framebuffer.h"
#include "gfx/screen/screen_setup.h"
#include "gfx/core/screen_state.h"
#include "gfx/x11/x11_driver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool line_presented(const zered::ScreenState& screen) {
    return std::atomic_ref<const std::uint8_t>(screen.dirty[0]).load() == 0;
}

} // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    const int idle_seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    ::setenv("ZERED", "x11", 1);
    if (zered::screen_open_sized(400, 80, 8, 1, 0, 0) != 0) {
        std::fprintf(stderr, "no screen could be opened on the X11 driver\n");
        return 1;
    }
    const zered::ScreenState& screen = *zered::current_screen();
    const Clock::time_point start = Clock::now();
    std::vector<double> presented;
    while (static_cast<int>(presented.size()) < samples) {
        zered::screen_lock();
        zered::screen_unlock(0, 0); // marks line 0
        while (!line_presented(screen)) std::this_thread::sleep_for(std::chrono::microseconds(200));
        presented.push_back(ms_since(start));
    }
    std::vector<double> period;
    for (std::size_t i = 1; i < presented.size(); ++i) period.push_back(presented[i] - presented[i - 1]);
    std::sort(period.begin(), period.end());
    const auto at = [&](double q) { return period[static_cast<std::size_t>(q * (period.size() - 1))]; };
    std::printf("driver %s: pass period over %zu presentations: median %.2f ms, 10%% %.2f ms, "
                "90%% %.2f ms\n",
                screen.driver ? screen.driver->name : "?", period.size(), at(0.5), at(0.1), at(0.9));

    const unsigned long before = zered::x11_pass_count();
    const Clock::time_point idle_start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(idle_seconds));
    const unsigned long passes = zered::x11_pass_count() - before;
    const double seconds = ms_since(idle_start) / 1000.0;
    std::printf("nothing drawn: %lu passes in %.2f s, mean period %.2f ms\n", passes, seconds,
                passes ? seconds * 1000.0 / static_cast<double>(passes) : 0.0);
    zered::screen_exit_handler();
    return 0;
}
