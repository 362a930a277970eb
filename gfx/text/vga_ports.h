// Emulation of the VGA palette registers and the input status register, so
// that programs written for the hardware can set colours and wait for the
// vertical retrace on a graphics screen:
//   0x3C7, 0x3C8  (write) select the palette entry that the next data
//                 reads or writes concern
//   0x3C9         (write) three writes give red, green and blue of the entry,
//                 6 bits each; (read) three reads return them; either way
//                 the entry index then moves on by one
//   0x3DA         (read) waits for the driver's vertical retrace; 8
// Only screens of 8 bits per pixel or less have a palette; above that the
// palette ports refuse (-1), while 0x3DA still works.
#pragma once

#include <cstdint>

namespace gfx {

constexpr int PORT_DAC_READ_INDEX = 0x3C7;
constexpr int PORT_DAC_WRITE_INDEX = 0x3C8;
constexpr int PORT_DAC_DATA = 0x3C9;
constexpr int PORT_INPUT_STATUS = 0x3DA;
// What a read of the input status port returns: the retrace bit.
constexpr int PORT_RETRACE_BIT = 8;

// The palette register state, one per process, surviving screen changes.
// dac_index: the palette entry the next data write or read concerns.
// dac_shift: bit position of the next colour component: 2 (red), 10
//            (green) or 18 (blue).
// dac_value: the colour assembled from the components written so far,
//            0x00BBGGRR with each 6-bit component times 4.
extern int32_t dac_index;
extern int32_t dac_shift;
extern uint32_t dac_value;

// hook_port_in: the value read from the port; -1 for another port, with no
// screen, or for 0x3C9 on a screen above 8 bits.
int port_in(int port);

// hook_port_out: writes the low 8 bits of `value`. 0 when the write was
// taken; -1 for another port, with no screen, or above 8 bits.
int port_out(int port, int value);

}  // namespace gfx
