// The records the whole graphics layer shares: the open screen, its state and mode flags, and the
// descriptor through which the core talks to a display driver.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <semaphore>
#include <vector>

namespace zered {

struct FontDesc;
struct PaletteDesc;
struct DisplayDriver;

// ScreenState flags.
inline constexpr std::uint32_t STATE_WRAP_PENDING = 0x4;
inline constexpr std::uint32_t STATE_ALPHA_PRIMITIVES = 0x8;
inline constexpr std::uint32_t STATE_HAS_MMX = 0x1000000;

// Mode flags: how a screen is asked for. Passed to the driver's init, which acts on most bits.
using ModeFlags = std::uint32_t;
inline constexpr ModeFlags MODE_FULLSCREEN = 0x1;
inline constexpr ModeFlags MODE_OPENGL = 0x2;
inline constexpr ModeFlags MODE_NO_SWITCH = 0x4;
inline constexpr ModeFlags MODE_NO_FRAME = 0x8;
inline constexpr ModeFlags MODE_SHAPED_WINDOW = 0x10;
inline constexpr ModeFlags MODE_ALWAYS_ON_TOP = 0x20;
inline constexpr ModeFlags MODE_ALPHA_PRIMITIVES = 0x40;
inline constexpr ModeFlags MODE_HIGH_PRIORITY = 0x80;
inline constexpr ModeFlags MODE_STENCIL_BUFFER = 0x10000;
inline constexpr ModeFlags MODE_ACCUMULATION_BUFFER = 0x20000;
inline constexpr ModeFlags MODE_MULTISAMPLE = 0x40000;
// Whole values, not bits: the null driver, and the close made by the exit handler.
inline constexpr ModeFlags MODE_NULL = 0xFFFFFFFFu;
inline constexpr ModeFlags MODE_CLOSING_AT_EXIT = 0x80000000u;

// A flag word with the top bit set is one of the whole values above, never a set of bits.
constexpr bool mode_is_whole_value(ModeFlags flags) { return (flags & 0x80000000u) != 0; }

// One cell of a page's text grid. Only the low 16 bits of character are meaningful.
struct TextCell {
    std::uint32_t character;
    std::uint32_t foreground;
    std::uint32_t background;
};
static_assert(sizeof(TextCell) == 12);

// One input event: a type from 1 to 14 and four fields whose meaning depends on the type.
struct Event {
    std::int32_t type;
    std::int32_t field1;
    std::int32_t field2;
    std::int32_t field3;
    std::int32_t field4;
};
static_assert(sizeof(Event) == 20);

inline constexpr int event_queue_size = 128;
inline constexpr int key_state_size = 128;
inline constexpr int palette_size = 256;
inline constexpr int colour_map_size = 16;

// A page's pixels: pitch * height bytes whose first byte lies on a 16-byte boundary.
struct PageBuffer {
    std::unique_ptr<std::uint8_t[]> storage; // over-allocated for the alignment
    std::uint8_t* pixels = nullptr;
};

// The one open screen. Owned by the screen core from set-up to close; every buffer hanging from
// it is released with it.
struct ScreenState {
    std::int32_t serial = 0;
    std::int32_t mode_num = -1;
    std::vector<PageBuffer> pages;
    std::int32_t page_count = 0;
    std::int32_t visible_page = 0;
    std::uint8_t* visible_fb = nullptr; // not owning: pages[visible_page].pixels
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t depth = 0; // 1, 2, 4, 8, 16 or 32
    std::int32_t bytes_per_pixel = 0;
    std::int32_t pitch = 0; // width * bytes_per_pixel, no padding
    // Colours as 0x00BBGGRR.
    std::array<std::uint32_t, palette_size> source_palette{};
    std::array<std::uint32_t, palette_size> device_palette{};
    std::array<std::uint8_t, colour_map_size> colour_map{};
    // One flag per framebuffer line; height * scanline_size bytes allocated.
    std::vector<std::uint8_t> dirty;
    const DisplayDriver* driver = nullptr;
    std::uint32_t colour_mask = 0;
    const PaletteDesc* default_palette = nullptr;
    std::int32_t scanline_size = 1;
    std::int32_t cursor_x = 0;
    std::int32_t cursor_y = 0;
    const FontDesc* font = nullptr;
    std::int32_t text_cols = 0;
    std::int32_t text_rows = 0;
    std::array<std::uint8_t, key_state_size> key_state{};
    std::int32_t refresh_rate = 0;
    // One grid of text_cols * text_rows cells per page.
    std::vector<std::vector<TextCell>> text_cells;
    std::array<Event, event_queue_size> event_queue{};
    std::int32_t event_read = 0;
    std::int32_t event_write = 0;
    std::binary_semaphore event_lock{1};
    std::uint32_t flags = 0;
    std::int32_t lock_count = 0;
};

// The open screen, or nullptr. Set and cleared by the screen set-up on the program's thread.
ScreenState* current_screen();
void set_current_screen(ScreenState* screen);

} // namespace zered
