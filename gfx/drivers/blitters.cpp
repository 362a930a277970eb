// The table of display blitters, the expansion table of the 16-bit
// converters and the choice of a blitter for an opened display.
#include "gfx/drivers/blitters.h"

#include "gfx/drivers/blitter_kernels.h"

namespace gfx {

using blitter::blit_mmx;
using blitter::blit_plain;
using blitter::Order;
using blitter::Source;

uint32_t* expansion_table = nullptr;

namespace {

void blit_line_copy(uint8_t* destination, int destination_pitch) {
    blitter::walk_dirty_lines<blitter::CopyLine>(destination, destination_pitch);
}

// Entry i of the table expands the low byte i of a 5:6:5 pixel, entry 256 + i
// its high byte, each component moved to the top of its byte of a 32-bit
// colour in the display's order; the two entries of a pixel are ORed.
void build_expansion_table(uint32_t* table, bool bgr) {
    for (uint32_t i = 0; i < 256; ++i) {
        if (bgr) {
            table[i] = ((i & 0x1F) << 19) | ((i & 0xE0) << 5);
            table[256 + i] = ((i & 0x07) << 13) | (i & 0xF8);
        } else {
            table[i] = ((i & 0x1F) << 3) | ((i & 0xE0) << 5);
            table[256 + i] = ((i & 0x07) << 13) | ((i & 0xF8) << 16);
        }
    }
}

// Positions within a block of twelve.
enum Column { to15, to16, to24, to32 };
enum Row { from_palette = 0, from_rgb16 = 4, from_rgb32 = 8 };
enum Block { plain_bgr = 0, plain_rgb = 12, mmx_bgr = 24, mmx_rgb = 36 };

}  // namespace

const DisplayBlitter blitter_line_copy = blit_line_copy;

// The 16-bit converters into 24 and 32 bits read the expansion table, which is
// built for the display's order, so one member serves both orders. A display
// whose pixels equal the framebuffer's gets the straight copy.
const DisplayBlitter blitter_table[48] = {
    // plain, BGR
    blit_plain<Source::palette, 15, Order::bgr>,
    blit_plain<Source::palette, 16, Order::bgr>,
    blit_plain<Source::palette, 24, Order::bgr>,
    blit_plain<Source::palette, 32, Order::bgr>,
    blit_plain<Source::rgb16, 15, Order::bgr>,
    blit_plain<Source::rgb16, 16, Order::bgr>,
    blit_plain<Source::rgb16, 24, Order::bgr>,
    blit_plain<Source::rgb16, 32, Order::bgr>,
    blit_plain<Source::rgb32, 15, Order::bgr>,
    blit_plain<Source::rgb32, 16, Order::bgr>,
    blit_plain<Source::rgb32, 24, Order::bgr>,
    blit_plain<Source::rgb32, 32, Order::bgr>,
    // plain, RGB
    blit_plain<Source::palette, 15, Order::rgb>,
    blit_plain<Source::palette, 16, Order::rgb>,
    blit_plain<Source::palette, 24, Order::rgb>,
    blit_plain<Source::palette, 32, Order::rgb>,
    blit_plain<Source::rgb16, 15, Order::rgb>,
    blit_line_copy,
    blit_plain<Source::rgb16, 24, Order::bgr>,
    blit_plain<Source::rgb16, 32, Order::bgr>,
    blit_plain<Source::rgb32, 15, Order::rgb>,
    blit_plain<Source::rgb32, 16, Order::rgb>,
    blit_plain<Source::rgb32, 24, Order::rgb>,
    blit_line_copy,
    // MMX, BGR
    blit_mmx<Source::palette, 15, Order::bgr>,
    blit_mmx<Source::palette, 16, Order::bgr>,
    blit_mmx<Source::palette, 24, Order::bgr>,
    blit_mmx<Source::palette, 32, Order::bgr>,
    blit_mmx<Source::rgb16, 15, Order::bgr>,
    blit_mmx<Source::rgb16, 16, Order::bgr>,
    blit_mmx<Source::rgb16, 24, Order::bgr>,
    blit_mmx<Source::rgb16, 32, Order::bgr>,
    blit_mmx<Source::rgb32, 15, Order::bgr>,
    blit_mmx<Source::rgb32, 16, Order::bgr>,
    blit_mmx<Source::rgb32, 24, Order::bgr>,
    blit_mmx<Source::rgb32, 32, Order::bgr>,
    // MMX, RGB
    blit_mmx<Source::palette, 15, Order::rgb>,
    blit_mmx<Source::palette, 16, Order::rgb>,
    blit_mmx<Source::palette, 24, Order::rgb>,
    blit_mmx<Source::palette, 32, Order::rgb>,
    blit_mmx<Source::rgb16, 15, Order::rgb>,
    blit_line_copy,
    blit_mmx<Source::rgb16, 24, Order::bgr>,
    blit_mmx<Source::rgb16, 32, Order::bgr>,
    blit_mmx<Source::rgb32, 15, Order::rgb>,
    blit_mmx<Source::rgb32, 16, Order::rgb>,
    blit_mmx<Source::rgb32, 24, Order::rgb>,
    blit_line_copy,
};

DisplayBlitter select_blitter(int display_depth, int bgr) {
    if (expansion_table != nullptr)
        build_expansion_table(expansion_table, bgr != 0);

    const ScreenState* s = screen;
    if (s == nullptr)
        return nullptr;

    int row;
    switch (s->depth) {
    case 1:
    case 2:
    case 4:
    case 8: row = from_palette; break;
    case 16: row = from_rgb16; break;
    case 32: row = from_rgb32; break;
    default: return nullptr;
    }

    int column;
    switch (display_depth) {
    case 8:
        // A palette framebuffer is shown as it is; other forms have no 8-bit member.
        return row == from_palette ? blitter_line_copy : nullptr;
    case 15: column = to15; break;
    case 16: column = to16; break;
    case 24: column = to24; break;
    case 32: column = to32; break;
    default: return nullptr;
    }

    // Without its storage the expansion table cannot be built, and the
    // members that read it would have nothing to read.
    if (row == from_rgb16 && (column == to24 || column == to32) && expansion_table == nullptr)
        return nullptr;

    const bool mmx = (s->flags & ScreenState::has_mmx) != 0 && s->scanline_mult == 1;
    const int block = mmx ? (bgr ? mmx_bgr : mmx_rgb) : (bgr ? plain_bgr : plain_rgb);
    return blitter_table[block + row + column];
}

}  // namespace gfx
