// The system-independent part of the DirectDraw driver: the order in which full-screen display
// modes are tried, how a display's pixel format is classified for the converters, how DirectInput's
// 256-key state folds into the screen's 128 key states; and what all the window drivers share: the
// growable list of display sizes that their mode queries return, the refresh rate they keep, and
// how they store key states.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace zered {

// Heights tried, in this order, when a full-screen mode of the screen's own height is refused.
inline constexpr std::array<int, 5> taller_mode_heights{240, 480, 600, 768, 1024};

// One SetDisplayMode attempt. standard_vga asks for the VGA form of 320 by 200 by 8
// (DDSDM_STANDARDVGAMODE).
struct DisplayModeTry {
    int width = 0;
    int height = 0;
    int depth = 0;
    bool standard_vga = false;
    bool operator==(const DisplayModeTry&) const = default;
};

// Every attempt of a full-screen mode search, in order: the screen's height, then each taller
// height of taller_mode_heights above it; at each height the depth, then its alternate (16 and 15,
// 32 and 24 stand in for each other). The width never changes.
struct DisplayModeSearch {
    static constexpr int capacity = 2 * (1 + static_cast<int>(taller_mode_heights.size()));
    std::array<DisplayModeTry, capacity> tries{};
    int count = 0;
    const DisplayModeTry* begin() const { return tries.data(); }
    const DisplayModeTry* end() const { return tries.data() + count; }
};

DisplayModeSearch display_mode_search(int width, int height, int depth);

// The depth that stands in for depth in a mode search, or 0 when there is none.
int alternate_depth(int depth);

// Display lines above a picture of height lines centred in a mode of mode_height lines.
constexpr int vertical_offset_for(int mode_height, int height) { return (mode_height - height) >> 1; }

// A display's pixel format as the converters are chosen by: depth 8, 15, 16, 24 or 32 (or whatever
// other bit count the display has), and whether red holds the lowest-order bits.
struct DisplayFormat {
    int depth = 0;
    bool red_low = false;
    bool operator==(const DisplayFormat&) const = default;
};

// The depth a display mode counts as: its bit count, except that 16 bits with the green mask 0x3E0
// are 5:5:5 and count as 15.
int display_mode_depth(int rgb_bit_count, std::uint32_t green_mask);

// Classifies an RGB surface format from its bit count and masks. 8 bits are palettised (never
// red-low); 16 bits and 17 to 23 are red-low when the red mask is 0x1F; 24 and more when it is 0xFF
// or 0x1F; up to 15 bits never.
DisplayFormat classify_display_format(int rgb_bit_count, std::uint32_t red_mask,
                                      std::uint32_t green_mask);

// A rectangle in pixels, right and bottom exclusive.
struct BlitRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const BlitRect&) const = default;
};

// Cuts a blit that stretches source onto target down to the part of target that lies inside
// bounds (the destination surface), and source to the part that lands there. false when nothing
// of target is inside, or either rectangle is empty.
bool clip_blit(BlitRect& target, BlitRect& source, const BlitRect& bounds);

// The refresh rate to keep for a display that reported this many hertz. The system answers 0 and 1
// for "the hardware's default", which says nothing about the rate: both become 0, unknown, so that
// the retrace wait assumes a rate of its own instead of sleeping a second per frame.
constexpr int known_refresh_rate(int reported) {
    return reported > 1 ? reported : 0;
}

// Stores one entry of a screen's key_state. key_down reads the entries from the program's thread
// without the screen lock while a driver's thread rewrites them, so every store is atomic.
inline void store_key_state(std::uint8_t& entry, bool down) {
    std::atomic_ref<std::uint8_t>(entry).store(down ? 1 : 0, std::memory_order_relaxed);
}

// DirectInput's keyboard state: one byte per key, bit 7 set while it is down; entries 128 and up
// are the extended keys.
inline constexpr int keyboard_device_keys = 256;

// Folds a keyboard state into 128 key states: key_state[i] is 1 while key i or extended key
// i + 128 is down, else 0.
void fold_keyboard_state(const std::uint8_t (&device)[keyboard_device_keys],
                         std::uint8_t* key_state);

// Display sizes packed as width << 16 | height.
constexpr std::uint32_t pack_display_size(std::uint32_t width, std::uint32_t height) {
    return width << 16 | (height & 0xFFFF);
}

// The list a driver's mode query returns: grown one entry at a time on the C heap, handed to the
// caller, which frees it with std::free. When it cannot grow it keeps what it has.
class DisplaySizeList {
public:
    DisplaySizeList() = default;
    DisplaySizeList(const DisplaySizeList&) = delete;
    DisplaySizeList& operator=(const DisplaySizeList&) = delete;
    ~DisplaySizeList();

    // false when the list could not grow; the entry is then not added.
    bool append(std::uint32_t width, std::uint32_t height);
    int count() const { return count_; }
    const std::uint32_t* entries() const { return entries_; }
    // Gives the list up to the caller (nullptr when empty) and stores its length in *count when
    // count is given.
    std::uint32_t* release(int* count);

private:
    std::uint32_t* entries_ = nullptr;
    int count_ = 0;
};

} // namespace zered
