#include "gfx/core/ddraw_modes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include "gfx/console/key_input.h"
#include "gfx/core/test_screen.h"

namespace {

using namespace zered;

std::vector<DisplayModeTry> tries(int width, int height, int depth) {
    const DisplayModeSearch search = display_mode_search(width, height, depth);
    return {search.begin(), search.end()};
}

TEST(DisplayModeSearch, TallerHeightsInOrderAlternateDepthsFirstVgaFormOnlyFor320By200) {
    // 640 by 400 on a display without that mode: 480 is next, the picture 40 lines down.
    EXPECT_EQ(tries(640, 400, 8), (std::vector<DisplayModeTry>{
                                      {640, 400, 8}, {640, 480, 8}, {640, 600, 8},
                                      {640, 768, 8}, {640, 1024, 8}}));
    EXPECT_EQ(vertical_offset_for(480, 400), 40);
    EXPECT_EQ(vertical_offset_for(240, 239), 0) << "odd differences round down";
    EXPECT_EQ(tries(800, 500, 8).at(1).height, 600);
    EXPECT_EQ(tries(1280, 1024, 8).size(), 1u) << "nothing above 1024 lines";
    EXPECT_EQ(tries(1280, 1100, 8).size(), 1u);

    // Each height with the depth, then its alternate, before going taller.
    EXPECT_EQ(tries(640, 480, 16), (std::vector<DisplayModeTry>{
                                       {640, 480, 16}, {640, 480, 15}, {640, 600, 16},
                                       {640, 600, 15}, {640, 768, 16}, {640, 768, 15},
                                       {640, 1024, 16}, {640, 1024, 15}}));
    EXPECT_EQ(tries(640, 480, 15)[1].depth, 16);
    EXPECT_EQ(tries(640, 480, 32)[1].depth, 24);
    EXPECT_EQ(tries(640, 480, 24)[1].depth, 32);

    const auto vga = tries(320, 200, 8);
    EXPECT_TRUE(vga[0].standard_vga);
    EXPECT_EQ(vga[1], (DisplayModeTry{320, 240, 8, false})) << "not once the height is raised";
    EXPECT_FALSE(tries(320, 200, 16)[0].standard_vga);
    EXPECT_FALSE(tries(640, 200, 8)[0].standard_vga);
}

TEST(DisplayFormat, FifteenBitsByTheGreenMaskAndRedLowByBitCount) {
    EXPECT_EQ(classify_display_format(16, 0x7C00, 0x3E0), (DisplayFormat{15, false}));
    EXPECT_EQ(classify_display_format(16, 0xF800, 0x7E0), (DisplayFormat{16, false}));
    EXPECT_EQ(classify_display_format(16, 0x1F, 0x3E0), (DisplayFormat{15, true}));
    EXPECT_EQ(display_mode_depth(32, 0x3E0), 32) << "only 16-bit modes are told apart by green";

    EXPECT_EQ(classify_display_format(8, 0, 0), (DisplayFormat{8, false}));
    EXPECT_EQ(classify_display_format(32, 0xFF0000, 0xFF00), (DisplayFormat{32, false}));
    EXPECT_EQ(classify_display_format(32, 0xFF, 0xFF00), (DisplayFormat{32, true}));
    EXPECT_EQ(classify_display_format(24, 0x1F, 0xFF00), (DisplayFormat{24, true}));
    // 17 to 23 bits know only the 5-bit red mask; up to 15 bits are never red-low.
    EXPECT_EQ(classify_display_format(18, 0x1F, 0), (DisplayFormat{18, true}));
    EXPECT_EQ(classify_display_format(18, 0xFF, 0), (DisplayFormat{18, false}));
    EXPECT_EQ(classify_display_format(15, 0x1F, 0x3E0), (DisplayFormat{15, false}));
}

TEST(ClipBlit, KeepsThePartOnTheSurfaceWithTheMatchingSource) {
    const BlitRect screen{0, 0, 1024, 768};
    BlitRect target{1000, 700, 1400, 780}, source{0, 0, 400, 80};
    ASSERT_TRUE(clip_blit(target, source, screen));
    EXPECT_EQ(target, (BlitRect{1000, 700, 1024, 768}));
    EXPECT_EQ(source, (BlitRect{0, 0, 24, 68}));
    // Stretched twice: 100 target pixels cut off the left are 50 source pixels.
    target = {-100, -10, 700, 150};
    source = {0, 0, 400, 80};
    ASSERT_TRUE(clip_blit(target, source, screen));
    EXPECT_EQ(target, (BlitRect{0, 0, 700, 150}));
    EXPECT_EQ(source, (BlitRect{50, 5, 400, 80}));
    // A one-pixel sliver of a shrunk blit still takes a source pixel.
    target = {1023, 0, 1223, 40};
    source = {0, 0, 400, 80};
    ASSERT_TRUE(clip_blit(target, source, screen));
    EXPECT_EQ(source, (BlitRect{0, 0, 2, 80}));

    target = {1024, 0, 1424, 80};
    EXPECT_FALSE(clip_blit(target, source, screen));
    EXPECT_EQ(target, (BlitRect{1024, 0, 1424, 80})) << "left alone when nothing is drawn";
    target = {0, 0, 0, 80};
    EXPECT_FALSE(clip_blit(target, source, screen)) << "a minimised window's empty client area";
    target = {0, 0, 400, 80};
    source = {10, 0, 10, 80};
    EXPECT_FALSE(clip_blit(target, source, screen)) << "nothing to take from an empty source";
}

TEST(KeyboardState, AnExtendedKeyAndItsBaseShareOneEntry) {
    std::uint8_t device[keyboard_device_keys] = {};
    std::vector<std::uint8_t> key_state(128, 0x55);
    device[0xCB] = 0x80;
    device[0x1E] = 0x7F; // bit 7 clear: up, whatever the rest says
    device[0x80 + 0x1C] = 0x81;
    fold_keyboard_state(device, key_state.data());
    for (int i = 0; i < 128; ++i) EXPECT_EQ(key_state[i], i == 0x4B || i == 0x1C ? 1 : 0) << i;
    device[0xCB] = 0;
    device[0x4B] = 0x80;
    fold_keyboard_state(device, key_state.data());
    EXPECT_EQ(key_state[0x4B], 1);
}

TEST(KeyboardState, DriverStoresRaceNothingWithTheLockFreeReader) {
    // The program's thread asks key_down while the driver's thread folds new states in; under the
    // thread sanitizer a plain store here is a reported race. Relaxed flags, so that nothing but
    // the stores themselves orders the two threads.
    test::TestScreen screen;
    std::uint8_t device[keyboard_device_keys] = {};
    device[0x1E] = 0x80;
    std::atomic<bool> started{false}, stop{false};
    std::thread driver([&] {
        started.store(true, std::memory_order_relaxed);
        while (!stop.load(std::memory_order_relaxed))
            fold_keyboard_state(device, screen->key_state.data());
    });
    while (!started.load(std::memory_order_relaxed)) {
    }
    for (int read = 0; read < 2000; ++read)
        key_down(0x1E);
    stop.store(true, std::memory_order_relaxed);
    driver.join();
    EXPECT_EQ(key_down(0x1E), -1);
}

TEST(RefreshRate, ZeroAndOneSayNothingOfTheRate) {
    for (const auto& [reported, kept] :
         {std::pair{0, 0}, std::pair{1, 0}, std::pair{-1, 0}, std::pair{2, 2}, std::pair{60, 60}})
        EXPECT_EQ(known_refresh_rate(reported), kept) << reported;
}

} // namespace

namespace {

// A list given up starts again empty; what it handed over is the caller's, in order.
TEST(DisplaySizeList, GrowsInOrderAndStartsEmptyAfterRelease) {
    zered::DisplaySizeList list;
    int count = -1;
    EXPECT_EQ(list.release(&count), nullptr);
    EXPECT_EQ(count, 0);
    for (const auto& [width, height] : {std::pair{640u, 480u}, {800u, 600u}})
        ASSERT_TRUE(list.append(width, height));
    std::uint32_t* first = list.release(&count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::vector<std::uint32_t>(first, first + 2),
              (std::vector<std::uint32_t>{640u << 16 | 480u, 800u << 16 | 600u}));
    std::free(first);
    EXPECT_EQ(list.count(), 0);
    ASSERT_TRUE(list.append(1024, 768));
    std::uint32_t* second = list.release(&count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(second[0], 1024u << 16 | 768u);
    std::free(second);
}

} // namespace
