// Saving the screen's work page or an image buffer to a file: a BMP file
// when the name's extension is "bmp" in any case (8 bits per pixel with the
// 256-entry palette on palette screens, 24 bits otherwise, rows bottom
// first), otherwise a dump that image_load reads back (0xFE, the 32-bit
// little-endian length, the data; for a screen of depth 8 or less the
// palette follows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace gfx {

struct ImageHeader;

// Writes `source` (null: the screen's work page) to the file `name`.
// `length` is used by dumps only: the bytes of the image buffer from its
// header on, or of the work page, to write (never more than the buffer or
// page holds; the length field keeps the value given). Result, also set as
// the runtime error number: 0 success; 1 no screen open (the formats need
// its pixel format; no file is created), or a BMP of an image whose header
// names another pixel size than the screen's; 2 the file cannot be created,
// or a dump of an image with length 0; 3 a write failed.
int32_t image_save(const std::string& name, ImageHeader* source, uint32_t length);

// True when the text after the last '.' of `name` is "bmp" in any case.
bool image_save_is_bmp_name(const std::string& name);

// The writers, given the file just created. Return the result code.
int32_t bmp_save(std::FILE* file, ImageHeader* source);
int32_t dump_save(std::FILE* file, ImageHeader* source, uint32_t length);

}  // namespace gfx
