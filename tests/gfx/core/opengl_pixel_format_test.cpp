#include "gfx/core/opengl_pixel_format.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace zered;

TEST(OpenGLExtensions, NameMustEndAtASpaceOrTheEndOfTheList) {
    const std::string list = "GL_EXT_bgra_ext GL_ARB_multitexture WGL_ARB_pixel_format";
    EXPECT_FALSE(extension_present(list, "GL_EXT_bgra")) << "only the start of a longer name";
    EXPECT_TRUE(extension_present(list, "WGL_ARB_pixel_format")) << "ends the list";
    EXPECT_TRUE(extension_present(list, "GL_ARB_multitexture"));
    EXPECT_FALSE(extension_present(list, "WGL_ARB_pixel_format_float"));
    // A longer name first does not hide the exact one later on.
    EXPECT_TRUE(extension_present("GL_EXT_bgra_ext GL_EXT_bgra ", "GL_EXT_bgra"));
    EXPECT_FALSE(extension_present("GL_EXT_bgraGL_EXT_bgrab", "GL_EXT_bgra"));
    EXPECT_FALSE(extension_present("", "GL_EXT_bgra"));
    EXPECT_FALSE(extension_present("GL_EXT_bgra ", "")) << "an empty name must not loop or match";
}

TEST(OpenGLExtensions, ListJoinsBothStringsApartAndStaysWithinItsLimit) {
    const std::string joined = build_extension_list("GL_A GL_EXT_bgra", "WGL_ARB_pixel_format");
    EXPECT_EQ(joined, "GL_A GL_EXT_bgra WGL_ARB_pixel_format");
    EXPECT_TRUE(extension_present(joined, "GL_EXT_bgra"));
    EXPECT_EQ(build_extension_list("GL_A ", "WGL_B"), "GL_A WGL_B");
    EXPECT_EQ(build_extension_list(nullptr, "WGL_B"), "WGL_B");
    EXPECT_EQ(build_extension_list("GL_A", nullptr), "GL_A");
    EXPECT_EQ(build_extension_list("GL_A", ""), "GL_A");

    const std::string long_gl(extension_list_limit + 100, 'g');
    EXPECT_EQ(build_extension_list(long_gl.c_str(), "WGL_B"), long_gl.substr(0, extension_list_limit));
    const std::string nearly(extension_list_limit - 3, 'g');
    EXPECT_EQ(build_extension_list(nearly.c_str(), "WGL_B"), nearly + " WG");
}

PixelRequest defaults(int depth, ModeFlags flags, PixelRequest request = {}) {
    apply_pixel_request_defaults(request, depth, flags);
    return request;
}

TEST(OpenGLPixelRequest, ColourSizesFollowTheScreenDepth) {
    const PixelRequest sixteen = defaults(16, 0);
    EXPECT_EQ(sixteen.colour, 16);
    EXPECT_EQ(sixteen.red, 5);
    EXPECT_EQ(sixteen.green, 5);
    EXPECT_EQ(sixteen.blue, 5);
    EXPECT_EQ(sixteen.alpha, 0);
    EXPECT_EQ(sixteen.depth, 16);
    EXPECT_EQ(sixteen.accum, 0);
    EXPECT_EQ(sixteen.stencil, 0);
    EXPECT_EQ(sixteen.samples, 0);

    const PixelRequest full = defaults(32, 0);
    EXPECT_EQ(full.colour, 32);
    EXPECT_EQ(full.red, 8);
    EXPECT_EQ(full.alpha, 8);

    // Row boundaries: 24 bits has no alpha, 8 bits no channels; an oversized total stays on row 3.
    EXPECT_EQ(defaults(24, 0).red, 8);
    EXPECT_EQ(defaults(24, 0).alpha, 0);
    EXPECT_EQ(defaults(8, 0).red, 0);
    EXPECT_EQ(defaults(9, 0).red, 5);
    EXPECT_EQ(defaults(64, 0).alpha, 8);
}

