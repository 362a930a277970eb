// The tool's box blur: every output pixel is the average of the clipped
// (2R+1) x (2R+1) window around it with the centre counted twice, each
// channel rounded to nearest with ties to even. The output's top byte is 0.
#pragma once

#include <cstdint>

namespace gfx {
struct ImageHeader;
}

namespace softglaze {

// The scancode whose key stops the blur at once.
constexpr int ESCAPE_SCANCODE = 1;

// Reads every window position through pixel_get and writes through pixel_set
// (null means the screen), testing Escape after every in-image neighbour.
// Serves whenever an image is missing and is the reference for blur_fast.
// Only positions inside the output's clip rectangle are visited: the others
// could not be written. Returns false when Escape was held down.
bool blur_per_neighbour(gfx::ImageHeader* source, gfx::ImageHeader* output, int32_t width, int32_t height,
                        int radius);

// The same result from running sums, O(1) work per pixel, straight on two
// 32-bit image buffers of width x height. Tests Escape before every output
// row. Returns false when Escape was held down.
bool blur_fast(const gfx::ImageHeader* source, gfx::ImageHeader* output, int32_t width, int32_t height,
               int radius);

// blur_fast when both images exist on a 32-bit screen with the given size,
// blur_per_neighbour otherwise.
bool box_blur(gfx::ImageHeader* source, gfx::ImageHeader* output, int32_t width, int32_t height, int radius);

// s / n rounded to nearest, ties to even.
uint32_t round_half_even(uint32_t s, uint32_t n);

// quotients[i] = round_half_even(sums[i], n) for window sums below 2^17 and
// counts 2..512, the way blur_fast's row loop divides (vector code where the
// processor has it).
void divide_row(const int32_t* sums, int32_t* quotients, int32_t count, int32_t n);

}  // namespace softglaze
