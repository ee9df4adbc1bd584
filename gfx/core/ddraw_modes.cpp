#include "gfx/core/ddraw_modes.h"

#include <algorithm>
#include <cstdlib>

namespace zered {

int alternate_depth(int depth) {
    switch (depth) {
    case 15: return 16;
    case 16: return 15;
    case 24: return 32;
    case 32: return 24;
    default: return 0;
    }
}

DisplayModeSearch display_mode_search(int width, int height, int depth) {
    DisplayModeSearch search;
    const int alternate = alternate_depth(depth);
    auto add = [&](int h, int d) {
        search.tries[static_cast<std::size_t>(search.count++)] = {
            width, h, d, width == 320 && h == 200 && depth == 8};
    };
    for (int h = height;;) {
        add(h, depth);
        if (alternate != 0) add(h, alternate);
        const int* taller = nullptr;
        for (const int& candidate : taller_mode_heights) {
            if (candidate > h) {
                taller = &candidate;
                break;
            }
        }
        if (taller == nullptr) break;
        h = *taller;
    }
    return search;
}

int display_mode_depth(int rgb_bit_count, std::uint32_t green_mask) {
    return rgb_bit_count == 16 && green_mask == 0x3E0 ? 15 : rgb_bit_count;
}

DisplayFormat classify_display_format(int rgb_bit_count, std::uint32_t red_mask,
                                      std::uint32_t green_mask) {
    DisplayFormat format{display_mode_depth(rgb_bit_count, green_mask), false};
    if (rgb_bit_count <= 15) return format; // 8 bits: palettised
    if (rgb_bit_count <= 23)
        format.red_low = red_mask == 0x1F;
    else
        format.red_low = red_mask == 0xFF || red_mask == 0x1F;
    return format;
}

namespace {

// One axis of clip_blit: [t0, t1) cut to [b0, b1), with [s0, s1) following in proportion. The
// source start rounds down and its end up, so a thin visible strip still takes a source pixel.
bool clip_axis(int& t0, int& t1, int& s0, int& s1, int b0, int b1) {
    if (t1 <= t0 || s1 <= s0) return false;
    const int c0 = std::max(t0, b0), c1 = std::min(t1, b1);
    if (c1 <= c0) return false;
    const std::int64_t span = t1 - t0, source_span = s1 - s0;
    const std::int64_t n0 = (c0 - t0) * source_span / span;
    const std::int64_t n1 = ((c1 - t0) * source_span + span - 1) / span;
    s1 = s0 + static_cast<int>(n1);
    s0 += static_cast<int>(n0);
    t0 = c0;
    t1 = c1;
    return true;
}

} // namespace

bool clip_blit(BlitRect& target, BlitRect& source, const BlitRect& bounds) {
    BlitRect t = target, s = source;
    if (!clip_axis(t.left, t.right, s.left, s.right, bounds.left, bounds.right) ||
        !clip_axis(t.top, t.bottom, s.top, s.bottom, bounds.top, bounds.bottom))
        return false;
    target = t;
    source = s;
    return true;
}

void fold_keyboard_state(const std::uint8_t (&device)[keyboard_device_keys],
                         std::uint8_t* key_state) {
    constexpr int half = keyboard_device_keys / 2;
    for (int i = 0; i < half; ++i)
        store_key_state(key_state[i], ((device[i] | device[i + half]) & 0x80) != 0);
}

DisplaySizeList::~DisplaySizeList() { std::free(entries_); }

bool DisplaySizeList::append(std::uint32_t width, std::uint32_t height) {
    auto* grown = static_cast<std::uint32_t*>(
        std::realloc(entries_, (static_cast<std::size_t>(count_) + 1) * sizeof *entries_));
    if (grown == nullptr) return false;
    entries_ = grown;
    entries_[count_++] = pack_display_size(width, height);
    return true;
}

std::uint32_t* DisplaySizeList::release(int* count) {
    if (count != nullptr) *count = count_;
    std::uint32_t* list = entries_;
    entries_ = nullptr;
    count_ = 0;
    return list;
}

} // namespace zered
