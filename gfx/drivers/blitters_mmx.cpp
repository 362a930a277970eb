// The MMX members of the display blitters: one line converter template for
// all families, beside the plain one in blitter_kernels.h. Four pixels per
// step (eight for 16-bit sources into 15 or 16 bits); the tail of every line
// goes through the plain pixel rules, so both give the same display pixels.
#include <mmintrin.h>

#include "gfx/drivers/blitter_kernels.h"

namespace gfx::blitter {
namespace {

inline __m64 load64(const uint8_t* p) {
    __m64 v;
    std::memcpy(&v, p, 8);
    return v;
}
inline void store64(uint8_t* p, __m64 v) { std::memcpy(p, &v, 8); }

// Two 32-bit values, the first in the low half.
inline __m64 pair(uint32_t first, uint32_t second) {
    return _mm_unpacklo_pi32(_mm_cvtsi32_si64(static_cast<int>(first)),
                             _mm_cvtsi32_si64(static_cast<int>(second)));
}

inline __m64 or3(__m64 a, __m64 b, __m64 c) { return _mm_or_si64(_mm_or_si64(a, b), c); }

// Two words per register, red and blue exchanged (top byte cleared).
inline __m64 swap_red_blue_2(__m64 x) {
    const __m64 red_blue = _mm_and_si64(x, _mm_set1_pi32(0x00FF00FF));
    return or3(_mm_and_si64(x, _mm_set1_pi32(0x0000FF00)), _mm_slli_pi32(red_blue, 16),
               _mm_srli_pi32(red_blue, 16));
}

// Four words (two per register, components in bits 0-7, 8-15, 16-23) into
// four 15- or 16-bit pixels. Masking with 0x00F8 per 16-bit lane keeps the top
// five bits of the low component in the low lane and of the high component in
// the high lane; PMADDWD multiplies each lane so that, with the masked green
// ORed in where it already lies, one shift right puts all three fields in
// place: for 16 bits the low component goes to bits 5-9 and the high one to
// 16-20, then a shift by 5; for 15 bits 6-10 and 16-20, then a shift by 6.
// With `Swap` the low component goes high. `Regrouped`: the registers hold
// pixels (0, 2) and (1, 3) instead of (0, 1) and (2, 3).
template <int Bits, bool Swap, bool Regrouped>
inline __m64 words_to_pixels(__m64 lo, __m64 hi) {
    constexpr short low_mult = Bits == 15 ? 8 : 4;
    constexpr short high_mult = 0x2000;
    const __m64 top5 = _mm_set1_pi16(0x00F8);
    const __m64 mult = Swap ? _mm_set_pi16(low_mult, high_mult, low_mult, high_mult)
                            : _mm_set_pi16(high_mult, low_mult, high_mult, low_mult);
    const __m64 green = _mm_set1_pi32(Bits == 15 ? 0x0000F800 : 0x0000FC00);
    constexpr int shift = Bits == 15 ? 6 : 5;

    const __m64 a = _mm_srli_pi32(
        _mm_or_si64(_mm_madd_pi16(_mm_and_si64(lo, top5), mult), _mm_and_si64(lo, green)), shift);
    const __m64 b = _mm_srli_pi32(
        _mm_or_si64(_mm_madd_pi16(_mm_and_si64(hi, top5), mult), _mm_and_si64(hi, green)), shift);
    if constexpr (Regrouped) {
        // Every result fits its low 16 bits: pixels 1 and 3 go to the high halves.
        return _mm_or_si64(a, _mm_slli_pi32(b, 16));
    } else if constexpr (Bits == 15) {
        // Results never exceed 0x7FFF, so a signed saturating pack is exact.
        return _mm_packs_pi32(a, b);
    } else {
        // Results reach 0xFFFF: interleave the low halves instead of packing.
        const __m64 even = _mm_unpacklo_pi16(a, b);  // p0, p2, -, -
        const __m64 odd = _mm_unpackhi_pi16(a, b);   // p1, p3, -, -
        return _mm_unpacklo_pi16(even, odd);
    }
}

// Eight 5:6:5 pixels (four per register) into 15 or 16 bits of order `O`.
template <int Bits, Order O>
inline __m64 rgb16_to_pixels(__m64 q) {
    if constexpr (Bits == 15 && O == Order::rgb) {
        const __m64 high = _mm_set1_pi16(static_cast<short>(0xFFC0));
        return _mm_or_si64(_mm_srli_pi16(_mm_and_si64(q, high), 1),
                           _mm_and_si64(q, _mm_set1_pi16(0x001F)));
    } else if constexpr (Bits == 15) {
        return or3(_mm_srli_pi16(_mm_slli_pi16(q, 11), 1),
                   _mm_srli_pi16(_mm_and_si64(q, _mm_set1_pi16(0x07C0)), 1), _mm_srli_pi16(q, 11));
    } else {
        static_assert(O == Order::bgr, "16-bit RGB displays take the line copy");
        return or3(_mm_slli_pi16(q, 11), _mm_and_si64(q, _mm_set1_pi16(0x07E0)),
                   _mm_srli_pi16(q, 11));
    }
}

// Four source pixels from i on as 32-bit values, two per register: palette
// entries, 32-bit pixels, or 5:6:5 pixels expanded through the table (the two
// table halves ORed two pixels at a time). Lookups are ordinary loads. For 15-
// and 16-bit results palette entries come regrouped as pixels (0, 2) and
// (1, 3), which costs nothing here and spares the results an interleave.
template <Source S, int Bits>
constexpr bool loads_regrouped = S == Source::palette && (Bits == 15 || Bits == 16);

template <Source S, int Bits>
inline void load_four(const uint8_t* src, int i, const LineContext& c, __m64& lo, __m64& hi) {
    if constexpr (S == Source::palette) {
        constexpr int second = loads_regrouped<S, Bits> ? 2 : 1;
        const uint8_t* s = src + i;
        const uint32_t* p = c.palette;
        lo = pair(p[s[0]], p[s[second]]);
        hi = pair(p[s[3 - second]], p[s[3]]);
    } else if constexpr (S == Source::rgb32) {
        lo = load64(src + 4 * i);
        hi = load64(src + 4 * i + 8);
    } else {
        const uint8_t* s = src + 2 * i;
        const uint32_t* low = c.table;
        const uint32_t* high = c.table + 256;
        lo = _mm_or_si64(pair(low[s[0]], low[s[2]]), pair(high[s[1]], high[s[3]]));
        hi = _mm_or_si64(pair(low[s[4]], low[s[6]]), pair(high[s[5]], high[s[7]]));
    }
}

// Source pixel i as a 32-bit value of the display's order with its top byte
// cleared, alone in the low half: a palette entry or 32-bit pixel (red and
// blue exchanged where the order asks, by reversing the bytes and moving them
// down one byte), or a 5:6:5 pixel expanded through the table, which is in the
// display's order already and has no top byte.
template <Source S, Order O>
inline __m64 load_one(const uint8_t* src, int i, const LineContext& c) {
    if constexpr (S == Source::rgb16) {
        return _mm_or_si64(_mm_cvtsi32_si64(static_cast<int>(c.table[src[2 * i]])),
                           _mm_cvtsi32_si64(static_cast<int>(c.table[256 + src[2 * i + 1]])));
    } else {
        const uint32_t v = S == Source::palette ? c.palette[src[i]] : load32(src + 4 * i);
        if constexpr (swaps_red_blue<S, O>)
            return _mm_cvtsi32_si64(static_cast<int>(__builtin_bswap32(v) >> 8));
        else
            return _mm_cvtsi32_si64(static_cast<int>(v & 0x00FFFFFF));
    }
}

template <Source S, int Bits, Order O>
struct MmxLine {
    static constexpr int pixel_bytes = PlainLine<S, Bits, O>::pixel_bytes;
    static constexpr bool reads_palette = PlainLine<S, Bits, O>::reads_palette;
    static constexpr bool reads_table = PlainLine<S, Bits, O>::reads_table;

