// The vector blit kernels, written once over a vector-operations traits type
// (gfx/simd_ops.h) and instantiated per instruction set: with MmxOps in
// blit_kernels_mmx.cpp, with Sse2Ops in blit_kernels_sse2.cpp. They are the
// twins of the plain families in blit_kernels.h; the pixels that do not fill
// a whole vector step go through the same pixel rules as the plain kernels,
// so every variant gives the same pixels.
//
// Include only from a file compiled for the traits type it instantiates.
#pragma once

#include "gfx/blit_kernels.h"
#include "gfx/simd_ops.h"

namespace gfx::blit::vector {

using simd::select;

// ---- Byte-wise family: invert, and, or, xor --------------------------------------

template <class Ops, class Op>
struct VecOp;
template <class Ops>
struct VecOp<Ops, OpInvert> {
    static typename Ops::V apply(typename Ops::V s, typename Ops::V) { return Ops::xor_(s, Ops::set1_32(-1)); }
};
template <class Ops>
struct VecOp<Ops, OpAnd> {
    static typename Ops::V apply(typename Ops::V s, typename Ops::V d) { return Ops::and_(d, s); }
};
template <class Ops>
struct VecOp<Ops, OpOr> {
    static typename Ops::V apply(typename Ops::V s, typename Ops::V d) { return Ops::or_(d, s); }
};
template <class Ops>
struct VecOp<Ops, OpXor> {
    static typename Ops::V apply(typename Ops::V s, typename Ops::V d) { return Ops::xor_(d, s); }
};

template <class Op, typename T>
inline void scalar_step(const uint8_t*& s, uint8_t*& d) {
    store<T>(d, Op::apply(load<T>(s), load<T>(d)));
    s += sizeof(T);
    d += sizeof(T);
}

// One row of `count` bytes: 1, 2, 4 (and 8 with 16-byte vectors) bytes for
// the low bits of the count, then one vector when that bit is set, then two
// vectors per step.
template <class Ops, class Op>
inline void bytewise_row(const uint8_t* s, uint8_t* d, size_t count) {
    constexpr size_t step = Ops::bytes;
    if (count & 1) scalar_step<Op, uint8_t>(s, d);
    if (count & 2) scalar_step<Op, uint16_t>(s, d);
    if (count & 4) scalar_step<Op, uint32_t>(s, d);
    if constexpr (step > 8) {
        if (count & 8) scalar_step<Op, uint64_t>(s, d);
    }
    if (count & step) {
        Ops::store(d, VecOp<Ops, Op>::apply(Ops::load(s), Ops::load(d)));
        s += step;
        d += step;
    }
    for (size_t n = count / (2 * step); n != 0; --n, s += 2 * step, d += 2 * step) {
        const auto a = VecOp<Ops, Op>::apply(Ops::load(s), Ops::load(d));
        const auto b = VecOp<Ops, Op>::apply(Ops::load(s + step), Ops::load(d + step));
        Ops::store(d, a);
        Ops::store(d + step, b);
    }
}

template <class Ops, int Bpp, class Op>
void bytewise_kernel(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                     int32_t source_pitch, int32_t destination_pitch, int32_t) {
    if (width <= 0 || height <= 0) return;
    const size_t count = static_cast<size_t>(width) * Bpp;
    for (int32_t y = 0; y < height; ++y, source += source_pitch, destination += destination_pitch)
        bytewise_row<Ops, Op>(source, destination, count);
    Ops::finish();
}

// ---- Blends in 16-bit lanes ---------------------------------------------------------
// 32-bit pixels are split into their even bytes (blue, red) and odd bytes
// (green, top), each byte in a 16-bit lane, so no unpacking is needed.
// Per lane d + floor((s - d) * a / 256) = floor((d * (256 - a) + s * a) / 256),
// whose numerator never exceeds 255 * 256 and so fits the lane unsigned.
// `a` holds each pixel's factor (1..256) in both of its 16-bit lanes. The
// top byte is cleared, as by the plain rule.
template <class Ops>
inline typename Ops::V blend32_lanes(typename Ops::V s, typename Ops::V d, typename Ops::V a) {
    const auto low = Ops::set1_16(0x00FF);
    const auto na = Ops::sub16(Ops::set1_16(256), a);
    const auto even = Ops::add16(Ops::mullo16(Ops::and_(d, low), na), Ops::mullo16(Ops::and_(s, low), a));
    const auto odd =
        Ops::add16(Ops::mullo16(Ops::template srli16<8>(d), na), Ops::mullo16(Ops::template srli16<8>(s), a));
    return Ops::or_(Ops::template srli16<8>(even), Ops::and_(odd, Ops::set1_32(0x0000FF00)));
}

// The factors of 32-bit pixels, their top bytes plus one, in both 16-bit
// lanes of each pixel.
template <class Ops>
inline typename Ops::V top_byte_factors(typename Ops::V s) {
    const auto top = Ops::template srli32<24>(s);
    return Ops::add16(Ops::or_(top, Ops::template slli32<16>(top)), Ops::set1_16(1));
}

// Pixels with factor c (0..32) in every lane, RGB565. Blue and green stay in
// place: their products stay exact modulo 2^16 in the bits the sums need.
// Red is moved down first, as its bits above 15 would be lost.
template <class Ops>
inline typename Ops::V blend16_lanes(typename Ops::V s, typename Ops::V d, typename Ops::V c) {
    const auto blue = Ops::set1_16(0x001F), green = Ops::set1_16(0x07E0);
    const auto db = Ops::and_(d, blue), dg = Ops::and_(d, green);
    const auto b = Ops::and_(
        Ops::add16(db, Ops::template srai16<5>(Ops::mullo16(Ops::sub16(Ops::and_(s, blue), db), c))), blue);
    const auto g = Ops::and_(
        Ops::add16(dg, Ops::template srli16<5>(Ops::mullo16(Ops::sub16(Ops::and_(s, green), dg), c))), green);
    const auto dr = Ops::template srli16<11>(d);
    const auto r = Ops::template slli16<11>(
        Ops::add16(dr, Ops::template srai16<5>(Ops::mullo16(Ops::sub16(Ops::template srli16<11>(s), dr), c))));
    return Ops::or_(Ops::or_(r, g), b);
}

// ---- Per-pixel steps ------------------------------------------------------------------
// A step handles the pixels of one vector and names the plain rule that
// handles the pixels before the first whole vector, with the same results.

template <class Ops, typename P>
struct StepTransparent {
    using Rule = RuleTransparent<P>;
    using V = typename Ops::V;
    static constexpr int beside = 0;
    static int32_t rule_param(int32_t) { return 0; }
    static V prepare(int32_t) { return Ops::zero(); }
    static V apply(V s, V d, V) {
        if constexpr (sizeof(P) == 1) {
            return select<Ops>(Ops::cmpeq8(s, Ops::zero()), d, s);
        } else if constexpr (sizeof(P) == 2) {
            return select<Ops>(Ops::cmpeq16(s, Ops::set1_16(static_cast<int16_t>(MASK_RGB16))), d, s);
        } else {
            const V colour = Ops::and_(s, Ops::set1_32(static_cast<int32_t>(RGB32_COLOUR)));
            return select<Ops>(Ops::cmpeq32(colour, Ops::set1_32(static_cast<int32_t>(MASK_RGB32))), d, colour);
        }
    }
};

// Mask of the 32-bit pixels whose low 24 bits are the mask colour.
template <class Ops>
inline typename Ops::V mask32(typename Ops::V s) {
    return Ops::cmpeq32(Ops::and_(s, Ops::set1_32(static_cast<int32_t>(RGB32_COLOUR))),
                        Ops::set1_32(static_cast<int32_t>(MASK_RGB32)));
}

template <class Ops>
struct StepBlend32Constant {
    using Rule = RuleBlend32Constant;
    using V = typename Ops::V;
    static constexpr int beside = Ops::blend32_pixels_beside;
    static uint32_t rule_param(int32_t alpha) { return Rule::prepare(alpha); }
    static V prepare(int32_t alpha) { return Ops::set1_16(static_cast<int16_t>(factor32(alpha))); }
    static V apply(V s, V d, V a) { return select<Ops>(mask32<Ops>(s), d, blend32_lanes<Ops>(s, d, a)); }
};

template <class Ops>
struct StepBlend32PerPixel {
    using Rule = RuleBlend32PerPixel;
    using V = typename Ops::V;
    static constexpr int beside = Ops::blend32_pixels_beside;
    static int32_t rule_param(int32_t) { return 0; }
    static V prepare(int32_t) { return Ops::zero(); }
    static V apply(V s, V d, V) { return blend32_lanes<Ops>(s, d, top_byte_factors<Ops>(s)); }
};

template <class Ops>
struct StepBlend16Constant {
    using Rule = RuleBlend16Constant;
    using V = typename Ops::V;
    static constexpr int beside = Ops::blend16_pixels_beside;
    static uint32_t rule_param(int32_t alpha) { return Rule::prepare(alpha); }
    static V prepare(int32_t alpha) { return Ops::set1_16(static_cast<int16_t>(factor16(alpha))); }
    static V apply(V s, V d, V c) {
        return select<Ops>(Ops::cmpeq16(s, Ops::set1_16(static_cast<int16_t>(MASK_RGB16))), d,
                           blend16_lanes<Ops>(s, d, c));
    }
};

// Per row: the pixels that do not fill a whole vector through the plain rule,
// then, where the step asks for it, two vectors and `beside` pixels through
// the plain rule per iteration, then one vector when the count of vectors
// left is odd, then two per iteration.
template <class Ops, class Step>
void step_kernel(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height, int32_t source_pitch,
                 int32_t destination_pitch, int32_t alpha) {
    using Rule = typename Step::Rule;
    using P = typename Rule::Pixel;
    constexpr int32_t per_vector = Ops::bytes / sizeof(P);
    constexpr int32_t beside = Step::beside;
    static_assert(beside % per_vector == 0, "whole vectors remain after the mixed iterations");
    constexpr size_t step = Ops::bytes;
    if (width <= 0 || height <= 0) return;
    const auto rule_param = Step::rule_param(alpha);
    const auto param = Step::prepare(alpha);
    const int32_t head = width % per_vector;
    for (int32_t y = 0; y < height; ++y, source += source_pitch, destination += destination_pitch) {
        pixel_row<Rule>(source, destination, head, rule_param);
        const uint8_t* s = source + head * sizeof(P);
        uint8_t* d = destination + head * sizeof(P);
        int32_t left = width - head;
        if constexpr (beside > 0) {
            constexpr int32_t mixed = 2 * per_vector + beside;
            for (; left >= mixed; left -= mixed, s += mixed * sizeof(P), d += mixed * sizeof(P)) {
                const auto a = Step::apply(Ops::load(s), Ops::load(d), param);
                const auto b = Step::apply(Ops::load(s + step), Ops::load(d + step), param);
                Ops::store(d, a);
                Ops::store(d + step, b);
                pixel_row<Rule>(s + 2 * step, d + 2 * step, beside, rule_param);
            }
        }
        const int32_t vectors = left / per_vector;
        if (vectors & 1) {
            Ops::store(d, Step::apply(Ops::load(s), Ops::load(d), param));
            s += step;
            d += step;
        }
        for (int32_t n = vectors >> 1; n != 0; --n, s += 2 * step, d += 2 * step) {
            const auto a = Step::apply(Ops::load(s), Ops::load(d), param);
            const auto b = Step::apply(Ops::load(s + step), Ops::load(d + step), param);
            Ops::store(d, a);
            Ops::store(d + step, b);
        }
    }
    Ops::finish();
}

// ---- The kernel set of one instruction set -------------------------------------------
// The copy kernel is the plain one: its rows go through the C runtime's
// memcpy, which already moves them with the widest moves the processor has.
// The custom kernel is the plain one too: a callback per pixel leaves nothing
// for vectors to do.

template <int Bpp>
using Pixel = std::conditional_t<Bpp == 1, uint8_t, std::conditional_t<Bpp == 2, uint16_t, uint32_t>>;

template <class Ops, int Bpp>
constexpr KernelSet kernel_set() {
    using P = Pixel<Bpp>;
    KernelSet set{
        blit::bytewise_kernel<Bpp, OpCopy>,
        bytewise_kernel<Ops, Bpp, OpInvert>,
        bytewise_kernel<Ops, Bpp, OpAnd>,
        bytewise_kernel<Ops, Bpp, OpOr>,
        bytewise_kernel<Ops, Bpp, OpXor>,
        step_kernel<Ops, StepTransparent<Ops, P>>,
        blit::bytewise_kernel<Bpp, OpCopy>,
        step_kernel<Ops, StepTransparent<Ops, P>>,
        pixel_kernel<RuleCustom<P>>,
    };
    if constexpr (Bpp == 2) {
        set.alpha_constant = step_kernel<Ops, StepBlend16Constant<Ops>>;
    } else if constexpr (Bpp == 4) {
        set.alpha_pixel = step_kernel<Ops, StepBlend32PerPixel<Ops>>;
        set.alpha_constant = step_kernel<Ops, StepBlend32Constant<Ops>>;
    }
    return set;
}

}  // namespace gfx::blit::vector