TEST(OpenGLPixelRequest, GivenSizesStayAndDecideTheRest) {
    // Channels given: the colour total is their sum, whatever the screen's depth.
    const PixelRequest channels = defaults(32, 0, {.red = 5, .green = 6, .blue = 5});
    EXPECT_EQ(channels.colour, 16);
    EXPECT_EQ(channels.green, 6);
    EXPECT_EQ(channels.alpha, 0);
    const PixelRequest given = defaults(16, MODE_STENCIL_BUFFER | MODE_MULTISAMPLE,
                                        {.colour = 32, .alpha = 1, .depth = 24, .stencil = 1,
                                         .samples = 8});
    EXPECT_EQ(given.red, 8);
    EXPECT_EQ(given.alpha, 1);
    EXPECT_EQ(given.depth, 24);
    EXPECT_EQ(given.stencil, 1);
    EXPECT_EQ(given.samples, 8);
}

TEST(OpenGLPixelRequest, AccumulationStencilAndSamplesComeWithTheirFlags) {
    const PixelRequest flagged =
        defaults(16, MODE_ACCUMULATION_BUFFER | MODE_STENCIL_BUFFER | MODE_MULTISAMPLE);
    EXPECT_EQ(flagged.accum, 32);
    EXPECT_EQ(flagged.accum_red, 8);
    EXPECT_EQ(flagged.accum_green, 8);
    EXPECT_EQ(flagged.accum_blue, 8);
    EXPECT_EQ(flagged.accum_alpha, 8);
    EXPECT_EQ(flagged.stencil, 8);
    EXPECT_EQ(flagged.samples, 4);

    // Channel sizes given without the flag: the total is their sum, the others from its row.
    const PixelRequest sum = defaults(32, 0, {.accum_red = 6, .accum_green = 6, .accum_blue = 4});
    EXPECT_EQ(sum.accum, 16);
    EXPECT_EQ(sum.accum_red, 6);
    EXPECT_EQ(sum.accum_alpha, 0);
    const PixelRequest total = defaults(32, 0, {.accum = 24});
    EXPECT_EQ(total.accum_red, 8);
    EXPECT_EQ(total.accum_alpha, 0);
}

std::map<int, int> as_pairs(const PixelFormatAttributes& list) {
    std::map<int, int> pairs;
    for (int i = 0; i + 1 < list.count; i += 2) pairs[list.values[i]] = list.values[i + 1];
    return pairs;
}

TEST(OpenGLPixelFormatAttributes, FixedPairsFirstOptionalOnesOnlyWhenAsked) {
    PixelRequest sixteen = defaults(16, 0);
    const PixelFormatAttributes plain = build_pixel_format_attributes(sixteen);
    ASSERT_EQ(plain.count, 19);
    EXPECT_EQ(plain.values[18], 0);
    EXPECT_EQ(std::vector<int>(plain.values.begin(), plain.values.begin() + 6),
              (std::vector<int>{WGL_DRAW_TO_WINDOW_ARB, 1, WGL_ACCELERATION_ARB,
                                WGL_FULL_ACCELERATION_ARB, WGL_DOUBLE_BUFFER_ARB, 1}));
    EXPECT_EQ(as_pairs(plain), (std::map<int, int>{{WGL_DRAW_TO_WINDOW_ARB, 1},
                                                   {WGL_ACCELERATION_ARB, WGL_FULL_ACCELERATION_ARB},
                                                   {WGL_DOUBLE_BUFFER_ARB, 1},
                                                   {WGL_COLOR_BITS_ARB, 16},
                                                   {WGL_RED_BITS_ARB, 5},
                                                   {WGL_GREEN_BITS_ARB, 5},
                                                   {WGL_BLUE_BITS_ARB, 5},
                                                   {WGL_ALPHA_BITS_ARB, 0},
                                                   {WGL_DEPTH_BITS_ARB, 16}}));
    EXPECT_EQ(plain.samples_index, -1);

    const PixelRequest all = defaults(
        32, MODE_ACCUMULATION_BUFFER | MODE_STENCIL_BUFFER | MODE_MULTISAMPLE);
    const PixelFormatAttributes full = build_pixel_format_attributes(all);
    ASSERT_EQ(full.count, 19 + 6 * 2 + 4);
    EXPECT_EQ(full.values[full.count - 1], 0);
    const auto pairs = as_pairs(full);
    EXPECT_EQ(pairs.at(WGL_ACCUM_BITS_ARB), 32);
    EXPECT_EQ(pairs.at(WGL_ACCUM_ALPHA_BITS_ARB), 8);
    EXPECT_EQ(pairs.at(WGL_STENCIL_BITS_ARB), 8);
    EXPECT_EQ(pairs.at(WGL_SAMPLE_BUFFERS_ARB), 1);
    // The samples value comes last, right after the sample-buffer pair.
    EXPECT_EQ(full.values[full.count - 5], WGL_SAMPLE_BUFFERS_ARB);
    EXPECT_EQ(full.values[full.count - 3], WGL_SAMPLES_ARB);
    EXPECT_EQ(full.samples_index, full.count - 2);
    EXPECT_EQ(full.values[full.samples_index], 4);
}

