// How often the display driver's thread presents: opens the usage screen's 400 by 80 by 8 screen
// on the normal driver choice, marks a line dirty, and times when the driver has presented it
// (its dirty flag cleared). The intervals between presentations are the pass period.
//   pass_period [SAMPLES]
#include "gfx/core/framebuffer.h"
#include "gfx/screen/screen_setup.h"
#include "gfx/core/screen_state.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double now_ms() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool line_presented(const zered::ScreenState& screen) {
    return std::atomic_ref<const std::uint8_t>(screen.dirty[0]).load() == 0;
}

} // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    if (zered::screen_open_sized(400, 80, 8, 1, 0, 0) != 0) {
        std::fprintf(stderr, "no screen could be opened\n");
        return 1;
    }
    const zered::ScreenState& screen = *zered::current_screen();
    std::vector<double> presented;
    while (static_cast<int>(presented.size()) < samples) {
        zered::screen_lock();
        zered::screen_unlock(0, 0); // marks line 0
        while (!line_presented(screen)) ::Sleep(1);
        presented.push_back(now_ms());
    }
    std::vector<double> period;
    for (std::size_t i = 1; i < presented.size(); ++i) period.push_back(presented[i] - presented[i - 1]);
    std::sort(period.begin(), period.end());
    const auto at = [&](double q) { return period[static_cast<std::size_t>(q * (period.size() - 1))]; };
    std::printf("driver %s: pass period over %zu passes: median %.1f ms, 10%% %.1f ms, 90%% %.1f ms\n",
                screen.driver ? screen.driver->name : "?", period.size(), at(0.5), at(0.1), at(0.9));
    return 0;
}
