#include "gfx/core/ddraw_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

using namespace zered;

std::vector<DisplayModeTry> tries(int width, int height, int depth) {
    const DisplayModeSearch search = display_mode_search(width, height, depth);
    return {search.begin(), search.end()};
}

// The first try a display that offers only the given modes accepts, as the driver runs the search.
const DisplayModeTry* first_accepted(const DisplayModeSearch& search,
                                     const std::vector<DisplayModeTry>& offered) {
    for (const DisplayModeTry& t : search)
        for (const DisplayModeTry& o : offered)
            if (t.width == o.width && t.height == o.height && t.depth == o.depth) return &t;
    return nullptr;
}

TEST(DisplayModeSearch, RaisesTheHeightThroughTheStandardHeightsKeepingTheWidth) {
    EXPECT_EQ(tries(640, 400, 8), (std::vector<DisplayModeTry>{
                                      {640, 400, 8}, {640, 480, 8}, {640, 600, 8},
                                      {640, 768, 8}, {640, 1024, 8}}));
    // 640 by 400 on a display without that mode lands on 480, the picture 40 lines down.
    const DisplayModeSearch search = display_mode_search(640, 400, 8);
    const DisplayModeTry* found = first_accepted(search, {{640, 600, 8}, {640, 480, 8}});
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->height, 480);
    EXPECT_EQ(vertical_offset_for(found->height, 400), 40);
    EXPECT_EQ(vertical_offset_for(400, 400), 0);
    EXPECT_EQ(vertical_offset_for(240, 239), 0) << "odd differences round down";

    // A height between two standard ones goes to the next; 1024 and above is the last try.
    EXPECT_EQ(tries(800, 500, 8).at(1).height, 600);
    EXPECT_EQ(tries(1280, 1024, 8).size(), 1u);
    EXPECT_EQ(tries(1280, 1100, 8).size(), 1u);
    EXPECT_EQ(first_accepted(display_mode_search(1280, 1024, 8), {{1280, 1200, 8}}), nullptr);
}

TEST(DisplayModeSearch, TriesTheAlternateDepthAtEachHeightBeforeGoingTaller) {
    const auto sixteen = tries(640, 480, 16);
    ASSERT_EQ(sixteen.size(), 8u);
    EXPECT_EQ(sixteen[0], (DisplayModeTry{640, 480, 16}));
    EXPECT_EQ(sixteen[1], (DisplayModeTry{640, 480, 15}));
    EXPECT_EQ(sixteen[2], (DisplayModeTry{640, 600, 16}));
    EXPECT_EQ(tries(640, 480, 15)[1].depth, 16);
    EXPECT_EQ(tries(640, 480, 32)[1].depth, 24);
    EXPECT_EQ(tries(640, 480, 24)[1].depth, 32);
    EXPECT_EQ(alternate_depth(8), 0);
}

TEST(DisplayModeSearch, OnlyThe320By200By8ModeAsksForTheVgaForm) {
    const auto vga = tries(320, 200, 8);
    ASSERT_EQ(vga.size(), 6u);
    EXPECT_TRUE(vga[0].standard_vga);
    EXPECT_EQ(vga[1], (DisplayModeTry{320, 240, 8, false})) << "not once the height is raised";
    EXPECT_FALSE(tries(320, 200, 16)[0].standard_vga);
    EXPECT_FALSE(tries(320, 200, 16)[1].standard_vga);
    EXPECT_FALSE(tries(640, 200, 8)[0].standard_vga);
}

TEST(DisplayFormat, SixteenBitsWithAFiveBitGreenAreFifteen) {
    EXPECT_EQ(classify_display_format(16, 0x7C00, 0x3E0), (DisplayFormat{15, false}));
    EXPECT_EQ(classify_display_format(16, 0xF800, 0x7E0), (DisplayFormat{16, false}));
    EXPECT_EQ(classify_display_format(16, 0x1F, 0x3E0), (DisplayFormat{15, true}));
    EXPECT_EQ(classify_display_format(16, 0x1F, 0x7E0), (DisplayFormat{16, true}));
    EXPECT_EQ(display_mode_depth(16, 0x3E0), 15);
    EXPECT_EQ(display_mode_depth(16, 0x7E0), 16);
    EXPECT_EQ(display_mode_depth(32, 0x3E0), 32) << "only 16-bit modes are told apart by green";
}

TEST(DisplayFormat, RedLowRulesByBitCount) {
    EXPECT_EQ(classify_display_format(8, 0, 0), (DisplayFormat{8, false}));
    EXPECT_EQ(classify_display_format(32, 0xFF0000, 0xFF00), (DisplayFormat{32, false}));
    EXPECT_EQ(classify_display_format(32, 0xFF, 0xFF00), (DisplayFormat{32, true}));
    EXPECT_EQ(classify_display_format(24, 0xFF, 0xFF00), (DisplayFormat{24, true}));
    EXPECT_EQ(classify_display_format(24, 0x1F, 0xFF00), (DisplayFormat{24, true}));
    EXPECT_EQ(classify_display_format(24, 0xFF0000, 0xFF00), (DisplayFormat{24, false}));
    // 17 to 23 bits only know the 5-bit red mask; up to 15 bits never count as red-low.
    EXPECT_EQ(classify_display_format(18, 0x1F, 0), (DisplayFormat{18, true}));
    EXPECT_EQ(classify_display_format(18, 0xFF, 0), (DisplayFormat{18, false}));
    EXPECT_EQ(classify_display_format(15, 0x1F, 0x3E0), (DisplayFormat{15, false}));
    EXPECT_EQ(classify_display_format(4, 0x1, 0), (DisplayFormat{4, false}));
}