// A chooser that refuses everything until the samples value is one it accepts.
struct FakeChooser {
    explicit FakeChooser(int at, int accept = -1000) : samples_at(at), accept_samples(accept) {}
    int samples_at;
    int accept_samples; // the default: never
    FormatChoice accepted{true, 7, 1};
    FormatChoice refused{false, 0, 0};
    std::vector<int> asked;
    FormatChoice operator()(const int* list) {
        const int samples = samples_at < 0 ? 0 : list[samples_at];
        asked.push_back(samples);
        return samples == accept_samples ? accepted : refused;
    }
};

TEST(OpenGLPixelFormatChoice, MultisampleRetriesFourTwoZeroThenTheClassicChoice) {
    PixelFormatAttributes list = build_pixel_format_attributes(defaults(32, MODE_MULTISAMPLE));
    FakeChooser chooser(list.samples_index);
    const PixelFormatPick pick = pick_pixel_format(list, std::ref(chooser));
    EXPECT_EQ(chooser.asked, (std::vector<int>{4, 2, 0}));
    EXPECT_EQ(pick.format, 0) << "nothing found: the classic choice follows";
    EXPECT_FALSE(pick.multisample());

    // A call that succeeds but finds no format is retried like a failed one.
    PixelFormatAttributes empty = build_pixel_format_attributes(defaults(32, MODE_MULTISAMPLE));
    FakeChooser none(empty.samples_index);
    none.refused = {true, 5, 0};
    EXPECT_EQ(pick_pixel_format(empty, std::ref(none)).format, 0);
    EXPECT_EQ(none.asked.size(), 3u);

    // An odd count ends below zero and must not switch multisampling on.
    PixelFormatAttributes odd = build_pixel_format_attributes(defaults(32, 0, {.samples = 3}));
    FakeChooser three(odd.samples_index);
    const PixelFormatPick odd_pick = pick_pixel_format(odd, std::ref(three));
    EXPECT_EQ(three.asked, (std::vector<int>{3, 1}));
    EXPECT_FALSE(odd_pick.multisample());
}

TEST(OpenGLPixelFormatChoice, TakesTheFirstFormatFoundAndStopsOnAFormatOfZero) {
    PixelFormatAttributes list = build_pixel_format_attributes(defaults(32, MODE_MULTISAMPLE));
    FakeChooser two(list.samples_index, 2);
    const PixelFormatPick pick = pick_pixel_format(list, std::ref(two));
    EXPECT_EQ(two.asked, (std::vector<int>{4, 2}));
    EXPECT_EQ(pick.format, 7);
    EXPECT_TRUE(pick.multisample());
    EXPECT_EQ(list.values[list.samples_index], 2);

    PixelFormatAttributes zero_list = build_pixel_format_attributes(defaults(32, MODE_MULTISAMPLE));
    FakeChooser zero(zero_list.samples_index, 4);
    zero.accepted = {true, 0, 1};
    EXPECT_EQ(pick_pixel_format(zero_list, std::ref(zero)).format, 0);
    EXPECT_EQ(zero.asked.size(), 1u) << "a format of 0 goes straight to the classic choice";

    // Without samples there is one call only, and no multisampling whatever it finds.
    PixelFormatAttributes single = build_pixel_format_attributes(defaults(32, 0));
    FakeChooser once(single.samples_index);
    EXPECT_EQ(pick_pixel_format(single, std::ref(once)).format, 0);
    EXPECT_EQ(once.asked.size(), 1u);
    FakeChooser takes(single.samples_index, 0);
    const PixelFormatPick plain = pick_pixel_format(single, std::ref(takes));
    EXPECT_EQ(plain.format, 7);
    EXPECT_FALSE(plain.multisample());
}

} // namespace
