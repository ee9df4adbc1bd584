// An emulation of the VGA palette ports and the input status port on the open screen.
//
// The palette ports work as the hardware's did: write an entry number to 0x3C8 (or 0x3C7 for
// reading), then move three 6-bit components (red, green, blue) through 0x3C9, after which the
// entry number advances by one, wrapping at the default palette's colour count. The entry number
// and the components written so far are process-wide and survive a screen closing or opening: a
// sequence interrupted by a new screen continues at the same component.
//
// Program's thread only.
#pragma once

namespace zered {

inline constexpr int PORT_DAC_READ_INDEX = 0x3C7;
inline constexpr int PORT_DAC_WRITE_INDEX = 0x3C8;
inline constexpr int PORT_DAC_DATA = 0x3C9;
inline constexpr int PORT_INPUT_STATUS = 0x3DA;
// What a read of the status port answers: the vertical retrace bit, always set.
inline constexpr int STATUS_RETRACE = 8;

// Reads a port (the low 16 bits of port count):
// - 0x3DA waits for the display's next retrace (when the driver can) and answers 8;
// - 0x3C9 on a screen of 8 bits or less answers the next 6-bit component of the addressed
//   default-palette colour;
// - -1 for any other port, for 0x3C9 on a deeper screen and without a screen.
int port_in(int port);

// Writes the low 8 bits of value to a port: 0x3C7 and 0x3C8 address a palette entry (masked to
// the default palette's colour count); 0x3C9 takes the next 6-bit component, and the third sets
// the entry: through the palette on a screen with the 256-colour default palette, else as the
// default-palette colour itself, shown by every pixel value mapped to it. 0; -1 for another
// port, on a screen deeper than 8 bits and without a screen.
int port_out(int port, int value);

// Test seam: starts the port state afresh (entry 0, first component).
void port_state_reset();

} // namespace zered
