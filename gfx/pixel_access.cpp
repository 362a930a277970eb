// Drawing target selection, coordinate mapping and pixel access.
#include "gfx/pixel_access.h"

#include <climits>
#include <cmath>
#include <cstdlib>

#include "gfx/image.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"

namespace gfx {
namespace {

// The screen's clip rectangle, kept while an image is the target.
int g_saved_view_x, g_saved_view_y, g_saved_view_w, g_saved_view_h;

// Clamped to the int32 range, so that huge coordinates stay far outside
// every clip rectangle instead of wrapping around.
int32_t clamp32(long double v) {
    if (!(v >= static_cast<long double>(INT32_MIN))) return INT32_MIN;  // also NaN
    if (v > static_cast<long double>(INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(v);
}

// Halves away from zero.
int32_t round_away(long double v) { return clamp32(v > 0 ? std::trunc(v + 0.5L) : std::trunc(v - 0.5L)); }

bool inside_view(int32_t px, int32_t py) {
    const ScreenState* s = screen;
    return px >= s->view_x && py >= s->view_y && static_cast<int64_t>(px) < static_cast<int64_t>(s->view_x) + s->view_w &&
           static_cast<int64_t>(py) < static_cast<int64_t>(s->view_y) + s->view_h;
}

}  // namespace

ImageHeader* target_select(ImageHeader* image) {
    ScreenState* s = screen;
    if (s == nullptr) return image;
    if (image != nullptr && image != s->target) {
        // An image made under a screen with fewer bytes per pixel holds too
        // few bytes to be drawn on in this screen's format.
        uint32_t bpp = image_bpp(image);
        if (bpp != 0 && bpp < static_cast<uint32_t>(s->bytes_per_pixel)) {
            target_select(nullptr);
            return nullptr;
        }
        uint32_t width = image_width(image), height = image_height(image);
        if (static_cast<uint32_t>(s->line_ptrs_capacity) < height) {
            auto* grown = static_cast<uint8_t**>(std::realloc(s->line_ptrs, height * sizeof(uint8_t*)));
            if (grown == nullptr) {
                target_select(nullptr);
                return nullptr;
            }
            s->line_ptrs = grown;
            s->line_ptrs_capacity = static_cast<int>(height);
        }
        if (s->target == nullptr) {
            g_saved_view_x = s->view_x;
            g_saved_view_y = s->view_y;
            g_saved_view_w = s->view_w;
            g_saved_view_h = s->view_h;
        }
        s->view_x = 0;
        s->view_y = 0;
        s->view_w = static_cast<int>(width);
        s->view_h = static_cast<int>(height);
        s->target_pitch = s->bytes_per_pixel * static_cast<int>(width);
        uint8_t* pixels = image_pixels(image);
        for (uint32_t i = 0; i < height; ++i) s->line_ptrs[i] = pixels + static_cast<size_t>(i) * s->target_pitch;
        s->flags |= ScreenState::target_is_image;
    } else if (image == nullptr && (s->flags & ScreenState::target_is_image)) {
        s->view_x = g_saved_view_x;
        s->view_y = g_saved_view_y;
        s->view_w = g_saved_view_w;
        s->view_h = g_saved_view_h;
        s->target_pitch = s->pitch;
        uint8_t* page = s->pages[s->work_page];
        for (int i = 0; i < s->height; ++i) s->line_ptrs[i] = page + static_cast<size_t>(i) * s->pitch;
        s->flags &= ~static_cast<uint32_t>(ScreenState::target_is_image);
    }
    s->target = image;
    return image;
}

void resolve_relative(int32_t mode, float* x, float* y, float* x2, float* y2) {
    ScreenState* s = screen;
    if (mode == REL_SECOND_FROM_FIRST && x2 != nullptr) {
        *x2 = *x2 + *x;
        *y2 = *y2 + *y;
    } else if (mode == REL_FROM_LAST || mode == 5) {
        *x = *x + s->last_x;
        *y = *y + s->last_y;
    } else if (mode == REL_BOTH) {
        *x = *x + s->last_x;
        *y = *y + s->last_y;
        if (x2 != nullptr) {
            *x2 = *x2 + *x;
            *y2 = *y2 + *y;
        }
    }
    if (x2 != nullptr) {
        s->last_x = *x2;
        s->last_y = *y2;
    } else {
        s->last_x = *x;
        s->last_y = *y;
    }
}

void map_coords(float x, float y, int32_t* px, int32_t* py) {
    const ScreenState* s = screen;
    long double vx = x, vy = y;
    bool mapping = (s->flags & ScreenState::window_mapping) != 0;
    if (mapping) {
        vx = s->view_w * (vx - s->window_x1) / (static_cast<long double>(s->window_x2) - 1);
        vy = s->view_h * (vy - s->window_y1) / (static_cast<long double>(s->window_y2) - 1);
    }
    int32_t rx = round_away(vx), ry = round_away(vy);
    if (mapping && !(s->flags & ScreenState::window_screen)) ry = s->view_h - 1 - ry;
    if (!(s->flags & ScreenState::view_screen)) {
        rx = clamp32(static_cast<long double>(rx) + s->view_x);
        ry = clamp32(static_cast<long double>(ry) + s->view_y);
    }
    *px = rx;
    *py = ry;
}

long double map_query(float value, int32_t kind) {
    const ScreenState* s = screen;
    if (s == nullptr) return 0;
    target_select(nullptr);
    bool mapping = (s->flags & ScreenState::window_mapping) != 0;
    bool no_flip = (s->flags & ScreenState::window_screen) != 0;
    long double v = value;
    switch (kind) {
        case 0:
            return mapping ? s->view_w * (v - s->window_x1) / (static_cast<long double>(s->window_x2) - 1) : v;
        case 1: {
            if (!mapping) return v;
            long double e = (v - s->window_y1) * s->view_h / (static_cast<long double>(s->window_y2) - 1);
            return no_flip ? e : s->view_h - 1 - e;
        }
        case 2:
            return mapping ? s->window_x1 + v * (static_cast<long double>(s->window_x2) - 1) / s->view_w : v;
        case 3: {
            if (!mapping) return v;
            long double w = no_flip ? v : s->view_h - 1 - v;
            return s->window_y1 + w * (static_cast<long double>(s->window_y2) - 1) / s->view_h;
        }
        default:
            return 0;
    }
}

long double last_point_query(int32_t kind) {
    const ScreenState* s = screen;
    if (s == nullptr) return 0;
    switch (kind) {
        case 0: return map_query(s->last_x, 0);
        case 1: return map_query(s->last_y, 1);
        case 2: return s->last_x;
        case 3: return s->last_y;
        default: return 0;
    }
}

int32_t pixel_get(ImageHeader* target, float x, float y) {
    if (screen == nullptr) return -1;
    if (y == LAST_POINT_QUERY) {
        long double v = last_point_query(clamp32(std::trunc(static_cast<long double>(x))));
        return clamp32(std::trunc(v));
    }
    if (target_select(target) != target) return -1;
    int32_t px, py;
    map_coords(x, y, &px, &py);
    if (!inside_view(px, py)) return -1;
    uint32_t v;
    {
        ScreenLock lock;
        v = pixel_read(px, py);
    }
    if (screen->depth == 16) return static_cast<int32_t>(pixel_to_rgb(static_cast<uint16_t>(v)));
    return static_cast<int32_t>(v);
}

void pixel_set(ImageHeader* target, float x, float y, uint32_t colour, int32_t mode, int32_t use_background) {
    ScreenState* s = screen;
    if (s == nullptr) return;
    uint32_t value;
    if (colour == DEFAULT_COLOUR) {
        value = use_background ? s->bg_colour : s->fg_colour;
    } else {
        value = colour_to_pixel(colour);
    }
    if (target_select(target) != target) return;
    resolve_relative(mode, &x, &y, nullptr, nullptr);
    int32_t px, py;
    map_coords(x, y, &px, &py);
    if (!inside_view(px, py)) return;
    ScreenLock lock;
    pixel_write(px, py, value);
    if (s->line_ptrs[0] == s->visible_page) s->dirty[py] = 1;
}

}  // namespace gfx
