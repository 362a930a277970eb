// The MMX blit kernels, twins of the plain families in blit_kernels.h. The
// pixels that do not fill a whole step go through the same pixel rules as
// the plain kernels, so both variants give the same pixels.
#include <mmintrin.h>

#include "gfx/blit_kernels.h"

namespace gfx::blit {
namespace {

// An 8-byte MMX value at any address. Accessed through this type the
// compiler moves it with one MMX load or store; a memcpy into an __m64 is
// turned into pairs of 32-bit integer moves on 32-bit x86.
typedef __m64 unaligned_m64 __attribute__((__may_alias__, __aligned__(1)));

inline __m64 load64(const uint8_t* p) { return *reinterpret_cast<const unaligned_m64*>(p); }
inline void store64(uint8_t* p, __m64 v) { *reinterpret_cast<unaligned_m64*>(p) = v; }

// d where the mask bits are set, r elsewhere.
inline __m64 select(__m64 mask, __m64 d, __m64 r) {
    return _mm_or_si64(_mm_and_si64(mask, d), _mm_andnot_si64(mask, r));
}

// ---- Byte-wise family ---------------------------------------------------------

template <class Op>
struct MmxOp;
template <>
struct MmxOp<OpInvert> {
    static __m64 apply(__m64 s, __m64) { return _mm_xor_si64(s, _mm_set1_pi32(-1)); }
};
template <>
struct MmxOp<OpAnd> {
    static __m64 apply(__m64 s, __m64 d) { return _mm_and_si64(d, s); }
};
template <>
struct MmxOp<OpOr> {
    static __m64 apply(__m64 s, __m64 d) { return _mm_or_si64(d, s); }
};
template <>
struct MmxOp<OpXor> {
    static __m64 apply(__m64 s, __m64 d) { return _mm_xor_si64(d, s); }
};

template <class Op>
inline __m64 mmx_apply(const uint8_t* s, const uint8_t* d) {
    return MmxOp<Op>::apply(load64(s), load64(d));
}

template <class Op, typename T>
inline void scalar_step(const uint8_t*& s, uint8_t*& d) {
    store<T>(d, Op::apply(load<T>(s), load<T>(d)));
    s += sizeof(T);
    d += sizeof(T);
}

template <class Op>
inline void bytewise_row_mmx(const uint8_t* s, uint8_t* d, size_t count) {
    if (count & 1) scalar_step<Op, uint8_t>(s, d);
    if (count & 2) scalar_step<Op, uint16_t>(s, d);
    if (count & 4) scalar_step<Op, uint32_t>(s, d);
    if (count & 8) {
        store64(d, mmx_apply<Op>(s, d));
        s += 8;
        d += 8;
    }
    for (size_t n = count >> 4; n != 0; --n, s += 16, d += 16) {
        const __m64 a = mmx_apply<Op>(s, d);
        const __m64 b = mmx_apply<Op>(s + 8, d + 8);
        store64(d, a);
        store64(d + 8, b);
    }
}

// ---- Blends in 16-bit lanes -------------------------------------------------------
// Two 32-bit pixels are split into their even bytes (blue, red) and odd
// bytes (green, top), each byte in a 16-bit lane, so no unpacking is needed.
// Per lane d + floor((s - d) * a / 256) = floor((d * (256 - a) + s * a) / 256),
// whose numerator never exceeds 255 * 256 and so fits the lane unsigned.
// `a` holds the factor (1..256) of the first pixel in lanes 0 and 1 and that
// of the second in lanes 2 and 3. The top byte is cleared, as by the plain
// rule.
inline __m64 blend32_pair(__m64 s, __m64 d, __m64 a) {
    const __m64 low = _mm_set1_pi16(0x00FF);
    const __m64 na = _mm_sub_pi16(_mm_set1_pi16(256), a);
    const __m64 even = _mm_add_pi16(_mm_mullo_pi16(_mm_and_si64(d, low), na), _mm_mullo_pi16(_mm_and_si64(s, low), a));
    const __m64 odd = _mm_add_pi16(_mm_mullo_pi16(_mm_srli_pi16(d, 8), na), _mm_mullo_pi16(_mm_srli_pi16(s, 8), a));
    return _mm_or_si64(_mm_srli_pi16(even, 8), _mm_and_si64(odd, _mm_set1_pi32(0x0000FF00)));
}

// The factors of two 32-bit pixels, their top bytes plus one, laid out as
// blend32_pair wants them. The top bytes come from the odd-byte lanes that
// blend32_pair takes from the source as well, so that shift is shared.
inline __m64 top_byte_factors(__m64 s) {
    const __m64 top = _mm_and_si64(_mm_srli_pi16(s, 8), _mm_set1_pi32(static_cast<int>(0xFFFF0000u)));
    return _mm_add_pi16(_mm_or_si64(top, _mm_srli_pi32(top, 16)), _mm_set1_pi16(1));
}

// Mask of the 32-bit pixels whose low 24 bits are the mask colour.
inline __m64 mask32(__m64 s) {
    return _mm_cmpeq_pi32(_mm_and_si64(s, _mm_set1_pi32(static_cast<int>(RGB32_COLOUR))),
                          _mm_set1_pi32(static_cast<int>(MASK_RGB32)));
}

// Four RGB565 pixels blended with factor c (0..32) in every lane. Blue and
// green stay in place: their products stay exact modulo 2^16 in the bits the
// sums need. Red is moved down first, as its bits above 15 would be lost.
inline __m64 blend16_quad(__m64 s, __m64 d, __m64 c) {
    const __m64 blue = _mm_set1_pi16(0x001F), green = _mm_set1_pi16(0x07E0);
    const __m64 db = _mm_and_si64(d, blue), dg = _mm_and_si64(d, green);
    const __m64 b = _mm_and_si64(
        _mm_add_pi16(db, _mm_srai_pi16(_mm_mullo_pi16(_mm_sub_pi16(_mm_and_si64(s, blue), db), c), 5)), blue);
    const __m64 g = _mm_and_si64(
        _mm_add_pi16(dg, _mm_srli_pi16(_mm_mullo_pi16(_mm_sub_pi16(_mm_and_si64(s, green), dg), c), 5)), green);
    const __m64 dr = _mm_srli_pi16(d, 11);
    const __m64 r = _mm_slli_pi16(
        _mm_add_pi16(dr, _mm_srai_pi16(_mm_mullo_pi16(_mm_sub_pi16(_mm_srli_pi16(s, 11), dr), c), 5)), 11);
    return _mm_or_si64(_mm_or_si64(r, g), b);
}

// ---- Per-pixel steps ------------------------------------------------------------------
// A step handles the pixels of one 8-byte group and names the plain rule
// that handles the pixels before the first whole group, with the same
// results.

template <typename P>
struct StepTransparent {
    using Rule = RuleTransparent<P>;
    static int32_t rule_param(int32_t) { return 0; }
    static __m64 prepare(int32_t) { return _mm_setzero_si64(); }
    static __m64 apply(__m64 s, __m64 d, __m64) {
        if constexpr (sizeof(P) == 1) {
            return select(_mm_cmpeq_pi8(s, _mm_setzero_si64()), d, s);
        } else if constexpr (sizeof(P) == 2) {
            return select(_mm_cmpeq_pi16(s, _mm_set1_pi16(static_cast<short>(MASK_RGB16))), d, s);
        } else {
            return select(mask32(s), d, _mm_and_si64(s, _mm_set1_pi32(static_cast<int>(RGB32_COLOUR))));
        }
    }
};

struct StepBlend32Constant {
    using Rule = RuleBlend32Constant;
    static uint32_t rule_param(int32_t alpha) { return Rule::prepare(alpha); }
    static __m64 prepare(int32_t alpha) { return _mm_set1_pi16(static_cast<short>(factor32(alpha))); }
    static __m64 apply(__m64 s, __m64 d, __m64 a) { return select(mask32(s), d, blend32_pair(s, d, a)); }
};

struct StepBlend32PerPixel {
    using Rule = RuleBlend32PerPixel;
    static int32_t rule_param(int32_t) { return 0; }
    static __m64 prepare(int32_t) { return _mm_setzero_si64(); }
    static __m64 apply(__m64 s, __m64 d, __m64) { return blend32_pair(s, d, top_byte_factors(s)); }
};

struct StepBlend16Constant {
    using Rule = RuleBlend16Constant;
    static uint32_t rule_param(int32_t alpha) { return Rule::prepare(alpha); }
    static __m64 prepare(int32_t alpha) { return _mm_set1_pi16(static_cast<short>(factor16(alpha))); }
    static __m64 apply(__m64 s, __m64 d, __m64 c) {
        return select(_mm_cmpeq_pi16(s, _mm_set1_pi16(static_cast<short>(MASK_RGB16))), d, blend16_quad(s, d, c));
    }
};

// Per row: the odd pixels through the plain rule, then one 8-byte group
// when their count is odd, then two groups per iteration.
template <class Step>
void step_kernel(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height, int32_t source_pitch,
                 int32_t destination_pitch, int32_t alpha) {
    using P = typename Step::Rule::Pixel;
    constexpr int32_t per_group = 8 / sizeof(P);
    if (width <= 0 || height <= 0) return;
    const auto rule_param = Step::rule_param(alpha);
    const __m64 param = Step::prepare(alpha);
    const int32_t head = width % per_group;
    const int32_t groups = width / per_group;
    for (int32_t y = 0; y < height; ++y, source += source_pitch, destination += destination_pitch) {
        pixel_row<typename Step::Rule>(source, destination, head, rule_param);
        const uint8_t* s = source + head * sizeof(P);
        uint8_t* d = destination + head * sizeof(P);
        if (groups & 1) {
            store64(d, Step::apply(load64(s), load64(d), param));
            s += 8;
            d += 8;
        }
        for (int32_t n = groups >> 1; n != 0; --n, s += 16, d += 16) {
            const __m64 a = Step::apply(load64(s), load64(d), param);
            const __m64 b = Step::apply(load64(s + 8), load64(d + 8), param);
            store64(d, a);
            store64(d + 8, b);
        }
    }
    _mm_empty();
}

}  // namespace

template <int Bpp, class Op>
void bytewise_kernel_mmx(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                         int32_t source_pitch, int32_t destination_pitch, int32_t) {
    if (width <= 0 || height <= 0) return;
    const size_t count = static_cast<size_t>(width) * Bpp;
    for (int32_t y = 0; y < height; ++y, source += source_pitch, destination += destination_pitch)
        bytewise_row_mmx<Op>(source, destination, count);
    _mm_empty();
}

template <typename P>
void transparent_kernel_mmx(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                            int32_t source_pitch, int32_t destination_pitch, int32_t alpha) {
    step_kernel<StepTransparent<P>>(source, destination, width, height, source_pitch, destination_pitch, alpha);
}

void blend32_constant_kernel_mmx(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                                 int32_t source_pitch, int32_t destination_pitch, int32_t alpha) {
    step_kernel<StepBlend32Constant>(source, destination, width, height, source_pitch, destination_pitch, alpha);
}

void blend32_pixel_kernel_mmx(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                              int32_t source_pitch, int32_t destination_pitch, int32_t alpha) {
    step_kernel<StepBlend32PerPixel>(source, destination, width, height, source_pitch, destination_pitch, alpha);
}

void blend16_constant_kernel_mmx(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                                 int32_t source_pitch, int32_t destination_pitch, int32_t alpha) {
    step_kernel<StepBlend16Constant>(source, destination, width, height, source_pitch, destination_pitch, alpha);
}

template void bytewise_kernel_mmx<1, OpInvert>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<1, OpAnd>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<1, OpOr>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<1, OpXor>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<2, OpInvert>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<2, OpAnd>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<2, OpOr>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<2, OpXor>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<4, OpInvert>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<4, OpAnd>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<4, OpOr>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void bytewise_kernel_mmx<4, OpXor>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void transparent_kernel_mmx<uint8_t>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void transparent_kernel_mmx<uint16_t>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
template void transparent_kernel_mmx<uint32_t>(const uint8_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);

}  // namespace gfx::blit
