// Loading picture files into an image buffer or onto the screen's work page.
//
// Two kinds of file, told apart by their first byte:
//   'B'        a BMP file: 40-byte information header, uncompressed rows of
//              1, 4 or 8 bits per pixel through a palette, or 24 or 32 bits
//              (also 32 bits described by the masks 0x00FF0000, 0x0000FF00,
//              0x000000FF), rows bottom first, converted to the screen's
//              pixel format;
//   0xFE, 0xFD a dump: a raw copy of an image buffer (header included) or of
//              the work page, as image_save writes it (long form: 0xFE, a
//              32-bit length, the data, for a screen of depth 8 or less the
//              palette; short form: 0xFD, four ignored bytes, a 16-bit
//              length, the data).
//
// Files are untrusted: a destination image is never written beyond the
// bytes its header describes when the call begins, and no size taken from a
// file is allocated or written before it has been checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace gfx {

struct ImageHeader;

// Reads the file `name` into `destination` (null: the screen's work page).
// Result: 0 success; 1 the call cannot be served (no screen open where one
// is needed, a 15- or 16-bit BMP, a true-colour BMP on a screen with 1 byte
// per pixel); 2 the file cannot be opened; 3 an unrecognised first byte,
// bad or unsupported BMP headers, a file that does not fit the destination
// image, or data that cannot be read. Every outcome except those of the BMP
// reader is also set as the runtime error number; the BMP reader leaves the
// error number as it was.
int32_t image_load(const std::string& name, ImageHeader* destination);

// ---- Pieces shared by the file readers and writers --------------------------

// Bytes an image buffer holds according to its header: 4 + width x height
// x bytes per pixel, where the bytes per pixel are the header's bpp field,
// or for a header of the older form (bpp 0) those of the open screen (1
// with no screen open).
uint64_t image_buffer_bytes(const ImageHeader* image);

// The BMP reader, given the open file (its first byte already read) and the
// destination (null: the screen). Returns the result code.
int32_t bmp_load(std::FILE* file, ImageHeader* destination);

// The dump reader, given the open file just after its first byte `kind`
// (0xFE long form, 0xFD short form) and the destination. Returns the result
// code.
int32_t dump_load(std::FILE* file, int kind, ImageHeader* destination);

}  // namespace gfx
