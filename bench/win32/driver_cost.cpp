// Measures the display drivers side by side, in one process: what one presentation pass costs
// when the whole 640 by 480 frame has changed, and how much processor time a screen costs per
// second while the program is idle. A timing program, not a test: it asserts nothing.
//
//   driver_cost [--rounds N] [--samples N] [--idle-seconds N] [PID...]   (bench/driver_cost.sh)
//
// The contenders take turns: every round opens each screen once, takes its samples and closes it
// again, so that a slow spell of the machine falls on all of them. Figures are medians over all
// rounds.
//
// A thread driver's pass is timed from the program's side: the program holds the screen lock
// for longer than the driver's 10 ms sleep, so the driver thread is waiting for it; it marks every
// line, releases the lock (t0) and sends the window a null message, which the driver thread
// handles after it has presented the frame in the same pass (t1). The OpenGL screen has no pass;
// its figure is a frame cleared with GL and shown by the flip slot, then the poll slot.
//
// Idle cost is the process's own processor time (GetProcessTimes) over the idle seconds, and,
// for each PID given (Linux process ids, read through Wine's Z: drive: the X server, the
// wineserver), that process's time from /proc, in clock ticks of 10 ms.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/core/display_driver.h"
#include "gfx/core/framebuffer.h"
#include "gfx/screen/screen_setup.h"
#include "gfx/core/screen_state.h"
#include "gfx/win32/ddraw_driver.h"
#include "gfx/win32/drivers.h"
#include "gfx/win32/opengl_driver.h"
#include "gfx/win32/window.h"

