// The framebuffer of the open screen: its geometry, page buffers and dirty-line flags, and the
// nested screen lock that keeps the driver's thread out while the picture changes.
//
// Layout: a page is pitch * height bytes starting on a 16-byte boundary; line y starts at
// y * pitch, pixel x of a line at x * bytes_per_pixel. Pixels are 1 byte (a palette index, depths
// 1 to 8), 2 bytes (5-6-5, red in the top bits) or 4 bytes (0xAARRGGBB, blue in the low byte, the
// alpha byte only read by the blending primitives).
#pragma once

#include <cstddef>

#include "gfx/core/screen_state.h"

namespace zered {

inline constexpr std::size_t page_alignment = 16;

// Bytes per pixel of a requested depth: 2 for 15 and 16, 4 for 24 and 32, (depth + 7) / 8 for
// any other.
int depth_bytes_per_pixel(int depth);

// Sets depth, bytes_per_pixel, colour_mask and pitch for a requested depth, and width and height.
// 15 and 16 become 16 (2 bytes, mask 0xFFFF); 24 and 32 become 32 (4 bytes, mask 0xFFFFFFFF); any
// other depth keeps its value with mask (1 << depth) - 1 and (depth + 7) / 8 bytes. Callers check
// the depth (1, 2, 4, 8, 15, 16, 24 or 32) and the size (positive, and a pitch that fits an int)
// beforehand.
void framebuffer_set_geometry(ScreenState& screen, int width, int height, int depth);

// One zeroed page buffer of bytes bytes whose pixels start on a 16-byte boundary. The storage is
// over-allocated for that and owned by the PageBuffer, which frees it.
PageBuffer allocate_page(std::size_t bytes);

// Gives the screen count pages (at least 1) of pitch * height bytes each, replacing any it had;
// page_count follows, the visible page becomes 0 and visible_fb points at its pixels.
void allocate_pages(ScreenState& screen, int count);

// Gives the screen its zeroed dirty flags: height * scanline_size bytes, of which only the first
// height are ever marked.
void allocate_dirty_flags(ScreenState& screen);

// Sets the dirty flags of lines first to last, both included, to 1 (one fill_bytes). The range
// is clipped to the framebuffer's lines; an empty range marks nothing.
void mark_dirty(ScreenState& screen, int first, int last);
// Marks every line, 0 to height - 1.
void mark_all_dirty(ScreenState& screen);

// Locks the open screen against the driver's thread. Nests: only the outermost level calls the
// driver's lock. Does nothing without a screen. Program's thread only.
void screen_lock();

// Ends one level of screen_lock and asks for lines first to last to be presented, but only when
// the drawing context's work page is the visible page: a negative last means height - 1, a
// negative first 0, and a range that is empty or reaches below the framebuffer marks nothing.
// Callers that have marked their lines themselves pass (1, 0). The outermost unlock calls the
// driver's unlock; an unlock without a lock marks its lines and leaves lock_count at 0. Does
// nothing without a screen.
void screen_unlock(int first, int last);

} // namespace zered