TEST(ClipBlit, KeepsThePartOnTheSurfaceWithTheMatchingSource) {
    const BlitRect screen{0, 0, 1024, 768};
    // One to one, hanging over the right and bottom edges.
    BlitRect target{1000, 700, 1400, 780}, source{0, 0, 400, 80};
    ASSERT_TRUE(clip_blit(target, source, screen));
    EXPECT_EQ(target, (BlitRect{1000, 700, 1024, 768}));
    EXPECT_EQ(source, (BlitRect{0, 0, 24, 68}));
    // Over the left and top edges.
    target = {-10, -5, 390, 75};
    source = {0, 0, 400, 80};
    ASSERT_TRUE(clip_blit(target, source, screen));
    EXPECT_EQ(target, (BlitRect{0, 0, 390, 75}));
    EXPECT_EQ(source, (BlitRect{10, 5, 400, 80}));
    // Inside: unchanged.
    target = {10, 10, 410, 90};
    source = {0, 0, 400, 80};
    ASSERT_TRUE(clip_blit(target, source, screen));
    EXPECT_EQ(target, (BlitRect{10, 10, 410, 90}));
    EXPECT_EQ(source, (BlitRect{0, 0, 400, 80}));
}

TEST(ClipBlit, StretchedBlitsCutTheSourceInProportionAndNothingOutsideIsDrawn) {
    const BlitRect screen{0, 0, 1024, 768};
    // Twice the size: 100 target pixels cut off the left are 50 source pixels.
    BlitRect target{-100, 0, 700, 160}, source{0, 0, 400, 80};
    ASSERT_TRUE(clip_blit(target, source, screen));
    EXPECT_EQ(target.left, 0);
    EXPECT_EQ(source, (BlitRect{50, 0, 400, 80}));
    // A sliver of one target pixel of a shrunk blit still takes a source pixel.
    target = {1023, 0, 1223, 40};
    source = {0, 0, 400, 80};
    ASSERT_TRUE(clip_blit(target, source, screen));
    EXPECT_EQ(target, (BlitRect{1023, 0, 1024, 40}));
    EXPECT_EQ(source, (BlitRect{0, 0, 2, 80}));

    target = {1024, 0, 1424, 80};
    source = {0, 0, 400, 80};
    EXPECT_FALSE(clip_blit(target, source, screen));
    EXPECT_EQ(target, (BlitRect{1024, 0, 1424, 80})) << "left alone when nothing is drawn";
    target = {0, 0, 0, 80};
    EXPECT_FALSE(clip_blit(target, source, screen)) << "a minimised window's empty client area";
}

TEST(KeyboardState, AnExtendedKeyAndItsBaseShareOneEntry) {
    std::uint8_t device[keyboard_device_keys] = {};
    std::uint8_t key_state[128];
    std::fill(std::begin(key_state), std::end(key_state), 0x55);
    device[0x4B] = 0x80;
    device[0xCB] = 0x80;
    device[0x1E] = 0x7F; // bit 7 clear: up, whatever the rest says
    device[0x80 + 0x1C] = 0x81;
    fold_keyboard_state(device, key_state);
    for (int i = 0; i < 128; ++i) {
        const int expected = i == 0x4B || i == 0x1C ? 1 : 0;
        EXPECT_EQ(key_state[i], expected) << "key " << i;
    }
    device[0x4B] = 0;
    fold_keyboard_state(device, key_state);
    EXPECT_EQ(key_state[0x4B], 1) << "the extended key alone still holds it";
    device[0xCB] = 0;
    fold_keyboard_state(device, key_state);
    EXPECT_EQ(key_state[0x4B], 0);
}

TEST(DisplaySizeList, PacksInOrderAndHandsTheListOver) {
    DisplaySizeList list;
    int count = -1;
    EXPECT_EQ(list.release(&count), nullptr);
    EXPECT_EQ(count, 0);
    ASSERT_TRUE(list.append(640, 480));
    ASSERT_TRUE(list.append(1280, 1024));
    ASSERT_TRUE(list.append(640, 480));
    std::uint32_t* modes = list.release(&count);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(modes[0], 0x028001E0u);
    EXPECT_EQ(modes[1], 0x05000400u);
    EXPECT_EQ(modes[2], 0x028001E0u);
    EXPECT_EQ(list.count(), 0);
    std::free(modes);
}

} // namespace