namespace {

using namespace zered;

struct Contender {
    const char* label;
    const DisplayDriver* driver;
    int depth;
    ModeFlags flags;
    std::vector<double> pass_us;
    double idle_process_ms = 0; // processor ms per idle second, summed over rounds
    std::vector<double> idle_other_ms; // per extra PID
};

double now_us() {
    static const double ticks_per_us = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    LARGE_INTEGER count;
    ::QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / ticks_per_us;
}

double process_cpu_ms() {
    FILETIME created, ended, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ms = [](FILETIME t) {
        return static_cast<double>(static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

// User plus system time of a Linux process, in ms (10 ms ticks); -1 when it cannot be read.
double linux_cpu_ms(int pid) {
    const std::string path = "Z:\\proc\\" + std::to_string(pid) + "\\stat";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return -1;
    char text[1024] = {};
    const std::size_t got = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[got] = '\0';
    const char* rest = std::strrchr(text, ')'); // the command name may hold spaces
    if (!rest) return -1;
    // After ") " come field 3 (state) onwards; utime and stime are fields 14 and 15.
    unsigned long long utime = 0, stime = 0;
    int field = 2;
    for (const char* p = rest + 1; *p && field < 15; ++p) {
        if (*p != ' ') continue;
        ++field;
        if (field == 14) utime = std::strtoull(p + 1, nullptr, 10);
        if (field == 15) stime = std::strtoull(p + 1, nullptr, 10);
    }
    return static_cast<double>(utime + stime) * 10.0;
}

bool open_screen(const Contender& c) {
    static DriverChoiceOverride choice;
    static const DisplayDriver* only[1];
    only[0] = c.driver;
    choice = {only, nullptr};
    override_driver_choice(&choice);
    return screen_open_sized(640, 480, c.depth, 1, c.flags, 0) == 0 &&
           current_screen()->driver == c.driver;
}

// Changes every pixel of the frame, so that nothing could be skipped as unchanged.
void change_frame(ScreenState& screen, int sample) {
    const auto bytes = static_cast<std::size_t>(screen.pitch) * static_cast<std::size_t>(screen.height);
    std::memset(screen.visible_fb, 1 + sample % 200, bytes);
}

double thread_pass_us(ScreenState& screen, int sample) {
    const HWND window = window_state().window;
    screen_lock();
    change_frame(screen, sample);
    ::Sleep(12); // longer than the pass's sleep: the driver thread now waits for the lock
    const double t0 = now_us();
    screen_unlock(0, screen.height - 1);
    ::SendMessageA(window, WM_NULL, 0, 0);
    return now_us() - t0;
}

struct GlCalls {
    void(WINAPI* clear_color)(float, float, float, float);
    void(WINAPI* clear)(unsigned int);
};

GlCalls gl_calls() {
    const HMODULE library = ::GetModuleHandleA("opengl32.dll");
    const auto find = [library](const char* name) {
        return reinterpret_cast<void (*)()>(::GetProcAddress(library, name));
    };
    return {reinterpret_cast<decltype(GlCalls::clear_color)>(find("glClearColor")),
            reinterpret_cast<decltype(GlCalls::clear)>(find("glClear"))};
}

double gl_frame_us(const DisplayDriver& driver, const GlCalls& gl, int sample) {
    const float shade = static_cast<float>(sample % 200) / 200.0f;
    gl.clear_color(shade, 1.0f - shade, 0.5f, 1.0f);
    gl.clear(0x4000); // GL_COLOR_BUFFER_BIT
    const double t0 = now_us();
    driver.flip();
    driver.poll_events();
    return now_us() - t0;
}

// Adds the processor time per second of seconds idle on the open screen (none: c.driver nullptr).
void idle(Contender& c, int seconds, const std::vector<int>& pids) {
    std::vector<double> before;
    for (int pid : pids) before.push_back(linux_cpu_ms(pid));
    const double cpu0 = process_cpu_ms();
    const double t0 = now_us();
    if (c.driver && c.driver->poll_events) {
        // A program on an OpenGL screen has to keep its window answering.
        while (now_us() - t0 < seconds * 1e6) {
            c.driver->poll_events();
            ::Sleep(10);
        }
    } else {
        ::Sleep(static_cast<DWORD>(seconds * 1000));
    }
    const double elapsed_s = (now_us() - t0) / 1e6;
    c.idle_process_ms += (process_cpu_ms() - cpu0) / elapsed_s;
    for (std::size_t i = 0; i < pids.size(); ++i)
        c.idle_other_ms[i] += (linux_cpu_ms(pids[i]) - before[i]) / elapsed_s;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 5, samples = 40, idle_seconds = 3;
    std::vector<int> pids;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--samples") && i + 1 < argc) samples = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--idle-seconds") && i + 1 < argc) idle_seconds = std::atoi(argv[++i]);
        else pids.push_back(std::atoi(argv[i]));
    }

    std::vector<Contender> contenders{
        {"DirectX 8-bit", &ddraw_driver, 8, 0, {}, 0, {}},
        {"GDI 8-bit", &gdi_driver, 8, 0, {}, 0, {}},
        {"DirectX 32-bit", &ddraw_driver, 32, 0, {}, 0, {}},
        {"GDI 32-bit", &gdi_driver, 32, 0, {}, 0, {}},
        {"OpenGL 32-bit", &opengl_driver, 32, MODE_OPENGL, {}, 0, {}},
    };
    Contender no_screen{"no screen", nullptr, 0, 0, {}, 0, {}};
    no_screen.idle_other_ms.assign(pids.size(), 0);
    for (Contender& c : contenders) c.idle_other_ms.assign(pids.size(), 0);

    for (int round = 0; round < rounds; ++round) {
        idle(no_screen, idle_seconds, pids); // the program alone, for the baseline
        for (Contender& c : contenders) {
            if (!open_screen(c)) {
                std::printf("%s: the screen did not open on this driver\n", c.label);
                screen_exit_handler();
                continue;
            }
            ScreenState& screen = *current_screen();
            const GlCalls gl = c.driver->flip ? gl_calls() : GlCalls{};
            for (int s = -3; s < samples; ++s) { // three passes to warm up
                const double us = c.driver->flip ? gl_frame_us(*c.driver, gl, s + 3)
                                                 : thread_pass_us(screen, s + 3);
                if (s >= 0) c.pass_us.push_back(us);
            }
            idle(c, idle_seconds, pids);
            screen_exit_handler();
        }
    }
    override_driver_choice(nullptr);

    std::printf("640x480, %d rounds of %d samples; pass in microseconds (p10 / median / p90)\n",
                rounds, samples);
    std::printf("%-16s %8s %8s %8s   idle ms/s: process", "screen", "p10", "median", "p90");
    for (int pid : pids) std::printf("  pid %d", pid);
    std::printf("\n");
    const auto print_idle = [&](const Contender& c) {
        std::printf("   %6.2f", c.idle_process_ms / rounds);
        for (double ms : c.idle_other_ms) std::printf("  %8.2f", ms / rounds);
        std::printf("\n");
    };
    std::printf("%-16s %8s %8s %8s  ", no_screen.label, "-", "-", "-");
    print_idle(no_screen);
    for (const Contender& c : contenders) {
        std::printf("%-16s %8.0f %8.0f %8.0f  ", c.label, percentile(c.pass_us, 0.1),
                    percentile(c.pass_us, 0.5), percentile(c.pass_us, 0.9));
        print_idle(c);
    }
    const auto median = [&](int i) { return percentile(contenders[static_cast<std::size_t>(i)].pass_us, 0.5); };
    if (median(0) > 0 && median(2) > 0)
        std::printf("GDI / DirectX pass time: 8-bit %.2f, 32-bit %.2f\n", median(1) / median(0),
                    median(3) / median(2));
    return 0;
}
