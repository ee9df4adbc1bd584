#include "gfx/x11/x11_format.h"

namespace zered {

namespace {

// The two orders of one channel layout: red at the top (blue-low) or at the bottom.
VisualFormat ordered(int depth, unsigned long red, unsigned long blue, unsigned long high,
                     unsigned long low) {
    if (red == high && blue == low) return {depth, false};
    if (red == low && blue == high) return {depth, true};
    return {};
}

} // namespace

VisualFormat visual_format(int bits_per_pixel, unsigned long red_mask, unsigned long green_mask,
                           unsigned long blue_mask) {
    if (bits_per_pixel == 24 || bits_per_pixel == 32)
        return green_mask == 0xFF00 ? ordered(bits_per_pixel, red_mask, blue_mask, 0xFF0000, 0xFF)
                                    : VisualFormat{};
    if (bits_per_pixel == 16) {
        if (green_mask == 0x7E0) return ordered(16, red_mask, blue_mask, 0xF800, 0x1F);
        if (green_mask == 0x3E0) return ordered(15, red_mask, blue_mask, 0x7C00, 0x1F);
    }
    return {};
}

} // namespace zered
