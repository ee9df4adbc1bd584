// Converters from the framebuffer's pixel format to a display's, and the selector that picks one
// when a driver starts. A converter copies the dirty lines of the open screen's visible page into
// a display buffer; everything but the destination comes from the ScreenState.
//
// Display formats are told by depth and channel order. Blue-low: blue in the lowest-order bits
// (15: x1r5g5b5, 16: r5g6b5, 24: bytes B G R, 32: bytes B G R x). Red-low: the same with red and
// blue exchanged. Bit 15 of a 15-bit pixel and byte 3 of a red-low 32-bit pixel converted from a
// 32-bit framebuffer carry nothing; every other output bit is defined.
#pragma once

#include <array>
#include <cstdint>

namespace zered {

// Converts the visible page's dirty lines. Display line d shows framebuffer line
// d / scanline_size; a dirty framebuffer line is written into all scanline_size display lines that
// show it, a clean one leaves them untouched. The destination must be writable for height *
// scanline_size lines of destination_pitch bytes. Does nothing while no screen is open. Never
// changes dirty; the caller clears it after presenting.
using ConvertFn = void (*)(void* destination, std::int32_t destination_pitch);

// Index = 12 * order (0 red-low, 1 blue-low) + 4 * source (0 palettised, 1 16-bit, 2 32-bit)
// + display (0, 1, 2, 3 for depth 15, 16, 24, 32).
inline constexpr int converter_table_size = 24;
using ConverterTable = std::array<ConvertFn, converter_table_size>;

// The members that work on any geometry.
extern const ConverterTable converter_table_plain;
// Vector members (SSE2, with SSSE3, AVX2 and AVX-512 paths where vector_level allows and they
// measured faster). They give the plain members' output and are selected only for lines that are
// a multiple of 4 pixels and one display line per framebuffer line. The palettised ones keep
// tables made from the palette until it changes (palette_tables.h). Builds for processors
// without SSE2 hold the plain members.
extern const ConverterTable converter_table_mmx;

// Byte-for-byte copy of each dirty line (pitch bytes): same format on both sides.
void convert_copy(void* destination, std::int32_t destination_pitch);
// 32-bit framebuffer to a blue-low 32-bit display with byte 3 of every pixel cleared, for
// displays that read it as transparency. Never chosen by select_converter.
void convert_32_clear_top(void* destination, std::int32_t destination_pitch);

// Plain members, named by source (pal, 16, 32), display depth and order (rl, bl). The 16-bit to 24-
// and 32-bit members take the order from the expansion tables and so serve both.
void convert_pal_to_15_rl(void* destination, std::int32_t destination_pitch);
void convert_pal_to_16_rl(void* destination, std::int32_t destination_pitch);
void convert_pal_to_24_rl(void* destination, std::int32_t destination_pitch);
void convert_pal_to_32_rl(void* destination, std::int32_t destination_pitch);
void convert_16_to_15_rl(void* destination, std::int32_t destination_pitch);
void convert_16_to_16_rl(void* destination, std::int32_t destination_pitch);
void convert_16_to_24(void* destination, std::int32_t destination_pitch);
void convert_16_to_32(void* destination, std::int32_t destination_pitch);
void convert_32_to_15_rl(void* destination, std::int32_t destination_pitch);
void convert_32_to_16_rl(void* destination, std::int32_t destination_pitch);
void convert_32_to_24_rl(void* destination, std::int32_t destination_pitch);
void convert_32_to_32_rl(void* destination, std::int32_t destination_pitch);
void convert_pal_to_15_bl(void* destination, std::int32_t destination_pitch);
void convert_pal_to_16_bl(void* destination, std::int32_t destination_pitch);
void convert_pal_to_24_bl(void* destination, std::int32_t destination_pitch);
void convert_pal_to_32_bl(void* destination, std::int32_t destination_pitch);
void convert_16_to_15_bl(void* destination, std::int32_t destination_pitch);
void convert_32_to_15_bl(void* destination, std::int32_t destination_pitch);
void convert_32_to_16_bl(void* destination, std::int32_t destination_pitch);
void convert_32_to_24_bl(void* destination, std::int32_t destination_pitch);

// The vector members, one for each plain member above (x86 builds only).
void convert_pal_to_15_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_pal_to_16_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_pal_to_24_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_pal_to_32_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_16_to_15_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_16_to_16_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_16_to_24_mmx(void* destination, std::int32_t destination_pitch);
void convert_16_to_32_mmx(void* destination, std::int32_t destination_pitch);
void convert_32_to_15_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_32_to_16_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_32_to_24_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_32_to_32_rl_mmx(void* destination, std::int32_t destination_pitch);
void convert_pal_to_15_bl_mmx(void* destination, std::int32_t destination_pitch);
void convert_pal_to_16_bl_mmx(void* destination, std::int32_t destination_pitch);
void convert_pal_to_24_bl_mmx(void* destination, std::int32_t destination_pitch);
void convert_pal_to_32_bl_mmx(void* destination, std::int32_t destination_pitch);
void convert_16_to_15_bl_mmx(void* destination, std::int32_t destination_pitch);
void convert_32_to_15_bl_mmx(void* destination, std::int32_t destination_pitch);
void convert_32_to_16_bl_mmx(void* destination, std::int32_t destination_pitch);
void convert_32_to_24_bl_mmx(void* destination, std::int32_t destination_pitch);

// Picks the converter for the open screen's framebuffer and a display of display_depth (8, 15,
// 16, 24 or 32) in the given channel order, and makes the expansion tables of that order the ones
// the 16-bit to 24- and 32-bit members use (constant data of the converters, one set per order). The
// vector table serves when the screen has STATE_HAS_MMX, scanline_size 1 and a width that is a
// multiple of 4. A palettised framebuffer on an 8-bit display gets convert_copy whatever the
// order. Returns nullptr for a pair without a converter (a 16- or 32-bit framebuffer on an 8-bit
// display, an unknown depth on either side) and with no screen open.
ConvertFn select_converter(int display_depth, bool red_low);

} // namespace zered
