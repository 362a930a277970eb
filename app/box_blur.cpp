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
// rounded to nearest with ties to even. The product with the single-
// precision reciprocal is within 3.1e-5 of the true quotient, while a
// quotient that is not whole lies at least 1/512 from the next whole number,
// so truncating the product gives floor(s / n), or one less when s / n is
// whole; the remainder, exact in float, corrects that and decides the
// rounding.
inline __m128i divide4(__m128 sum, __m128 n4, __m128 reciprocal) {
    __m128i q = _mm_cvttps_epi32(_mm_mul_ps(sum, reciprocal));
    __m128 rest = _mm_sub_ps(sum, _mm_mul_ps(_mm_cvtepi32_ps(q), n4));
    __m128 short_by_one = _mm_cmpge_ps(rest, n4);
    q = _mm_sub_epi32(q, _mm_castps_si128(short_by_one));  // the mask is -1
    rest = _mm_sub_ps(rest, _mm_and_ps(short_by_one, n4));
    __m128 twice = _mm_add_ps(rest, rest);
    __m128i above_half = _mm_castps_si128(_mm_cmpgt_ps(twice, n4));
    const __m128i one = _mm_set1_epi32(1);
    __m128i odd = _mm_cmpeq_epi32(_mm_and_si128(q, one), one);
    __m128i odd_tie = _mm_and_si128(_mm_castps_si128(_mm_cmpeq_ps(twice, n4)), odd);
    return _mm_sub_epi32(q, _mm_or_si128(above_half, odd_tie));  // masks are -1: subtracting adds one
}
#endif

// prefix[x + 1] = column[0] + ... + column[x] for x in [0, width).
void prefix_sums(const int32_t* column, int32_t* prefix, size_t width) {
    size_t x = 0;
    int32_t running = 0;
#if defined(__SSE2__)
    // Four lanes a step: a scan inside the register, then the carry added.
    __m128i carry = _mm_setzero_si128();
    for (; x + 4 <= width; x += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(column + x));
        v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
        v = _mm_add_epi32(v, _mm_slli_si128(v, 8));
        v = _mm_add_epi32(v, carry);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(prefix + x + 1), v);
        carry = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3));
    }
    running = _mm_cvtsi128_si32(carry);
#endif
    for (; x < width; ++x) {
        running += column[x];
        prefix[x + 1] = running;
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
        const float n = static_cast<float>(rows_ * (2 * radius_ + 1) + 1);
        const __m128 n4 = _mm_set1_ps(n);
        const __m128 reciprocal = _mm_set1_ps(1.0f / n);
        const __m128i byte = _mm_set1_epi32(255);
        for (; x + 4 <= end; x += 4) {
            __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre + static_cast<size_t>(x) * 4));
            __m128i v = _mm_setzero_si128();
            for (int c = 0; c < 3; ++c) {
                __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pre_[c] + x + radius_ + 1));
                __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pre_[c] + x - radius_));
                __m128i own = _mm_and_si128(c == 0 ? p : _mm_srli_epi32(p, c == 1 ? 8 : 16), byte);
                __m128 sum = _mm_cvtepi32_ps(_mm_add_epi32(_mm_sub_epi32(hi, lo), own));
                __m128i q = divide4(sum, n4, reciprocal);
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
    const __m128 reciprocal = _mm_set1_ps(1.0f / static_cast<float>(n));
    for (; i + 4 <= count; i += 4) {
        __m128 sum = _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(quotients + i), divide4(sum, n4, reciprocal));
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

    // Adds row `entering` to the column sums and takes row `leaving` off.
    const std::vector<uint8_t> nothing(pitch, 0);
    auto slide = [&](const uint8_t* entering, const uint8_t* leaving) {
        const uint8_t* add = entering != nullptr ? entering : nothing.data();
        const uint8_t* sub = leaving != nullptr ? leaving : nothing.data();
        int32_t* c0 = column[0];
        int32_t* c1 = column[1];
        int32_t* c2 = column[2];
        for (size_t x = 0; x < w; ++x) {
            uint32_t a = load_pixel(add, x), d = load_pixel(sub, x);
            c0[x] += static_cast<int32_t>(a & 255) - static_cast<int32_t>(d & 255);
            c1[x] += static_cast<int32_t>((a >> 8) & 255) - static_cast<int32_t>((d >> 8) & 255);
            c2[x] += static_cast<int32_t>((a >> 16) & 255) - static_cast<int32_t>((d >> 16) & 255);
        }
    };
    for (int32_t y = 0; y <= radius && y < height; ++y) slide(row(y), nullptr);

    for (int32_t y = 0; y < height; ++y) {
        if (escape_held()) return false;
        const uint8_t* entering = y > 0 && y + radius < height ? row(y + radius) : nullptr;
        const uint8_t* leaving = y - radius - 1 >= 0 ? row(y - radius - 1) : nullptr;
        if (entering != nullptr || leaving != nullptr) slide(entering, leaving);
        for (int c = 0; c < 3; ++c) prefix_sums(column[c], prefix[c], w);
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
