// Display blitters: convert the dirty lines of the visible page into a
// display surface of 8, 15, 16, 24 or 32 bits per pixel in RGB or BGR order,
// repeating each framebuffer line scanline_mult times.
#pragma once

#include <array>
#include <cstdint>

namespace gfx {

// Converts every dirty line of screen->visible_page into the display.
// destination: the display row that shows framebuffer line 0; pitch: bytes
// between display rows. Reads dirty but does not clear it.
// Caller: the display thread, under the framebuffer lock.
using DisplayBlitter = void (*)(uint8_t* destination, int destination_pitch);

// 512 entries, rebuilt by every select_blitter call for the display's order;
// the storage is allocated by screen opening and released at the next
// opening or at closing. While it is null, select_blitter builds nothing and
// offers no member that reads it (16-bit framebuffers into 24 or 32 bits), and
// such a member, called anyway, writes nothing.
extern uint32_t* expansion_table;

// The 48 members: plain BGR, plain RGB, MMX BGR, MMX RGB; within a block
// palette->15, ->16, ->24, ->32, 16->15, ->16, ->24, ->32, 32->15, ->16, ->24, ->32.
// The "MMX" blocks hold the vector members: the SSE2 ones where the build
// targets SSE2 (x86-64), the MMX ones otherwise; both give the pixels of the
// plain members.
extern const std::array<DisplayBlitter, 48> blitter_table;

// The vector members of each instruction set built, laid out as the two
// vector blocks of blitter_table (24 entries, BGR then RGB).
extern const std::array<DisplayBlitter, 24> blitter_mmx_members;
#if defined(__SSE2__)
extern const std::array<DisplayBlitter, 24> blitter_sse2_members;
#endif

// The line copy member: copies pitch bytes per converted row.
extern const DisplayBlitter blitter_line_copy;

// Rebuilds expansion_table for the order (bgr 1: red low) and chooses the
// blitter for the open screen's framebuffer and a display of that depth;
// null when there is none (a 16- or 32-bit framebuffer on an 8-bit display,
// a display depth other than 8, 15, 16, 24 and 32, no open screen, or a
// 16-bit framebuffer into 24 or 32 bits while expansion_table is null).
// The MMX members are chosen when the screen has has_mmx and scanline_mult 1.
// Every member converts every pixel of each dirty line.
DisplayBlitter select_blitter(int display_depth, int bgr);

}  // namespace gfx
