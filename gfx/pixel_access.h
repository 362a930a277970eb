// The drawing target, coordinate mapping, and single-pixel reads and writes.
// Coordinates from callers are floats rounded to pixels with halves away
// from zero, then offset by the clip rectangle's origin.
#pragma once

#include <cstdint>

namespace gfx {

struct ImageHeader;

// Relative-coordinate modes of point operations.
constexpr int32_t REL_SECOND_FROM_FIRST = 1;  // two-point operations only
constexpr int32_t REL_FROM_LAST = 2;          // also 5
constexpr int32_t REL_BOTH = 3;               // two-point operations only
constexpr int32_t REL_ABSOLUTE = 4;           // any other value is absolute too

// A y argument of exactly this value turns pixel_get into a query of the
// last point.
constexpr float LAST_POINT_QUERY = -8388607.0f;

// Makes `image` (null: the screen's work page) the drawing target, rebuilding
// the line table and clip rectangle when the target changes. Returns the
// image, or null (the screen is then the target) when a larger line table
// could not be allocated or when the image was made with fewer bytes per
// pixel than the screen has, so that drawing on it would overrun it.
ImageHeader* target_select(ImageHeader* image);

// Applies relative coordinates in place and records the last point.
void resolve_relative(int32_t mode, float* x, float* y, float* x2, float* y2);

// Caller coordinates to pixel coordinates of the target.
void map_coords(float x, float y, int32_t* px, int32_t* py);

// Converts one coordinate between window and view coordinates (kinds 0..3).
long double map_query(float value, int32_t kind);
long double last_point_query(int32_t kind);

// The pixel at (x, y) of the target: -1 outside the clip rectangle or with
// no screen; an RGB colour at 16 bits; the stored value otherwise.
int32_t pixel_get(ImageHeader* target, float x, float y);

// Writes one pixel (DEFAULT_COLOUR: fg_colour, or bg_colour with
// use_background) and marks its line dirty when the target is the visible
// page. Points outside the clip rectangle are dropped.
void pixel_set(ImageHeader* target, float x, float y, uint32_t colour, int32_t mode, int32_t use_background);

}  // namespace gfx
