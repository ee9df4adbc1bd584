#include "gfx/core/opengl_pixel_format.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace zered;

TEST(OpenGLExtensions, NamesEndAtASpaceOrTheEndAndTheTwoStringsStayApart) {
    const std::string list = "GL_EXT_bgra_ext GL_ARB_multitexture WGL_ARB_pixel_format";
    EXPECT_FALSE(extension_present(list, "GL_EXT_bgra")) << "only the start of a longer name";
    EXPECT_TRUE(extension_present(list, "WGL_ARB_pixel_format")) << "ends the list";
    EXPECT_TRUE(extension_present(list, "GL_ARB_multitexture"));
    EXPECT_TRUE(extension_present("GL_EXT_bgra_ext GL_EXT_bgra ", "GL_EXT_bgra"))
        << "a longer name first does not hide the exact one";
    EXPECT_FALSE(extension_present("GL_EXT_bgra ", "")) << "an empty name must not loop or match";

    EXPECT_EQ(build_extension_list("GL_A GL_EXT_bgra", "WGL_B"), "GL_A GL_EXT_bgra WGL_B");
    EXPECT_EQ(build_extension_list("GL_A ", "WGL_B"), "GL_A WGL_B");
    EXPECT_EQ(build_extension_list(nullptr, "WGL_B"), "WGL_B");
    EXPECT_EQ(build_extension_list("GL_A", nullptr), "GL_A");
    const std::string nearly(extension_list_limit - 3, 'g');
    EXPECT_EQ(build_extension_list(nearly.c_str(), "WGL_B"), nearly + " WG");
}

PixelRequest defaults(int depth, ModeFlags flags, PixelRequest request = {}) {
    apply_pixel_request_defaults(request, depth, flags);
    return request;
}

TEST(OpenGLPixelRequest, DefaultsFollowTheDepthAndTheFlagsAndKeepGivenSizes) {
    EXPECT_EQ(defaults(16, 0), (PixelRequest{.colour = 16, .red = 5, .green = 5, .blue = 5, .depth = 16}));
    EXPECT_EQ(defaults(32, 0),
              (PixelRequest{.colour = 32, .red = 8, .green = 8, .blue = 8, .alpha = 8, .depth = 16}));
    EXPECT_EQ(defaults(24, 0), (PixelRequest{.colour = 24, .red = 8, .green = 8, .blue = 8, .depth = 16}));
    EXPECT_EQ(defaults(8, 0), (PixelRequest{.colour = 8, .depth = 16}));

    const PixelRequest flagged =
        defaults(16, MODE_ACCUMULATION_BUFFER | MODE_STENCIL_BUFFER | MODE_MULTISAMPLE);
    EXPECT_EQ(flagged.accum, 32);
    EXPECT_EQ(flagged.accum_red, 8);
    EXPECT_EQ(flagged.accum_alpha, 8);
    EXPECT_EQ(flagged.stencil, 8);
    EXPECT_EQ(flagged.samples, 4);

    // Given channels make the totals; the rest comes from the total's row.
    const PixelRequest given =
        defaults(32, MODE_MULTISAMPLE, {.red = 5, .green = 6, .blue = 5, .accum_red = 6,
                                        .accum_green = 6, .accum_blue = 4, .samples = 8});
    EXPECT_EQ(given.colour, 16);
    EXPECT_EQ(given.alpha, 0);
    EXPECT_EQ(given.accum, 16);
    EXPECT_EQ(given.accum_alpha, 0);
    EXPECT_EQ(given.samples, 8);

    // Alpha counts in both totals.
    const PixelRequest with_alpha =
        defaults(32, 0, {.red = 5, .green = 5, .blue = 5, .alpha = 1, .accum_red = 10,
                         .accum_green = 10, .accum_blue = 10, .accum_alpha = 2});
    EXPECT_EQ(with_alpha.colour, 16);
    EXPECT_EQ(with_alpha.accum, 32);
}

