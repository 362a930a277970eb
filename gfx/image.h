// Image buffers: one block holding a 4-byte header and the pixel rows, in
// the pixel format of the open screen. The same bytes start a dump file of
// an image, so the header is a file format as well as a memory layout:
//   bytes 0-1: bpp (bits 0..2: bytes per pixel 1, 2 or 4; 0 in the older
//              form) + width << 3 (13 bits), little-endian
//   bytes 2-3: height (16 bits), little-endian
//   then width * height * bytes_per_pixel bytes, rows top to bottom, no padding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gfx {

struct ImageHeader {
    uint8_t bytes[4];
};
static_assert(sizeof(ImageHeader) == 4, "the image header is 4 bytes");

constexpr uint32_t IMAGE_MAX_WIDTH = 8191;
constexpr uint32_t IMAGE_MAX_HEIGHT = 65535;

inline uint32_t image_bpp(const ImageHeader* image) { return image->bytes[0] & 7u; }
inline uint32_t image_width(const ImageHeader* image) {
    return (image->bytes[0] | (static_cast<uint32_t>(image->bytes[1]) << 8)) >> 3;
}
inline uint32_t image_height(const ImageHeader* image) {
    return image->bytes[2] | (static_cast<uint32_t>(image->bytes[3]) << 8);
}
inline uint8_t* image_pixels(ImageHeader* image) { return image->bytes + 4; }
inline const uint8_t* image_pixels(const ImageHeader* image) { return image->bytes + 4; }

// Writes the header: first word bpp + (width << 3), second word height, each
// truncated to 16 bits.
void image_header_set(ImageHeader* image, uint32_t bpp, uint32_t width, uint32_t height);

// A new image of width x height filled with `colour` (DEFAULT_COLOUR: the
// mask colour of the depth, 0 at 1 byte per pixel) in the open screen's
// format. Null with no screen, a size outside 1..8191 x 1..65535, or when
// the heap cannot supply the block.
ImageHeader* image_create(int32_t width, int32_t height, uint32_t colour);

// Releases the block (null is allowed). An image that is the current drawing
// target is forgotten first, so a later image at the same address is not
// taken for it.
void image_destroy(ImageHeader* image);

}  // namespace gfx
