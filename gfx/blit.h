// Image blitting: put_image draws an image, or a rectangle of it, onto the
// drawing target (the work page or an image), combining source and
// destination pixels by a PutMode. The dispatcher maps the position, clamps
// the source rectangle to the image, clips against the target's clip
// rectangle once, and hands whole rows to a blit kernel chosen for the mode
// and the screen's storage format (plain, or MMX when the processor has it).
#pragma once

#include <cstdint>

namespace gfx {

struct ImageHeader;

// How source pixels (s) combine with destination pixels (d).
enum PutMode : int32_t {
    BLIT_TRANSPARENT = 0,  // d = s unless s is the mask colour of the depth
    BLIT_COPY = 1,         // d = s; also every value outside 0..7
    BLIT_INVERT = 2,       // d = ~s (raw bytes, not masked with colour_mask)
    BLIT_AND = 3,          // d = d & s
    BLIT_OR = 4,           // d = d | s
    BLIT_XOR = 5,          // d = d ^ s
    BLIT_ALPHA = 6,        // blend by the alpha argument
    BLIT_CUSTOM = 7,       // d = the caller's BlendFunction(s, d)
};

// x1 value meaning "the whole image" (y1, x2, y2 are then ignored).
constexpr int32_t SOURCE_WHOLE = static_cast<int32_t>(0xFFFF0000u);

// The caller's blend for BLIT_CUSTOM: (source pixel, destination pixel) ->
// new destination pixel. At 16 bits both arrive as 0x00RRGGBB colours and
// the result is reduced to RGB565; at 8 bits only the result's low byte is
// stored.
using BlendFunction = uint32_t (*)(uint32_t source, uint32_t destination);

// Processes `height` rows of `width` pixels. The source row start advances
// by source_pitch bytes per row, the destination row start by
// destination_pitch. Source and destination must not overlap in memory (the
// dispatcher stages overlapping rows first).
using BlitKernel = void (*)(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                            int32_t source_pitch, int32_t destination_pitch, int32_t alpha);

// Draws `source` onto `target` (null: the screen's work page) with its top
// left corner at (x, y), after relative_mode (2 or 5: relative to the last
// point, 3: likewise, any other value: absolute) and coordinate mapping. The
// source rectangle (x1, y1)-(x2, y2) is inclusive, in either corner order,
// clamped into the image; x1 == SOURCE_WHOLE takes the whole image.
//
// BLIT_ALPHA by alpha: below 0 blends by each 32-bit source pixel's top byte
// (a plain copy at 8 and 16 bits); 0 draws nothing; 255 or more, or any value
// whose low byte is 0xFF, acts as BLIT_TRANSPARENT; 1..254 blends with that
// constant (a transparent copy at 8 bits), skipping mask-colour pixels.
//
// Returns 0 when done, also when nothing was drawn: an empty or fully
// clipped rectangle, alpha 0, BLIT_CUSTOM without a blend function, or a
// null source. Returns 1 and sets runtime error 1 when no screen is open,
// when the source's bpp is neither 0 nor the screen's bytes per pixel (the
// target and last point have been updated by then), or when the memory to
// switch the drawing target or to stage an overlapping source is missing.
// A source that overlaps the destination (an image drawn onto itself) is
// read as it was before the call.
int32_t put_image(ImageHeader* target, float x, float y, const ImageHeader* source, int32_t x1, int32_t y1,
                  int32_t x2, int32_t y2, int32_t relative_mode, int32_t mode, int32_t alpha,
                  BlendFunction blend);

// Swaps x1 with x2 when x2 < x1, and y1 with y2 when y2 < y1.
void order_rect(int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2);

// The kernel for `mode` at the open screen's depth, or null when nothing is
// to be drawn (BLIT_ALPHA with alpha 0, BLIT_CUSTOM without a function) or no
// screen is open. BLIT_CUSTOM makes `blend` the current blend function, null
// included. The kernel table is rebuilt whenever the depth or the screen's
// has_mmx bit differs from what it was built for.
BlitKernel blit_kernel_select(int32_t mode, int32_t alpha, BlendFunction blend);

}  // namespace gfx
