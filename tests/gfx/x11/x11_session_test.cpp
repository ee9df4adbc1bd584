// The X11 driver when the X server misbehaves: it goes away (the session ends, the server is
// killed) or stops answering for a while. Each case starts an Xvfb of its own, so that the suite's
// display is not disturbed.
#include "gfx/x11/x11_driver.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "gfx/console/event_queue.h"
#include "gfx/console/key_buffer.h"
#include "gfx/core/framebuffer.h"
#include "gfx/screen/screen_setup.h"
#include "gfx/core/screen_state.h"

extern char** environ;

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
// libX11 (1.8.4) unlocks the display's mutex once more as XPending returns from an I/O error whose
// exit handler returned: inside the library, after which the driver makes no further call.
extern "C" const char* __tsan_default_suppressions() {
    return "mutex:libX11.so\n";
}
#endif
#endif

namespace zered {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// An Xvfb on a display number it picks itself; stopped (killed) at the end of the scope.
class PrivateServer {
  public:
    explicit PrivateServer(const char* screen = "640x480x24") {
        int numbers[2];
        if (pipe(numbers) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, numbers[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {"Xvfb", "-displayfd", "3",  "-screen", "0", screen,
                              "-nolisten", "tcp", nullptr};
        const int failed = posix_spawnp(&pid_, "Xvfb", &actions, nullptr,
                                        const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(numbers[1]);
        if (failed) pid_ = 0;
        char number[16] = {};
        std::size_t got = 0;
        while (pid_ && got < sizeof number - 1) {
            const ssize_t n = read(numbers[0], number + got, sizeof number - 1 - got);
            if (n <= 0 || std::memchr(number, '\n', got + static_cast<std::size_t>(n))) {
                got += n > 0 ? static_cast<std::size_t>(n) : 0;
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        close(numbers[0]);
        std::string digits(number);
        digits.erase(std::min(digits.find('\n'), digits.size()));
        if (!digits.empty()) name_ = ":" + digits;
    }
    ~PrivateServer() { stop(); }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    bool started() const { return pid_ != 0 && !name_.empty(); }
    const std::string& name() const { return name_; }
    void signal(int number) const {
        if (pid_) kill(pid_, number);
    }
    void stop() {
        if (!pid_) return;
        kill(pid_, SIGCONT);
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

  private:
    pid_t pid_ = 0;
    std::string name_;
};

// Points DISPLAY at a server for a scope.
class DisplayFor {
  public:
    explicit DisplayFor(const std::string& name) {
        if (const char* old = std::getenv("DISPLAY")) saved_ = old;
        setenv("DISPLAY", name.c_str(), 1);
    }
    ~DisplayFor() {
        if (saved_.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", saved_.c_str(), 1);
    }

  private:
    std::string saved_;
};

// The program of a user whose session ends: a screen is open when the X server goes away. The
// screen reports a close (key 0x6BFF and event 13) as it does when the window is closed, and the
// program ends as it would then: exit code 0, not an abort from the library's thread.
TEST(X11Session, LosingTheDisplayIsAClose) {
    PrivateServer server;
    ASSERT_TRUE(server.started()) << "no Xvfb";
    int opened[2];
    ASSERT_EQ(pipe(opened), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(opened[0]);
        setenv("DISPLAY", server.name().c_str(), 1);
        if (screen_open_sized(320, 200, 32, 1, 0, 0) != 0) _exit(2);
        [[maybe_unused]] const ssize_t told = write(opened[1], "1", 1);
        const auto until = Clock::now() + 10s;
        bool closed = false, close_event = false;
        while (Clock::now() < until && !(closed && close_event)) {
            if (take_key() == 0x6BFF) closed = true;
            Event event{};
            while (take_event(&event))
                if (event.type == EVENT_CLOSE_REQUESTED) close_event = true;
            std::this_thread::sleep_for(10ms);
        }
        // As the usage window does on a close: the screen goes, the program ends.
        screen_exit_handler();
        std::exit(closed && close_event ? 0 : 3);
    }
    close(opened[1]);
    char byte = 0;
    const bool child_opened = read(opened[0], &byte, 1) == 1;
    close(opened[0]);
    if (child_opened) {
        std::this_thread::sleep_for(100ms);
        server.stop();
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(child_opened) << "the child opened no screen, status " << status;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: no close reported";
}

// The server goes away while the new window waits to be mapped (a window manager that holds the
// map and then the session ends): the open fails, as any open on a lost server does, rather than
// reporting a screen whose connection is gone. This test stands in for the window manager: it
// takes the window's map request and never maps it.
TEST(X11Session, LosingTheDisplayDuringTheOpenFailsIt) {
    PrivateServer server;
    ASSERT_TRUE(server.started()) << "no Xvfb";
    Display* manager = XOpenDisplay(server.name().c_str());
    ASSERT_NE(manager, nullptr);
    XSelectInput(manager, DefaultRootWindow(manager), SubstructureRedirectMask);
    XSync(manager, False);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("DISPLAY", server.name().c_str(), 1);
        const int opened = screen_open_sized(320, 200, 32, 1, 0, 0);
        if (opened == 0) screen_exit_handler();
        std::_Exit(opened == 0 ? 3 : 0);
    }
    // The window's map request reaches the manager; the server goes once it has.
    bool asked = false;
    for (const auto until = Clock::now() + 10s; !asked && Clock::now() < until;) {
        XEvent event;
        while (!asked && XPending(manager)) {
            XNextEvent(manager, &event);
            asked = event.type == MapRequest;
        }
        if (!asked) std::this_thread::sleep_for(5ms);
    }
    XCloseDisplay(manager);
    server.stop();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(asked) << "the window was never to be mapped";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: the open reported a screen on a lost server";
}

// The program draws while the server is stopped for two seconds (a stalled or remote server): its
// screen_lock waits no longer than the conversion of a pass, never for the server.
TEST(X11Session, AStoppedServerDoesNotHoldTheScreenLock) {
    PrivateServer server;
    ASSERT_TRUE(server.started()) << "no Xvfb";
    {
        DisplayFor display(server.name());
        ASSERT_EQ(screen_open_sized(640, 480, 32, 1, 0, 0), 0);
    }
    ScreenState& screen = *current_screen();
    // Draws every line for a while; the longest screen_lock wait.
    const auto draw_for = [&screen](std::chrono::milliseconds span) {
        Clock::duration longest{};
        std::uint8_t value = 0;
        for (const auto until = Clock::now() + span; Clock::now() < until;) {
            const auto asked = Clock::now();
            screen_lock();
            longest = std::max(longest, Clock::now() - asked);
            std::memset(screen.visible_fb, ++value, static_cast<std::size_t>(screen.pitch) * 480);
            screen_unlock(0, 479);
            std::this_thread::sleep_for(2ms);
        }
        return std::chrono::duration_cast<std::chrono::milliseconds>(longest);
    };
    draw_for(200ms);
    server.signal(SIGSTOP);
    // Goes on after two seconds even if the drawing is held up the whole time.
    std::thread resume([&server] {
        std::this_thread::sleep_for(2s);
        server.signal(SIGCONT);
    });
    const auto longest = draw_for(2s);
    resume.join();
    draw_for(200ms);
    screen_exit_handler();
    // A pass converts at most the whole screen under the lock: milliseconds, even under the
    // sanitizers.
    EXPECT_LT(longest.count(), 150) << "screen_lock waited for the stopped server";
}

} // namespace
} // namespace zered
