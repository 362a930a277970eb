// The box blur: the per-neighbour reference and the running-sum fast path.
#include "app/box_blur.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/runtime.h"
#include "gfx/image.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"

namespace softglaze {
namespace {

bool escape_held() { return rt::console_key_down(ESCAPE_SCANCODE) != 0; }

inline uint32_t load_pixel(const uint8_t* row, size_t x) {
    uint32_t p;
    std::memcpy(&p, row + x * 4, 4);
    return p;
}

inline void store_pixel(uint8_t* row, size_t x, uint32_t p) { std::memcpy(row + x * 4, &p, 4); }

#if defined(__SSE2__)
// Four sums (whole numbers below 2^17, as floats) divided by n (2..512),
// rounded to nearest with ties to even. The single-precision quotient is
// correctly rounded, so it is within 2^-17 of the true one; a true quotient
// that ends in exactly .5 is a float itself, and any other lies at least
// 1/(2n) >= 1/1024 from the nearest half. Converting the quotient with the
// processor's rounding (to nearest, ties to even) therefore gives the exact
// answer.
inline __m128i divide4(__m128 sum, __m128 n4) { return _mm_cvtps_epi32(_mm_div_ps(sum, n4)); }
#endif

// Moves the column sums one row down, adding row `add` and taking row `sub`
// off (pixels 0x..RRGGBB), and writes their prefix sums along the row:
// prefix[c][x + 1] = column[c][0] + ... + column[c][x], per channel c (blue,
// green, red). One pass, so each column sum is read once per row.
void slide_columns(const uint8_t* add, const uint8_t* sub, int32_t* const column[3], int32_t* const prefix[3],
                   size_t width) {
    size_t x = 0;
    int32_t running[3] = {0, 0, 0};
#if defined(__SSE2__)
    const __m128i byte = _mm_set1_epi32(255);
    __m128i carry[3] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    for (; x + 4 <= width; x += 4) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(add + x * 4));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sub + x * 4));
        for (int c = 0; c < 3; ++c) {
            __m128i in = _mm_and_si128(_mm_srli_epi32(a, 8 * c), byte);
            __m128i out = _mm_and_si128(_mm_srli_epi32(d, 8 * c), byte);
            __m128i* col = reinterpret_cast<__m128i*>(column[c] + x);
            __m128i v = _mm_add_epi32(_mm_loadu_si128(col), _mm_sub_epi32(in, out));
            _mm_storeu_si128(col, v);
            // A scan inside the register, then the carry of the columns before.
            v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
            v = _mm_add_epi32(v, _mm_slli_si128(v, 8));
            v = _mm_add_epi32(v, carry[c]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(prefix[c] + x + 1), v);
            carry[c] = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3));
        }
    }
    for (int c = 0; c < 3; ++c) running[c] = _mm_cvtsi128_si32(carry[c]);
#endif
    for (; x < width; ++x) {
        uint32_t a = load_pixel(add, x), d = load_pixel(sub, x);
        for (int c = 0; c < 3; ++c) {
            column[c][x] += static_cast<int32_t>((a >> (8 * c)) & 255) - static_cast<int32_t>((d >> (8 * c)) & 255);
            running[c] += column[c][x];
            prefix[c][x + 1] = running[c];
        }
    }
}

// One output row. `pre` holds, per channel (blue, green, red), the prefix
// sums of the column sums over the row's window of `rows` rows.
class RowAverager {
public:
    RowAverager(const int32_t* const pre[3], int32_t width, int32_t radius, int32_t rows)
        : pre_{pre[0], pre[1], pre[2]}, width_(width), radius_(radius), rows_(rows) {}

