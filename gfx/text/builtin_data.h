// The built-in fonts (8x8, 8x14, 8x16, code page 437) and default palettes
// (2, 16, 64, 256 entries). They ship as one 12-bit LZW stream that is
// unpacked once, on the first screen opening, into a static block; the
// descriptors below point into that block and are usable only after
// builtin_data_unpack().
#pragma once

#include <cstddef>
#include <cstdint>

namespace gfx {

struct FontInfo {
    int32_t width;          // glyph width in pixels: 8
    int32_t height;         // glyph height in pixels: 8, 14 or 16
    const uint8_t* glyphs;  // 256 glyphs, (width + 7) / 8 bytes per row, bit 0 leftmost
};

struct PaletteInfo {
    int32_t entry_count;  // 2, 16, 64 or 256
    const uint8_t* rgb;   // entry_count triplets of red, green, blue (0..255)
};

// Layout of the unpacked block.
constexpr size_t BUILTIN_BLOCK_SIZE = 10742;
constexpr size_t BUILTIN_FONT8_OFFSET = 0;
constexpr size_t BUILTIN_FONT14_OFFSET = 2048;
constexpr size_t BUILTIN_FONT16_OFFSET = 5632;
constexpr size_t BUILTIN_PALETTE2_OFFSET = 9728;
constexpr size_t BUILTIN_PALETTE16_OFFSET = 9734;
constexpr size_t BUILTIN_PALETTE64_OFFSET = 9782;
constexpr size_t BUILTIN_PALETTE256_OFFSET = 9974;

// In this order: 8x16, 8x14, 8x8.
extern const FontInfo builtin_fonts[3];
// In this order: 256, 64, 16, 2 entries.
extern const PaletteInfo builtin_palettes[4];

inline const FontInfo& font_8x16() { return builtin_fonts[0]; }
inline const FontInfo& font_8x14() { return builtin_fonts[1]; }
inline const FontInfo& font_8x8() { return builtin_fonts[2]; }
inline const PaletteInfo& palette_256() { return builtin_palettes[0]; }
inline const PaletteInfo& palette_64() { return builtin_palettes[1]; }
inline const PaletteInfo& palette_16() { return builtin_palettes[2]; }
inline const PaletteInfo& palette_2() { return builtin_palettes[3]; }

// The unpacked block (BUILTIN_BLOCK_SIZE bytes).
const uint8_t* builtin_block();

// The packed stream of the block, generated at build time from the glyph
// sources in gfx/text/fonts/ and the palette tables of the packer.
extern const uint8_t builtin_packed[];
extern const size_t builtin_packed_size;

// Unpacks the built-in stream into the block the first time it is called;
// later calls do nothing. Returns whether this call did the unpacking.
bool builtin_data_unpack();

// Expands a 12-bit LZW stream of `length` bytes into `out`. *size is the
// capacity on entry and the number of bytes written on return. Returns 0
// when the end code was reached, -1 on failure: a stream of one byte or
// less, input running out before the end code (a code is read only when both
// of its bytes lie inside the stream), output past the capacity (nothing is
// written beyond it, not even the first byte), a first code that is not a
// single byte, a code above the next one to be defined, or a code whose
// expansion takes more than 4094 steps.
int lzw12_unpack(const uint8_t* stream, size_t length, uint8_t* out, size_t* size);

}  // namespace gfx
