// time_to_map [--picture IMAGE.ppm] TITLE PROGRAM [ARGUMENT...]: starts PROGRAM and reports how
// long it takes until a window titled TITLE is mapped on $DISPLAY, as "MILLISECONDS PID"; with
// --picture, "MAPPED SHOWN PID", SHOWN being when the window's contents first equal the binary PPM
// image (read back with XGetImage every 0.5 ms). The program is left running for the caller to
// end. The clock starts just before the fork; the map is seen as a MapNotify on the root window
// (no window manager: top-level windows are its children), so nothing polls for it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "ppm.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int ignore_errors(Display*, XErrorEvent*) { return 0; }

bool titled(Display* display, Window window, const char* title) {
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name) return false;
    const bool same = std::strcmp(name, title) == 0;
    XFree(name);
    return same;
}

// One channel of an X pixel scaled to 0..255.
unsigned channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const unsigned long top = mask >> shift;
    return static_cast<unsigned>(((pixel & mask) >> shift) * 255 / top);
}

bool shows(Display* display, Window window, const Picture& picture) {
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(picture.width),
                              static_cast<unsigned>(picture.height), AllPlanes, ZPixmap);
    if (!image) return false;
    bool same = true;
    for (int y = 0; y < picture.height && same; ++y) {
        for (int x = 0; x < picture.width && same; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const unsigned char* want = &picture.rgb[(static_cast<std::size_t>(y) * picture.width + x) * 3];
            same = channel(pixel, image->red_mask) == want[0] &&
                   channel(pixel, image->green_mask) == want[1] &&
                   channel(pixel, image->blue_mask) == want[2];
        }
    }
    XDestroyImage(image);
    return same;
}

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    Picture picture;
    if (argc > 2 && std::strcmp(argv[1], "--picture") == 0) {
        if (!read_ppm(argv[2], picture)) {
            std::fprintf(stderr, "time_to_map: cannot read %s\n", argv[2]);
            return 2;
        }
        argv += 2;
        argc -= 2;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: time_to_map [--picture IMAGE.ppm] TITLE PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 2;
    XSetErrorHandler(ignore_errors);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(argv[2], argv + 2);
        ::_exit(127);
    }
    if (pid < 0) return 2;
    const auto limit = start + std::chrono::seconds(30);
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && titled(display, event.xmap.window, argv[1])) {
                const double mapped = ms_since(start);
                if (picture.rgb.empty()) {
                    std::printf("%.2f %d\n", mapped, static_cast<int>(pid));
                    return 0;
                }
                while (!shows(display, event.xmap.window, picture)) {
                    if (std::chrono::steady_clock::now() > limit) {
                        std::fprintf(stderr, "time_to_map: the picture never showed\n");
                        return 1;
                    }
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
                }
                std::printf("%.2f %.2f %d\n", mapped, ms_since(start), static_cast<int>(pid));
                return 0;
            }
        }
        if (std::chrono::steady_clock::now() > limit || ::waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fprintf(stderr, "time_to_map: no window titled %s\n", argv[1]);
            return 1;
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        ::poll(&connection, 1, 100);
    }
}