    void run(const uint8_t* centre, uint8_t* target) const {
        // Windows clipped at the left edge, whole ones, clipped at the right.
        const int32_t whole_begin = std::min(radius_, width_);
        const int32_t whole_end = std::max(whole_begin, width_ - radius_);
        int32_t x = 0;
        for (; x < whole_begin; ++x) edge_pixel(centre, target, x);
        x = whole_windows(centre, target, x, whole_end);
        const uint32_t n = static_cast<uint32_t>(rows_ * (2 * radius_ + 1) + 1);
        for (; x < whole_end; ++x) pixel(centre, target, x, x - radius_, x + radius_, n);
        for (; x < width_; ++x) edge_pixel(centre, target, x);
    }

private:
    void pixel(const uint8_t* centre, uint8_t* target, int32_t x, int32_t lo, int32_t hi, uint32_t n) const {
        uint32_t p = load_pixel(centre, static_cast<size_t>(x));
        uint32_t v = 0;
        for (int c = 0; c < 3; ++c) {
            uint32_t sum = static_cast<uint32_t>(pre_[c][hi + 1] - pre_[c][lo]) + ((p >> (8 * c)) & 255);
            v |= round_half_even(sum, n) << (8 * c);
        }
        store_pixel(target, static_cast<size_t>(x), v);
    }

    void edge_pixel(const uint8_t* centre, uint8_t* target, int32_t x) const {
        int32_t lo = std::max(x - radius_, 0), hi = std::min(x + radius_, width_ - 1);
        pixel(centre, target, x, lo, hi, static_cast<uint32_t>(rows_ * (hi - lo + 1) + 1));
    }

    // Whole windows four pixels at a time where there is vector code;
    // returns where it stopped.
    int32_t whole_windows(const uint8_t* centre, uint8_t* target, int32_t x, int32_t end) const {
#if defined(__SSE2__)
        const __m128 n4 = _mm_set1_ps(static_cast<float>(rows_ * (2 * radius_ + 1) + 1));
        const __m128i byte = _mm_set1_epi32(255);
        for (; x + 4 <= end; x += 4) {
            __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre + static_cast<size_t>(x) * 4));
            __m128i v = _mm_setzero_si128();
            for (int c = 0; c < 3; ++c) {
                __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pre_[c] + x + radius_ + 1));
                __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pre_[c] + x - radius_));
                __m128i own = _mm_and_si128(c == 0 ? p : _mm_srli_epi32(p, c == 1 ? 8 : 16), byte);
                __m128 sum = _mm_cvtepi32_ps(_mm_add_epi32(_mm_sub_epi32(hi, lo), own));
                __m128i q = divide4(sum, n4);
                v = _mm_or_si128(v, c == 0 ? q : _mm_slli_epi32(q, c == 1 ? 8 : 16));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + static_cast<size_t>(x) * 4), v);
        }
#else
        (void)centre, (void)target, (void)end;
#endif
        return x;
    }

    const int32_t* pre_[3];
    int32_t width_, radius_, rows_;
};

}  // namespace

uint32_t round_half_even(uint32_t s, uint32_t n) {
    uint32_t q = s / n;
    uint32_t twice_rest = 2 * (s - q * n);
    if (twice_rest > n || (twice_rest == n && (q & 1))) ++q;
    return q;
}

void divide_row(const int32_t* sums, int32_t* quotients, int32_t count, int32_t n) {
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128 n4 = _mm_set1_ps(static_cast<float>(n));
    for (; i + 4 <= count; i += 4) {
        __m128 sum = _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(quotients + i), divide4(sum, n4));
    }
#endif
    for (; i < count; ++i)
        quotients[i] = static_cast<int32_t>(round_half_even(static_cast<uint32_t>(sums[i]), static_cast<uint32_t>(n)));
}

