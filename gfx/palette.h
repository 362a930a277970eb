// The palette of screens with 8 bits per pixel or less: the active entries
// (`palette`, 0x00BBGGRR), the mode's default colours (`base_colours`) and,
// for modes that show a few of a larger default set, `palette_map`.
//
// A packed palette value is, with the 256-entry default palette, a 6-bit
// colour (red bits 0..5, green 8..13, blue 16..21); with the 2-, 16- or
// 64-entry default palettes, an index into base_colours (low bits only).
#pragma once

#include <cstdint>

namespace gfx {

// Sets active entry `index` from a packed value and tells the driver. Takes
// no lock. Indices outside 0..255 are ignored.
void palette_entry_set(int32_t index, int32_t value);

// index >= 0: sets one entry; with green and blue >= 0 the three arguments
// are 8-bit components, else `colour` is the packed value. index < 0:
// resets the whole palette to the mode's default (palette_reset). Marks
// every line dirty. Does nothing without a screen or above depth 8.
void palette_set(int32_t index, int32_t colour, int32_t green, int32_t blue);

// Sets entries 0..2^depth - 1 from `values`; negative values keep theirs.
void palette_set_array(const int32_t* values);

// Loads the mode's default palette (index < 0 picks mode 1's colour set).
// Takes no lock.
void palette_reset(int32_t index);

// Sends all 256 active entries to the driver. Takes no lock.
void palette_push();

}  // namespace gfx
