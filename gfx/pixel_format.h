// Pixel formats and the per-depth routine pointers every drawing operation
// uses. Storage formats by screen depth:
//   1, 2, 4, 8: one byte, a palette index        (mask colour 0)
//   16:         RGB565 word                      (mask colour 0xF81F)
//   32:         0xTTRRGGBB word, top byte kept    (mask: low 24 bits 0xFF00FF)
// Caller colour values: a palette index up to depth 8, 0x00RRGGBB above.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gfx {

// Reserved colour value: "the operation's default colour". Never converted.
constexpr uint32_t DEFAULT_COLOUR = 0xFEFF00FF;

// The MMX feature bit of cpu_features().
constexpr uint32_t CPU_FEATURE_MMX = 1u << 23;

using ByteFillFn = void (*)(void* destination, int value, size_t count);
using ByteCopyFn = void (*)(void* destination, const void* source, size_t count);
using SpanFillFn = void (*)(void* destination, uint32_t pixel, size_t count);
using SpanCopyFn = void (*)(void* destination, const void* source, size_t count);
using PixelReadFn = uint32_t (*)(int x, int y);
using PixelWriteFn = void (*)(int x, int y, uint32_t pixel);

// Chosen by pixel_routines_select at every screen opening.
extern ByteFillFn byte_fill;    // count bytes of the low byte of value
extern ByteCopyFn byte_copy;    // count bytes, regions do not overlap
extern SpanFillFn span_fill;    // count pixels of the depth
extern SpanCopyFn span_copy;    // count pixels (byte_copy of count * bytes_per_pixel)
extern PixelReadFn pixel_read;  // pixel at column x of line y of the drawing target
extern PixelWriteFn pixel_write;  // no clipping: callers clip

// The byte routines in both variants, so tests can compare them.
void byte_fill_plain(void* destination, int value, size_t count);
void byte_copy_plain(void* destination, const void* source, size_t count);
void byte_fill_mmx(void* destination, int value, size_t count);
void byte_copy_mmx(void* destination, const void* source, size_t count);

// With 2 bytes per pixel: (blue >> 3) | ((green << 3)
// & 0x07E0) | ((red << 8) & 0xF800); at every other depth: value unchanged.
int32_t pack_rgb(int32_t value, int32_t red, int32_t green, int32_t blue);

// Caller colour to native pixel value of the open screen, masked with
// colour_mask.
uint32_t colour_to_pixel(uint32_t colour);

// RGB565 to 0x00RRGGBB with bit replication.
uint32_t pixel_to_rgb(uint16_t pixel);

// Chooses the routine pointers for screen->depth and sets the has_mmx bit of
// screen->flags when MMX is used.
void pixel_routines_select();

// CPUID function 1 EDX bits 0..23 (no MMX bit when there is no CPUID),
// computed on the first call and cached.
uint32_t cpu_features();

// Test seam: with `force` the MMX routines, kernels and display converters
// are not chosen even on a processor that has MMX.
void simd_force_plain(bool force);
// MMX available and not forced off.
bool mmx_enabled();

}  // namespace gfx
