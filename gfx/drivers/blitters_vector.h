// The vector line converters of the display blitters, written once over a
// vector-operations traits type (gfx/simd_ops.h) for all families, beside the
// plain ones in blitter_kernels.h, and instantiated per instruction set: with
// MmxOps in blitters_mmx.cpp, with Sse2Ops in blitters_sse2.cpp. A step
// converts two vectors' worth of pixels (4 with MMX, 8 with SSE2; twice that
// for 16-bit sources into 15 or 16 bits); the tail of every line goes through
// the plain pixel rules, so every variant gives the same display pixels.
//
// Include only from a file compiled for the traits type it instantiates.
#pragma once

#include "gfx/drivers/blitter_kernels.h"
#include "gfx/simd_ops.h"

namespace gfx::blitter::vector {

// Words (components in bits 0-7, 8-15, 16-23), red and blue exchanged, top
// byte cleared.
template <class Ops>
inline typename Ops::V swap_red_blue(typename Ops::V x) {
    const auto red_blue = Ops::and_(x, Ops::set1_32(0x00FF00FF));
    return simd::or3<Ops>(Ops::and_(x, Ops::set1_32(0x0000FF00)), Ops::template slli32<16>(red_blue),
                          Ops::template srli32<16>(red_blue));
}

// Words into 15- or 16-bit pixels, one per 32-bit lane of a and b together.
// Masking with 0x00F8 per 16-bit lane keeps the top five bits of the low
// component in the low lane and of the high component in the high lane;
// PMADDWD multiplies each lane so that, with the masked green ORed in where it
// already lies, one shift right puts all three fields in place: for 16 bits
// the low component goes to bits 5-9 and the high one to 16-20, then a shift
// by 5; for 15 bits 6-10 and 16-20, then a shift by 6. With `Swap` the low
// component goes high.
//
// `Regrouped`: a holds the even pixels and b the odd ones; each odd result
// goes to the high half of its even neighbour's lane, in one shift left as
// the bits that the shift right would drop are zero. Otherwise a holds the
// first pixels and b the next ones, packed to 16-bit lanes in that order:
// 15-bit results never exceed 0x7FFF, so a signed saturating pack is exact;
// 16-bit results reach 0xFFFF, so they are shifted left into the top half of
// the lane and back with sign extension (bit 20 of the sum becomes the sign)
// before the pack, which then keeps their 16 bits.
template <class Ops, int Bits, bool Swap, bool Regrouped>
inline typename Ops::V words_to_pixels(typename Ops::V a, typename Ops::V b) {
    constexpr int32_t low_mult = Bits == 15 ? 8 : 4;
    constexpr int32_t high_mult = 0x2000;
    constexpr int shift = Bits == 15 ? 6 : 5;
    const auto top5 = Ops::set1_16(0x00F8);
    const auto mult = Ops::set1_32(Swap ? high_mult | (low_mult << 16) : low_mult | (high_mult << 16));
    const auto green = Ops::set1_32(Bits == 15 ? 0x0000F800 : 0x0000FC00);
    const auto fields = [&](typename Ops::V w) {
        return Ops::or_(Ops::madd16(Ops::and_(w, top5), mult), Ops::and_(w, green));
    };
    const auto fa = fields(a), fb = fields(b);
    if constexpr (Regrouped) {
        return Ops::or_(Ops::template srli32<shift>(fa), Ops::template slli32<16 - shift>(fb));
    } else if constexpr (Bits == 15) {
        return Ops::packs32(Ops::template srli32<shift>(fa), Ops::template srli32<shift>(fb));
    } else {
        return Ops::packs32(Ops::template srai32<16>(Ops::template slli32<16 - shift>(fa)),
                            Ops::template srai32<16>(Ops::template slli32<16 - shift>(fb)));
    }
}

// 5:6:5 pixels (one per 16-bit lane) into 15 or 16 bits of order `O`.
template <class Ops, int Bits, Order O>
inline typename Ops::V rgb16_to_pixels(typename Ops::V q) {
    if constexpr (Bits == 15 && O == Order::rgb) {
        return Ops::or_(Ops::template srli16<1>(Ops::and_(q, Ops::set1_16(static_cast<int16_t>(0xFFC0)))),
                        Ops::and_(q, Ops::set1_16(0x001F)));
    } else if constexpr (Bits == 15) {
        return simd::or3<Ops>(Ops::template srli16<1>(Ops::template slli16<11>(q)),
                              Ops::template srli16<1>(Ops::and_(q, Ops::set1_16(0x07C0))),
                              Ops::template srli16<11>(q));
    } else {
        static_assert(O == Order::bgr, "16-bit RGB displays take the line copy");
        return simd::or3<Ops>(Ops::template slli16<11>(q), Ops::and_(q, Ops::set1_16(0x07E0)),
                              Ops::template srli16<11>(q));
    }
}

// Words of display order with their top byte cleared, two per 64-bit lane,
// as six bytes per lane: the first word's three bytes, then the second's.
template <class Ops>
inline typename Ops::V six_byte_lanes(typename Ops::V w) {
    const auto first = Ops::set1_low32_of64(0x00FFFFFF);
    return Ops::or_(Ops::and_(w, first), Ops::template srli64<8>(Ops::andnot(first, w)));
}

// The words of source pixels i to i + N - 1 in general registers, their top
// bytes cleared with `Clean`: palette entries and 32-bit pixels, red and blue
// exchanged with `Swap` (by reversing the bytes and moving them down one
// byte, which clears the top byte too); or 5:6:5 pixels expanded through the
// table, which is in the display's order already.
template <Source S, bool Swap, bool Clean, int N>
inline void scalar_words(const uint8_t* src, int i, const LineContext& c, uint32_t (&w)[N]) {
    for (int k = 0; k < N; ++k) {
        uint32_t e;
        if constexpr (S == Source::rgb16)
            e = expand_rgb16(src + 2 * (i + k), c.table);
        else if constexpr (S == Source::palette)
            e = c.palette[src[i + k]];
        else
            e = load32(src + 4 * (i + k));
        if constexpr (Swap && S != Source::rgb16)
            w[k] = __builtin_bswap32(e) >> 8;
        else
            w[k] = Clean ? e & 0x00FFFFFF : e;
    }
}

// 5:6:5 pixels (one per 16-bit lane) expanded as the table of order `O`
// would, as words in two vectors: the first pixels in `a`, the next in `b`.
// The low two bytes of each word (the low component and green, each at the
// top of its byte) and its third byte (the high component) are computed in
// 16-bit lanes, then interleaved into the words.
template <class Ops, Order O>
inline void expand_pixels(typename Ops::V q, typename Ops::V& a, typename Ops::V& b) {
    const auto green = Ops::template slli16<5>(Ops::and_(q, Ops::set1_16(0x07E0)));
    const auto blue = Ops::and_(q, Ops::set1_16(0x001F));
    const auto red = Ops::and_(Ops::template srli16<8>(q), Ops::set1_16(0x00F8));  // red5 << 3
    const auto low = Ops::or_(green, O == Order::rgb ? Ops::template slli16<3>(blue) : red);
    const auto high = O == Order::rgb ? red : Ops::template slli16<3>(blue);
    a = Ops::unpacklo16(low, high);
    b = Ops::unpackhi16(low, high);
}

// Converts the 5:6:5 pixels of a line into 24 or 32 bits, computing the
// expansion of order `O` in registers: 2 * Ops::lanes pixels per step, and
// into 32 bits Ops::expand32_pixels_beside more looked up in the table in
// general registers (which the caller has found to be the table of `O`).
// Returns the first pixel not converted.
template <class Ops, int Bits, Order O>
inline int expand_line(uint8_t* dst, const uint8_t* src, const LineContext& c) {
    constexpr int computed = 2 * Ops::lanes;
    constexpr int beside = Bits == 32 ? Ops::expand32_pixels_beside : 0;
    int i = 0;
    for (; i + computed + beside <= c.width; i += computed + beside) {
        typename Ops::V a, b;
        expand_pixels<Ops, O>(Ops::load(src + 2 * i), a, b);
        if constexpr (Bits == 24) {
            Ops::store_six_byte_lanes(dst + 3 * i, six_byte_lanes<Ops>(a), six_byte_lanes<Ops>(b));
        } else {
            Ops::store(dst + 4 * i, a);
            Ops::store(dst + 4 * i + Ops::bytes, b);
            for (int k = i + computed; k < i + computed + beside; ++k)
                store32(dst + 4 * k, expand_rgb16(src + 2 * k, c.table));
        }
    }
    return i;
}

// The words of 2 * Ops::lanes source pixels from i on: one vector of them in
// `a` and the next in `b`, or with `Regrouped` the even pixels in `a` and the
// odd ones in `b`. 32-bit pixels are loaded; palette entries and expanded
// 5:6:5 pixels are looked up. `Swap` exchanges red and blue of palette entries
// and 32-bit pixels; `Clean` clears the top bytes.
template <class Ops, Source S, bool Regrouped, bool Swap, bool Clean>
inline void load_words(const uint8_t* src, int i, const LineContext& c, typename Ops::V& a, typename Ops::V& b) {
    constexpr int lanes = Ops::lanes;
    if constexpr (S == Source::rgb32) {
        static_assert(!Regrouped, "32-bit pixels are loaded in order");
        a = Ops::load(src + 4 * i);
        b = Ops::load(src + 4 * i + Ops::bytes);
        if constexpr (Swap) {
            a = swap_red_blue<Ops>(a);
            b = swap_red_blue<Ops>(b);
        } else if constexpr (Clean) {
            a = Ops::and_(a, Ops::set1_32(0x00FFFFFF));
            b = Ops::and_(b, Ops::set1_32(0x00FFFFFF));
        }
    } else {
        uint32_t w[2 * lanes];
        scalar_words<S, Swap, Clean>(src, i, c, w);
        if constexpr (Regrouped) {
            a = Ops::make32([&](int k) { return w[2 * k]; });
            b = Ops::make32([&](int k) { return w[2 * k + 1]; });
        } else {
            a = Ops::make32([&](int k) { return w[k]; });
            b = Ops::make32([&](int k) { return w[lanes + k]; });
        }
    }
}

template <class Ops, Source S, int Bits, Order O>
struct VectorLine {
    static constexpr int pixel_bytes = PlainLine<S, Bits, O>::pixel_bytes;
    static constexpr bool reads_palette = PlainLine<S, Bits, O>::reads_palette;
    static constexpr bool reads_table = PlainLine<S, Bits, O>::reads_table;
    static constexpr bool identifies_table = reads_table;

