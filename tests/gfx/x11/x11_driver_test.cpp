// The X11 driver on a real X server (the test runs on a private Xvfb display): what is drawn
// reaches the window in every depth and visual, and the screens the driver takes and refuses.
#include "gfx/x11/x11_test_fixture.h"

#include <sys/shm.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace zered {
namespace {

TEST_F(X11Present, DrawnLinesOfEachDepthReachTheWindow) {
    // 8 bits through the palette, 16 bits 5-6-5, 32 bits as they are; a width that is not a
    // multiple of 4 takes the plain converters.
    for (const int depth : {8, 16, 32}) {
        for (const int width : {400, 401}) {
            SCOPED_TRACE("depth " + std::to_string(depth) + " width " + std::to_string(width));
            ASSERT_TRUE(open(width, 80, depth));
            EXPECT_EQ(attributes().width, width);
            EXPECT_EQ(attributes().height, 80);
            EXPECT_EQ(attributes().visual->c_class, TrueColor);
            Visual* default_visual = DefaultVisual(display_, DefaultScreen(display_));
            if (default_visual->c_class == TrueColor &&
                DefaultDepth(display_, DefaultScreen(display_)) <= 24) {
                EXPECT_EQ(attributes().visual, default_visual) << "the server's own visual";
            }
            int opcode, event, error;
            // Run where the server cannot attach our memory (DN_X11_NO_ATTACH), the image goes
            // through the connection although the server offers shared memory.
            const bool attachable = std::getenv("DN_X11_NO_ATTACH") == nullptr;
            EXPECT_EQ(x11_uses_shared_memory(),
                      attachable &&
                          XQueryExtension(display_, "MIT-SHM", &opcode, &event, &error) == True)
                << "shared memory wherever the server offers it";
            const ScreenState& screen = *current_screen();
            std::uint32_t value, rgb;
            if (depth == 8) {
                value = 4;
                rgb = rgb_of_entry(screen.device_palette[4]);
            } else if (depth == 16) {
                value = 0xF800 | 0x07E0; // red and green full: yellow
                rgb = 0xF8FC00; // widened by shifting, as the converters do
            } else {
                value = 0x00C08040;
                rgb = 0xC08040;
            }
            fill_line(10, value);
            fill_line(79, value);
            EXPECT_TRUE(eventually([&] { return pixel(width - 1, 79) == shown(rgb); }));
            EXPECT_EQ(pixel(0, 10), shown(rgb));
            EXPECT_EQ(pixel(0, 11), 0u) << "a line between them stays as it was";
            screen_exit_handler();
            EXPECT_EQ(x11_window_id(), 0u);
        }
    }
}

TEST_F(X11Present, AChangeAfterAQuietSpellIsPresentedWithinAPass) {
    ASSERT_TRUE(open(400, 80, 32));
    ASSERT_TRUE(passes_stop()) << "passes go on with nothing to present";
    const auto start = std::chrono::steady_clock::now();
    fill_line(40, 0x00FF00FF);
    ASSERT_TRUE(eventually([&] { return pixel(3, 40) == shown(0xFF00FF); }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 400ms)
        << "the drawing wakes the driver thread; it does not wait out its idle time";
}

TEST_F(X11Present, AWindowMadeLargerShowsTheImageInItsMiddleOnBlack) {
    ASSERT_TRUE(open(100, 40, 32));
    fill_line(0, 0x00FFFFFF);
    ASSERT_TRUE(eventually([&] { return pixel(0, 0) == 0xFFFFFFu; }));
    XResizeWindow(display_, window_, 300, 140);
    XFlush(display_);
    EXPECT_TRUE(eventually([&] { return pixel(100, 50) == 0xFFFFFFu; }));
    EXPECT_EQ(pixel(199, 50), 0xFFFFFFu);
    EXPECT_EQ(pixel(99, 50), 0u);
    EXPECT_EQ(pixel(100, 49), 0u);
    EXPECT_EQ(pixel(150, 139), 0u);
    EXPECT_EQ(pixel(299, 70), 0u);
    // The pointer is reported where it is on the image.
    pointer_to(110, 57);
    int x = 0, y = 0;
    EXPECT_TRUE(eventually([&] {
        return current_screen()->driver->get_mouse(&x, &y, nullptr, nullptr, nullptr) == 0 &&
               x == 10 && y == 7;
    })) << x << ", " << y;

    // Only taller: the image moves down to the middle.
    XResizeWindow(display_, window_, 300, 160);
    XFlush(display_);
    EXPECT_TRUE(eventually([&] { return pixel(100, 60) == 0xFFFFFFu; }));
    EXPECT_EQ(pixel(100, 50), 0u);

    // Back to its size: the image goes back to the corner, though nothing is exposed.
    XResizeWindow(display_, window_, 100, 40);
    XFlush(display_);
    EXPECT_TRUE(eventually([&] { return pixel(0, 0) == 0xFFFFFFu; }));

    // Hidden and shown again: drawn again.
    XUnmapWindow(display_, window_);
    XSync(display_, False);
    XMapWindow(display_, window_);
    XSync(display_, False);
    EXPECT_TRUE(eventually([&] { return pixel(99, 0) == 0xFFFFFFu; }));
}

// The shared segments this process made that the system still holds, with whether each is marked
// to go with its last detach (SHM_DEST in its mode).
std::vector<bool> own_shared_segments() {
    std::vector<bool> marked;
    std::ifstream table("/proc/sysvipc/shm");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        long key = 0, id = 0, size = 0, creator = 0;
        unsigned mode = 0;
        fields >> key >> id >> std::oct >> mode >> std::dec >> size >> creator;
        if (fields && creator == getpid()) marked.push_back((mode & SHM_DEST) != 0);
    }
    return marked;
}

TEST_F(X11Present, TheSmallestScreensOpenAndTheSharedImageGoesWithThem) {
    for (const auto& size : {std::pair{1, 30}, std::pair{30, 1}}) {
        const int width = size.first, height = size.second; // clang captures no bindings
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        ASSERT_TRUE(open(width, height, 32));
        EXPECT_EQ(attributes().width, width);
        fill_line(height - 1, 0x00FFFFFF);
        EXPECT_TRUE(eventually([&] { return pixel(width - 1, height - 1) == 0xFFFFFFu; }));
        // Marked for removal while attached: a process that dies leaves nothing behind.
        if (x11_uses_shared_memory()) {
            EXPECT_EQ(own_shared_segments(), std::vector<bool>{true});
        }
        screen_exit_handler();
        EXPECT_FALSE(x11_uses_shared_memory());
        EXPECT_TRUE(own_shared_segments().empty());
    }
}

TEST_F(X11Present, APaletteChangeOnAPalettisedScreenRedrawsEveryLine) {
    ASSERT_TRUE(open(400, 80, 8));
    fill_line(3, 9);
    fill_line(60, 9);
    ScreenState& screen = *current_screen();
    ASSERT_TRUE(eventually([&] { return pixel(7, 60) == shown(rgb_of_entry(screen.device_palette[9])); }));

    // A new colour for value 9 and no line marked: the driver itself redraws.
    screen_lock();
    palette_store(screen, 9, palette_pack(0x10, 0x80, 0xF0));
    screen_unlock(1, 0);
    EXPECT_TRUE(eventually([&] { return pixel(7, 3) == shown(0x1080F0); }));
    EXPECT_EQ(pixel(7, 60), shown(0x1080F0));

    // Set outside the screen lock, after a quiet spell: the change itself wakes the driver.
    ASSERT_TRUE(passes_stop());
    const auto start = std::chrono::steady_clock::now();
    palette_set_rgb(9, 0xF0, 0x10, 0x80);
    EXPECT_TRUE(eventually([&] { return pixel(7, 3) == shown(0xF01080); }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 600ms) << "not at the end of the idle wait";
}

TEST(X11Driver, OpenGLAndShapedScreensAreNotItsToShow) {
    for (const ModeFlags flags : {MODE_OPENGL, MODE_SHAPED_WINDOW}) {
        EXPECT_NE(screen_open_sized(64, 32, 32, 1, flags, 0), 0) << "flags " << flags;
        EXPECT_EQ(current_screen(), nullptr);
        EXPECT_EQ(x11_window_id(), 0u);
        screen_exit_handler();
    }
}

// A server whose visuals the driver cannot draw in (an 8-bit PseudoColor screen has only 8-bit
// ones) gets no window: the screen does not open, and nothing is left behind.
TEST(X11Driver, AScreenOpensWhereTheServerHasATrueColorVisualOfItsDepths) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "no X display";
    bool drawable = false;
    for (const int depth : {15, 16, 24, 32}) {
        XVisualInfo info{};
        drawable = drawable || XMatchVisualInfo(display, DefaultScreen(display), depth, TrueColor,
                                                &info);
    }
    XCloseDisplay(display);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(screen_open_sized(64, 32, 32, 1, 0, 0) == 0, drawable);
        EXPECT_EQ(x11_window_id() != 0, drawable);
        screen_exit_handler();
        EXPECT_EQ(x11_window_id(), 0u);
    }
}

TEST(X11Driver, WithoutADisplayNoScreenOpens) {
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    unsetenv("DISPLAY");
    EXPECT_NE(screen_open_sized(400, 80, 8, 1, 0, 0), 0);
    EXPECT_EQ(current_screen(), nullptr);
    if (saved) setenv("DISPLAY", display.c_str(), 1);
}

} // namespace
} // namespace zered