TEST(OpenGLPixelFormatAttributes, FixedPairsFirstOptionalOnesOnlyWhenAsked) {
    const PixelFormatAttributes plain = build_pixel_format_attributes(defaults(16, 0));
    EXPECT_EQ(std::vector<int>(plain.values.begin(), plain.values.begin() + plain.count),
              (std::vector<int>{WGL_DRAW_TO_WINDOW_ARB, 1, WGL_ACCELERATION_ARB,
                                WGL_FULL_ACCELERATION_ARB, WGL_DOUBLE_BUFFER_ARB, 1,
                                WGL_COLOR_BITS_ARB, 16, WGL_RED_BITS_ARB, 5, WGL_GREEN_BITS_ARB, 5,
                                WGL_BLUE_BITS_ARB, 5, WGL_ALPHA_BITS_ARB, 0, WGL_DEPTH_BITS_ARB,
                                16, 0}));
    EXPECT_EQ(plain.samples_index, -1);

    const PixelFormatAttributes full = build_pixel_format_attributes(
        defaults(32, MODE_ACCUMULATION_BUFFER | MODE_STENCIL_BUFFER | MODE_MULTISAMPLE));
    ASSERT_EQ(full.count, 19 + 6 * 2 + 4);
    EXPECT_EQ(full.values[18], WGL_ACCUM_BITS_ARB);
    EXPECT_EQ(full.values[28], WGL_STENCIL_BITS_ARB);
    EXPECT_EQ(full.values[30], WGL_SAMPLE_BUFFERS_ARB);
    EXPECT_EQ(full.values[32], WGL_SAMPLES_ARB);
    EXPECT_EQ(full.samples_index, 33);
    EXPECT_EQ(full.values[full.count - 1], 0);
}

// Refuses every call (ok and count as given) until the samples value is accept.
struct FakeChooser {
    explicit FakeChooser(int at, int accept = -1000) : samples_at(at), accept_samples(accept) {}
    int samples_at;
    int accept_samples;
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
    const PixelFormatAttributes multisample = build_pixel_format_attributes(defaults(32, MODE_MULTISAMPLE));
    PixelFormatAttributes list = multisample;
    FakeChooser none(list.samples_index);
    none.refused = {true, 5, 0}; // succeeds, finds nothing: retried like a failure
    const PixelFormatPick classic = pick_pixel_format(list, std::ref(none));
    EXPECT_EQ(none.asked, (std::vector<int>{4, 2, 0}));
    EXPECT_EQ(classic.format, 0);
    EXPECT_FALSE(classic.multisample());

    list = multisample;
    FakeChooser two(list.samples_index, 2);
    const PixelFormatPick found = pick_pixel_format(list, std::ref(two));
    EXPECT_EQ(two.asked, (std::vector<int>{4, 2}));
    EXPECT_EQ(found.format, 7);
    EXPECT_TRUE(found.multisample());

    list = multisample;
    FakeChooser zero(list.samples_index, 4);
    zero.accepted = {true, 0, 1};
    EXPECT_EQ(pick_pixel_format(list, std::ref(zero)).format, 0);
    EXPECT_EQ(zero.asked.size(), 1u) << "a format of 0 goes straight to the classic choice";

    // An odd count ends below zero and must not switch multisampling on; without samples there
    // is a single call.
    list = build_pixel_format_attributes(defaults(32, 0, {.samples = 3}));
    FakeChooser three(list.samples_index);
    EXPECT_FALSE(pick_pixel_format(list, std::ref(three)).multisample());
    EXPECT_EQ(three.asked, (std::vector<int>{3, 1}));
    list = build_pixel_format_attributes(defaults(32, 0));
    FakeChooser once(list.samples_index);
    pick_pixel_format(list, std::ref(once));
    EXPECT_EQ(once.asked.size(), 1u);
}

} // namespace