    static void convert(uint8_t* dst, const uint8_t* src, const LineContext& c) {
        using V = typename Ops::V;
        constexpr int per_vector = Ops::lanes;  // 32-bit words per vector
        int i = 0;
        if constexpr (S == Source::rgb16 && (Bits == 15 || Bits == 16)) {
            constexpr int per_step = Ops::bytes;  // two vectors of 16-bit pixels
            for (; i + per_step <= c.width; i += per_step) {
                const V a = rgb16_to_pixels<Ops, Bits, O>(Ops::load(src + 2 * i));
                const V b = rgb16_to_pixels<Ops, Bits, O>(Ops::load(src + 2 * i + Ops::bytes));
                Ops::store(dst + 2 * i, a);
                Ops::store(dst + 2 * i + Ops::bytes, b);
            }
        } else if constexpr (Bits == 15 || Bits == 16) {
            // Words come as they are: the multiply-add exchanges red and blue.
            // Palette entries come as even and odd pixels, which costs nothing
            // with lookups and spares the results a pack.
            constexpr bool regrouped = S == Source::palette;
            for (; i + 2 * per_vector <= c.width; i += 2 * per_vector) {
                V a, b;
                load_words<Ops, S, regrouped, false, false>(src, i, c, a, b);
                Ops::store(dst + 2 * i, words_to_pixels<Ops, Bits, swaps_red_blue<S, O>, regrouped>(a, b));
            }
        } else if constexpr (Bits == 32 && S == Source::rgb32) {
            for (; i + 2 * per_vector <= c.width; i += 2 * per_vector) {
                V a, b;
                load_words<Ops, S, false, swaps_red_blue<S, O>, false>(src, i, c, a, b);
                Ops::store(dst + 4 * i, a);
                Ops::store(dst + 4 * i + Ops::bytes, b);
            }
        } else {
            // 5:6:5 pixels with one of the two tables that select_blitter
            // builds: the expansion is computed, not looked up (into 24 bits
            // only where vectors pack 24-bit results well).
            if constexpr (S == Source::rgb16 && (Bits == 32 || Ops::packs24_in_vectors)) {
                if (c.table_kind == TableKind::rgb)
                    i = expand_line<Ops, Bits, Order::rgb>(dst, src, c);
                else if (c.table_kind == TableKind::bgr)
                    i = expand_line<Ops, Bits, Order::bgr>(dst, src, c);
            }
            // 32-bit pixels into 24 bits in vectors where they pack well, unless
            // red and blue change places: a byte reversal in general registers
            // does that for less.
            if constexpr (S == Source::rgb32 && Ops::packs24_in_vectors && !swaps_red_blue<S, O>) {
                for (; i + 2 * per_vector <= c.width; i += 2 * per_vector) {
                    V a, b;
                    load_words<Ops, S, false, false, true>(src, i, c, a, b);
                    Ops::store_six_byte_lanes(dst + 3 * i, six_byte_lanes<Ops>(a), six_byte_lanes<Ops>(b));
                }
            }
            // The rest in general registers, four pixels per step: looked-up
            // words cost more to move into vector registers than the vector
            // stores save, and four 24-bit results make three 32-bit words.
            constexpr bool swap = swaps_red_blue<S, O> && S != Source::rgb16;
            for (; i + 4 <= c.width; i += 4) {
                uint32_t w[4];
                scalar_words<S, swap, false>(src, i, c, w);
                if constexpr (Bits == 24) {
                    // Swapped words have no top byte; the others lose it here.
                    constexpr uint32_t keep = swap ? 0xFFFFFFFF : 0x00FFFFFF;
                    uint8_t* out = dst + 3 * i;
                    store32(out, (w[0] & keep) | (w[1] << 24));
                    store32(out + 4, ((w[1] & keep) >> 8) | (w[2] << 16));
                    store32(out + 8, ((w[2] & keep) >> 16) | (w[3] << 8));
                } else {
                    for (int k = 0; k < 4; ++k) store32(dst + 4 * (i + k), w[k]);
                }
            }
        }
        convert_tail<S, Bits, O>(dst, src, i, c);
    }
};

// The member of one family: the dirty-line walk over the vector converter,
// then the vector state left.
template <class Ops, Source S, int Bits, Order O>
void blit(uint8_t* destination, int destination_pitch) {
    walk_dirty_lines<VectorLine<Ops, S, Bits, O>>(destination, destination_pitch);
    Ops::finish();
}

}  // namespace gfx::blitter::vector
