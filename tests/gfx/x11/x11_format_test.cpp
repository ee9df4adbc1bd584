#include "gfx/x11/x11_format.h"

#include <gtest/gtest.h>

namespace zered {
namespace {

TEST(X11VisualFormat, TrueColorLayoutsInEitherOrderAndNothingElse) {
    EXPECT_EQ(visual_format(32, 0xFF0000, 0xFF00, 0xFF), (VisualFormat{32, false}));
    EXPECT_EQ(visual_format(32, 0xFF, 0xFF00, 0xFF0000), (VisualFormat{32, true}));
    EXPECT_EQ(visual_format(24, 0xFF0000, 0xFF00, 0xFF), (VisualFormat{24, false}));
    EXPECT_EQ(visual_format(16, 0xF800, 0x7E0, 0x1F), (VisualFormat{16, false}));
    EXPECT_EQ(visual_format(16, 0x1F, 0x7E0, 0xF800), (VisualFormat{16, true}));
    EXPECT_EQ(visual_format(16, 0x7C00, 0x3E0, 0x1F), (VisualFormat{15, false}));
    EXPECT_EQ(visual_format(16, 0x1F, 0x3E0, 0x7C00), (VisualFormat{15, true}));

    // Layouts the converters do not write.
    EXPECT_EQ(visual_format(32, 0x3FF00000, 0xFFC00, 0x3FF), VisualFormat{}) << "10 bits a channel";
    EXPECT_EQ(visual_format(32, 0xFF0000, 0xFF00, 0xFF00), VisualFormat{});
    EXPECT_EQ(visual_format(32, 0xFF00, 0xFF, 0xFF0000), VisualFormat{}) << "green elsewhere";
    EXPECT_EQ(visual_format(16, 0xF800, 0x7E0, 0x3F), VisualFormat{});
    EXPECT_EQ(visual_format(16, 0x7C00, 0x3E0, 0x3E0), VisualFormat{});
    EXPECT_EQ(visual_format(16, 0xF800, 0x3E0, 0x1F), VisualFormat{});
    EXPECT_EQ(visual_format(8, 0xE0, 0x1C, 0x3), VisualFormat{});
    EXPECT_EQ(visual_format(0, 0xFF0000, 0xFF00, 0xFF), VisualFormat{});
}

} // namespace
} // namespace zered