bool blur_per_neighbour(gfx::ImageHeader* source, gfx::ImageHeader* output, int32_t width, int32_t height,
                        int radius) {
    gfx::ScreenState* s = gfx::screen;
    if (s == nullptr) return true;  // no screen: nothing can be read or written

    // Only positions inside the output's clip rectangle can be written; the
    // others would only be read, so the outer loops skip them.
    if (gfx::target_select(output) != output) return true;
    int32_t x_begin = std::max(0, s->view_x), y_begin = std::max(0, s->view_y);
    int32_t x_end = static_cast<int32_t>(std::min<int64_t>(width, int64_t{s->view_x} + s->view_w));
    int32_t y_end = static_cast<int32_t>(std::min<int64_t>(height, int64_t{s->view_y} + s->view_h));

    for (int32_t x = x_begin; x < x_end; ++x) {
        for (int32_t y = y_begin; y < y_end; ++y) {
            uint32_t c = static_cast<uint32_t>(gfx::pixel_get(source, static_cast<float>(x), static_cast<float>(y)));
            uint32_t r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255, n = 1;
            for (int32_t i = x - radius; i <= x + radius; ++i) {
                for (int32_t j = y - radius; j <= y + radius; ++j) {
                    if (i < 0 || i >= width || j < 0 || j >= height) continue;
                    c = static_cast<uint32_t>(gfx::pixel_get(source, static_cast<float>(i), static_cast<float>(j)));
                    r += (c >> 16) & 255;
                    g += (c >> 8) & 255;
                    b += c & 255;
                    ++n;
                    if (escape_held()) return false;
                }
            }
            uint32_t value = (round_half_even(r, n) << 16) | (round_half_even(g, n) << 8) | round_half_even(b, n);
            gfx::pixel_set(output, static_cast<float>(x), static_cast<float>(y), value, gfx::REL_ABSOLUTE, 0);
        }
    }
    return true;
}

bool blur_fast(const gfx::ImageHeader* source, gfx::ImageHeader* output, int32_t width, int32_t height,
               int radius) {
    if (width <= 0 || height <= 0) return true;
    const size_t w = static_cast<size_t>(width);
    const size_t pitch = w * 4;
    const uint8_t* in = gfx::image_pixels(source);
    uint8_t* out = gfx::image_pixels(output);
    auto row = [&](int32_t y) { return in + static_cast<size_t>(y) * pitch; };

    // Per channel (blue, green, red): the column sums over the current
    // window's rows, and their prefix sums along the row.
    std::vector<int32_t> columns(3 * w, 0), prefixes(3 * (w + 1), 0);
    int32_t* column[3] = {columns.data(), columns.data() + w, columns.data() + 2 * w};
    int32_t* prefix[3] = {prefixes.data(), prefixes.data() + (w + 1), prefixes.data() + 2 * (w + 1)};

    // Rows outside the picture add nothing.
    const std::vector<uint8_t> nothing(pitch, 0);
    auto or_nothing = [&](const uint8_t* r) { return r != nullptr ? r : nothing.data(); };
    for (int32_t y = 0; y < radius && y < height; ++y) slide_columns(row(y), nothing.data(), column, prefix, w);

    for (int32_t y = 0; y < height; ++y) {
        if (escape_held()) return false;
        // The window of row y spans rows y - radius .. y + radius: row
        // y + radius enters, row y - radius - 1 leaves.
        const uint8_t* entering = y + radius < height ? row(y + radius) : nullptr;
        const uint8_t* leaving = y - radius - 1 >= 0 ? row(y - radius - 1) : nullptr;
        slide_columns(or_nothing(entering), or_nothing(leaving), column, prefix, w);
        const int32_t rows = std::min(y + radius, height - 1) - std::max(y - radius, 0) + 1;
        RowAverager(prefix, width, radius, rows).run(row(y), out + static_cast<size_t>(y) * pitch);
    }
    return true;
}

bool box_blur(gfx::ImageHeader* source, gfx::ImageHeader* output, int32_t width, int32_t height, int radius) {
    auto sized = [&](const gfx::ImageHeader* image) {
        return image != nullptr && gfx::image_width(image) == static_cast<uint32_t>(width) &&
               gfx::image_height(image) == static_cast<uint32_t>(height);
    };
    if (gfx::screen != nullptr && gfx::screen->bytes_per_pixel == 4 && sized(source) && sized(output)) {
        return blur_fast(source, output, width, height, radius);
    }
    return blur_per_neighbour(source, output, width, height, radius);
}

}  // namespace softglaze
