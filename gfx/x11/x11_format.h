// The pixel format of an X visual as the converters know display formats: depth 15, 16, 24 or 32
// and the channel order.
#pragma once

namespace zered {

struct VisualFormat {
    int display_depth = 0; // 0: a format without converters
    bool red_low = false;  // red in the low-order bits, blue in the high-order ones
    bool operator==(const VisualFormat&) const = default;
};

// The format of a TrueColor visual whose pixels take bits_per_pixel bits in an image and whose
// channels lie under these masks: 8 bits a channel in 24 or 32 bits, or 5-6-5 or 5-5-5 in 16 bits,
// red and blue at either end.
VisualFormat visual_format(int bits_per_pixel, unsigned long red_mask, unsigned long green_mask,
                           unsigned long blue_mask);

} // namespace zered
