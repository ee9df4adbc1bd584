// A small console program for the end-to-end tests: finds a top-level window by its class name
// and reports or closes it.
//
//   window_probe find CLASS [SECONDS]   prints "x y width height title" of the client area in
//                                       screen coordinates once the window is visible; exit 1 if
//                                       none appears in time (default 20 s)
//   window_probe close CLASS            posts WM_CLOSE to the window; exit 1 if there is none
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND find_visible(const char* class_name) {
    const HWND window = ::FindWindowA(class_name, nullptr);
    return window && ::IsWindowVisible(window) ? window : nullptr;
}

int find(const char* class_name, int seconds) {
    HWND window = nullptr;
    for (int waited = 0; !(window = find_visible(class_name)) && waited < seconds * 10; ++waited)
        ::Sleep(100);
    if (!window) return 1;
    RECT client{};
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    char title[256] = {};
    ::GetWindowTextA(window, title, sizeof title);
    std::printf("%ld %ld %ld %ld %s\n", origin.x, origin.y, client.right - client.left,
                client.bottom - client.top, title);
    return 0;
}

int close(const char* class_name) {
    const HWND window = ::FindWindowA(class_name, nullptr);
    if (!window) return 1;
    return ::PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "find") == 0)
        return find(argv[2], argc >= 4 ? std::atoi(argv[3]) : 20);
    if (argc >= 3 && std::strcmp(argv[1], "close") == 0) return close(argv[2]);
    std::fprintf(stderr, "usage: window_probe find|close CLASS [SECONDS]\n");
    return 2;
}
