// The put_image dispatcher: position mapping, source rectangle clamping,
// clipping, kernel choice, locking and dirty marking.
#include "gfx/blit.h"

#include <cstdlib>
#include <cstring>

#include "app/runtime.h"
#include "gfx/blit_kernels.h"
#include "gfx/image.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"

namespace gfx {
namespace {

// The kernels of the depth and variant last built for: the vector set when
// the screen has has_mmx, the plain set otherwise. A screen opened at the
// same depth with MMX switched off (or on) needs a new table too, so the
// has_mmx bit is part of the key.
struct KernelTable {
    bool built = false;
    int depth = 0;
    bool mmx = false;
    const blit::KernelSet* set = nullptr;
};
KernelTable g_table;

const blit::KernelSet* kernel_table() {
    const ScreenState* s = screen;
    const bool mmx = (s->flags & ScreenState::has_mmx) != 0;
    if (!g_table.built || g_table.depth != s->depth || g_table.mmx != mmx) {
        g_table.set = mmx ? blit::kernels_vector(s->bytes_per_pixel) : blit::kernels_plain(s->bytes_per_pixel);
        g_table.depth = s->depth;
        g_table.mmx = mmx;
        g_table.built = true;
    }
    return g_table.set;
}

int32_t refuse() {
    rt::error_set(rt::ERR_ILLEGAL);
    return 1;
}

int64_t clamp(int64_t v, int64_t low, int64_t high) { return v < low ? low : v > high ? high : v; }

bool ranges_overlap(const uint8_t* a, size_t a_size, const uint8_t* b, size_t b_size) {
    const auto a0 = reinterpret_cast<uintptr_t>(a), b0 = reinterpret_cast<uintptr_t>(b);
    return a0 < b0 + b_size && b0 < a0 + a_size;
}

// One blit whose source shares memory with its destination (an image drawn
// onto itself). Every source pixel is read before the destination pixels
// that cover it are written, so the result is that of a blit from an
// untouched copy of the source.
//
// With equal pitches (the same image) each source row is staged in a row
// buffer and the rows run bottom-up when the destination lies after the
// source, top-down otherwise: a destination row then never covers a source
// row that is still to be read. Otherwise the whole rectangle is staged.
// Returns false when the staging memory is missing (nothing drawn).
bool blit_overlapping(BlitKernel kernel, const uint8_t* src, uint8_t* dst, int32_t w, int32_t h,
                      int32_t src_pitch, int32_t dst_pitch, int32_t bpp, int32_t alpha) {
    const size_t row_bytes = static_cast<size_t>(w) * static_cast<size_t>(bpp);
    if (src_pitch == dst_pitch) {
        uint8_t row[IMAGE_MAX_WIDTH * 4];
        const bool bottom_up = dst > src;
        for (int32_t i = 0; i < h; ++i) {
            const int32_t r = bottom_up ? h - 1 - i : i;
            std::memcpy(row, src + static_cast<ptrdiff_t>(r) * src_pitch, row_bytes);
            kernel(row, dst + static_cast<ptrdiff_t>(r) * dst_pitch, w, 1, static_cast<int32_t>(row_bytes),
                   dst_pitch, alpha);
        }
        return true;
    }
    auto* staged = static_cast<uint8_t*>(std::malloc(row_bytes * static_cast<size_t>(h)));
    if (staged == nullptr) return false;
    for (int32_t r = 0; r < h; ++r)
        std::memcpy(staged + row_bytes * static_cast<size_t>(r), src + static_cast<ptrdiff_t>(r) * src_pitch,
                    row_bytes);
    kernel(staged, dst, w, h, static_cast<int32_t>(row_bytes), dst_pitch, alpha);
    std::free(staged);
    return true;
}

}  // namespace

void order_rect(int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2) {
    if (*x2 < *x1) {
        const int32_t t = *x1;
        *x1 = *x2;
        *x2 = t;
    }
    if (*y2 < *y1) {
        const int32_t t = *y1;
        *y1 = *y2;
        *y2 = t;
    }
}

BlitKernel blit_kernel_select(int32_t mode, int32_t alpha, BlendFunction blend) {
    if (screen == nullptr) return nullptr;
    const blit::KernelSet* set = kernel_table();
    if (set == nullptr) return nullptr;
    switch (mode) {
        case BLIT_TRANSPARENT: return set->transparent;
        case BLIT_INVERT: return set->invert;
        case BLIT_AND: return set->bit_and;
        case BLIT_OR: return set->bit_or;
        case BLIT_XOR: return set->bit_xor;
        case BLIT_ALPHA:
            if (alpha < 0) return set->alpha_pixel;
            if (alpha == 0) return nullptr;
            // Full opacity: 255, anything above, and any value ending in 0xFF.
            if ((alpha & 0xFF) == 0xFF || alpha > 255) return set->transparent;
            return set->alpha_constant;
        case BLIT_CUSTOM:
            blit::blend_current = blend;
            return blend != nullptr ? set->custom : nullptr;
        default: return set->copy;
    }
}

int32_t put_image(ImageHeader* target, float x, float y, const ImageHeader* source, int32_t x1, int32_t y1,
                  int32_t x2, int32_t y2, int32_t relative_mode, int32_t mode, int32_t alpha,
                  BlendFunction blend) {
    ScreenState* s = screen;
    if (s == nullptr) return refuse();
    if (target_select(target) != target) return refuse();  // no memory for the target's line table
    resolve_relative(relative_mode, &x, &y, nullptr, nullptr);
    int32_t px, py;
    map_coords(x, y, &px, &py);

    // A missing picture (the tool's logo file may be absent) draws nothing.
    if (source == nullptr) return 0;
    const int64_t bpp = s->bytes_per_pixel;
    const uint32_t header_bpp = image_bpp(source);
    if (header_bpp != 0 && static_cast<int64_t>(header_bpp) != bpp) return refuse();
    const int64_t image_w = image_width(source), image_h = image_height(source);
    if (image_w == 0 || image_h == 0) return 0;
    const int64_t src_pitch = image_w * bpp;
    const uint8_t* src = image_pixels(source);

    // Source rectangle, clamped corner by corner into the image.
    int64_t w = image_w, h = image_h;
    if (x1 != SOURCE_WHOLE) {
        order_rect(&x1, &y1, &x2, &y2);
        const int64_t left = clamp(x1, 0, image_w - 1), right = clamp(x2, 0, image_w - 1);
        const int64_t top = clamp(y1, 0, image_h - 1), bottom = clamp(y2, 0, image_h - 1);
        w = right - left + 1;
        h = bottom - top + 1;
        src += top * src_pitch + left * bpp;
    }

    // Clip against the target's clip rectangle: top, bottom, left, right.
    int64_t dx = px, dy = py;
    const int64_t view_left = s->view_x, view_top = s->view_y;
    const int64_t view_right = view_left + s->view_w, view_bottom = view_top + s->view_h;
    if (dx + w <= view_left || dx >= view_right || dy + h <= view_top || dy >= view_bottom) return 0;
    if (dy < view_top) {
        src += (view_top - dy) * src_pitch;
        h -= view_top - dy;
        dy = view_top;
    }
    if (dy + h > view_bottom) h = view_bottom - dy;
    if (dx < view_left) {
        src += (view_left - dx) * bpp;
        w -= view_left - dx;
        dx = view_left;
    }
    if (dx + w > view_right) w = view_right - dx;

    const BlitKernel kernel = blit_kernel_select(mode, alpha, blend);
    if (kernel == nullptr) return 0;

    const int32_t cw = static_cast<int32_t>(w), ch = static_cast<int32_t>(h);
    const int32_t sp = static_cast<int32_t>(src_pitch), dp = s->target_pitch, pixel = static_cast<int32_t>(bpp);
    ScreenLock lock;
    uint8_t* dst = s->line_ptrs[dy] + dx * bpp;
    const size_t span = static_cast<size_t>(ch - 1) * static_cast<size_t>(dp) + static_cast<size_t>(cw * pixel);
    const size_t src_span = static_cast<size_t>(ch - 1) * static_cast<size_t>(sp) + static_cast<size_t>(cw * pixel);
    if (ranges_overlap(src, src_span, dst, span)) {
        if (!blit_overlapping(kernel, src, dst, cw, ch, sp, dp, pixel, alpha)) return refuse();
    } else {
        kernel(src, dst, cw, ch, sp, dp, alpha);
    }
    if (s->line_ptrs[0] == s->visible_page) dirty_mark(static_cast<int>(dy), ch);
    return 0;
}

}  // namespace gfx
