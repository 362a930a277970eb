// Row conversion between the pixel rows of BMP files and the screen's pixel
// formats. One converter call handles a whole row; the loader and the saver
// pick their routine once per file from the tables behind these functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gfx {

// Converts `count` pixels of a file row into native pixels at `destination`.
// `lut` serves the palette-index rows: for each of the 256 indices, the
// native pixel when the screen has 1 byte per pixel, otherwise the colour
// 0x00RRGGBB that the pixel is made from. True-colour rows ignore it.
using RowConverter = void (*)(const uint8_t* row, uint8_t* destination, size_t count, const uint32_t* lut);

// The pixel layouts of file rows the converters read.
enum class BmpRowFormat {
    index,   // one palette index per byte (1- and 4-bit rows are unpacked to this first)
    bgr24,   // blue, green, red
    bgra32,  // blue, green, red and a fourth byte, which a 4-byte pixel keeps on top
    bgrx32,  // blue, green, red and an unused byte (the 32-bit bit-field layout): top byte 0
};

// The converter for rows of `format` into pixels of `bytes_per_pixel`
// bytes. Null for a pair that has no conversion: true colour into 1 byte
// per pixel, or a pixel size other than 1, 2 and 4.
RowConverter bmp_row_converter(BmpRowFormat format, int bytes_per_pixel);

// Unpacks `count` pixels of a 1- or 4-bit row (most significant bits
// first) into one index byte each. Reads (count * bits + 7) / 8 bytes.
using RowUnpacker = void (*)(const uint8_t* packed, uint8_t* indices, size_t count);
// Null for bit counts other than 1 and 4.
RowUnpacker bmp_row_unpacker(int bits);

// Encodes `count` native pixels into the bytes of a file row: with 1 byte
// per pixel the index bytes unchanged (an 8-bit file), with 2 or 4 bytes
// per pixel blue, green, red per pixel (a 24-bit file; RGB565 widened with
// bit replication, the top byte of a 32-bit pixel dropped). Null for other
// pixel sizes.
using RowEncoder = void (*)(const uint8_t* pixels, uint8_t* row, size_t count);
RowEncoder bmp_row_encoder(int bytes_per_pixel);

}  // namespace gfx