    static void convert(uint8_t* dst, const uint8_t* src, const LineContext& c) {
        // The expansion table is already in the display's order.
        constexpr bool swap = S != Source::rgb16 && swaps_red_blue<S, O>;
        int i = 0;
        if constexpr (S == Source::rgb16 && (Bits == 15 || Bits == 16)) {
            for (; i + 8 <= c.width; i += 8) {
                store64(dst + 2 * i, rgb16_to_pixels<Bits, O>(load64(src + 2 * i)));
                store64(dst + 2 * i + 8, rgb16_to_pixels<Bits, O>(load64(src + 2 * i + 8)));
            }
        } else if constexpr (Bits == 15 || Bits == 16) {
            for (; i + 4 <= c.width; i += 4) {
                __m64 lo, hi;
                load_four<S, Bits>(src, i, c, lo, hi);
                store64(dst + 2 * i, words_to_pixels<Bits, swap, loads_regrouped<S, Bits>>(lo, hi));
            }
        } else if constexpr (Bits == 24) {
            // Each value in its own register, shifted straight into place:
            // pixels 0, 1 and two bytes of 2 in one 8-byte store, the last byte
            // of 2 and pixel 3 in a 4-byte store.
            for (; i + 4 <= c.width; i += 4) {
                const __m64 p0 = load_one<S, O>(src, i, c);
                const __m64 p1 = load_one<S, O>(src, i + 1, c);
                const __m64 p2 = load_one<S, O>(src, i + 2, c);
                const __m64 p3 = load_one<S, O>(src, i + 3, c);
                uint8_t* out = dst + 3 * i;
                store64(out, or3(p0, _mm_slli_si64(p1, 24), _mm_slli_si64(p2, 48)));
                store32(out + 8, static_cast<uint32_t>(_mm_cvtsi64_si32(
                                     _mm_or_si64(_mm_srli_si64(p2, 16), _mm_slli_si64(p3, 8)))));
            }
        } else if constexpr (swap && S == Source::palette) {
            // Entries are looked up one at a time anyway: swapped on the way in.
            for (; i + 4 <= c.width; i += 4) {
                const __m64 p0 = load_one<S, O>(src, i, c);
                const __m64 p1 = load_one<S, O>(src, i + 1, c);
                const __m64 p2 = load_one<S, O>(src, i + 2, c);
                const __m64 p3 = load_one<S, O>(src, i + 3, c);
                store64(dst + 4 * i, _mm_unpacklo_pi32(p0, p1));
                store64(dst + 4 * i + 8, _mm_unpacklo_pi32(p2, p3));
            }
        } else {
            // 32-bit pixels come two per load and are swapped in the register.
            for (; i + 4 <= c.width; i += 4) {
                __m64 lo, hi;
                load_four<S, Bits>(src, i, c, lo, hi);
                if constexpr (swap) {
                    lo = swap_red_blue_2(lo);
                    hi = swap_red_blue_2(hi);
                }
                store64(dst + 4 * i, lo);
                store64(dst + 4 * i + 8, hi);
            }
        }
        convert_tail<S, Bits, O>(dst, src, i, c);
    }
};

}  // namespace

template <Source S, int Bits, Order O>
void blit_mmx(uint8_t* destination, int destination_pitch) {
    walk_dirty_lines<MmxLine<S, Bits, O>>(destination, destination_pitch);
    _mm_empty();
}

// Every MMX member of the table. 16-bit into 16-bit RGB and 32-bit into 32-bit
// RGB are the line copy; 16-bit into 24 and 32 bits serve both orders.
template void blit_mmx<Source::palette, 15, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::palette, 16, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::palette, 24, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::palette, 32, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::palette, 15, Order::rgb>(uint8_t*, int);
template void blit_mmx<Source::palette, 16, Order::rgb>(uint8_t*, int);
template void blit_mmx<Source::palette, 24, Order::rgb>(uint8_t*, int);
template void blit_mmx<Source::palette, 32, Order::rgb>(uint8_t*, int);
template void blit_mmx<Source::rgb16, 15, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::rgb16, 16, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::rgb16, 15, Order::rgb>(uint8_t*, int);
template void blit_mmx<Source::rgb16, 24, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::rgb16, 32, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::rgb32, 15, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::rgb32, 16, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::rgb32, 24, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::rgb32, 32, Order::bgr>(uint8_t*, int);
template void blit_mmx<Source::rgb32, 15, Order::rgb>(uint8_t*, int);
template void blit_mmx<Source::rgb32, 16, Order::rgb>(uint8_t*, int);
template void blit_mmx<Source::rgb32, 24, Order::rgb>(uint8_t*, int);

}  // namespace gfx::blitter
