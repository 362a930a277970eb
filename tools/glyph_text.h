// Reading the glyph sources of gfx/text/fonts/. A file holds one font:
//
//   font 8 H
//   glyph N        (N = 0..255, each exactly once, in any order)
//   H rows of 8 characters, '#' a set pixel, '.' a clear one
//
// Lines starting with ';' and empty lines are ignored between glyphs, and a
// "glyph N" line may end with "; remark".
#pragma once

#include <cstdint>
#include <string>

namespace tools {

// Reads the font file at `path`, which must declare 8 x `height` glyphs,
// into `glyphs` (256 * height bytes, glyph N at N * height, one byte per
// row, bit 0 the leftmost pixel). On failure returns false with a message
// naming the file and line in `error`.
bool glyph_text_read(const std::string& path, int height, uint8_t* glyphs, std::string* error);

}  // namespace tools
