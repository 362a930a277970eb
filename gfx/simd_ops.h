// Vector operations for the vector twins of the per-format kernels, as two
// traits types with the same members: MmxOps on 64-bit MMX registers and
// Sse2Ops on 128-bit SSE2 registers. A kernel written once as a template over
// the traits type gets one instantiation per instruction set.
//
// Each type exists only where the compiler targets its instruction set:
// MmxOps in files built with MMX (the *_mmx.cpp files, and everything on
// x86-64), Sse2Ops where SSE2 is the baseline (x86-64). Lanes are numbered
// from the low end; "lanes" without a width means 32-bit lanes.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__MMX__)
#include <mmintrin.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gfx::simd {

#if defined(__MMX__)

struct MmxOps {
    using V = __m64;
    static constexpr int bytes = 8;
    static constexpr int lanes = 2;  // 32-bit lanes
    // Whether 24-bit results are packed faster in these registers than in
    // general ones: not in two-pixel MMX registers.
    static constexpr bool packs24_in_vectors = false;
    // Pixels that the blend kernels blend in general registers beside every
    // two vectors (32-bit and 16-bit blends): a blend costs about as many MMX
    // operations per pixel as the plain rule costs integer ones, and with
    // both kinds of unit busy at once the mix beats either alone.
    static constexpr int blend32_pixels_beside = 2;
    static constexpr int blend16_pixels_beside = 4;
    // The same for the expansion of 5:6:5 pixels into 32 bits: table lookups
    // in general registers beside the MMX arithmetic.
    static constexpr int expand32_pixels_beside = 4;

    // Accessed through this type, an __m64 at any address moves with one MMX
    // load or store; a memcpy into an __m64 becomes pairs of 32-bit integer
    // moves on 32-bit x86.
    typedef __m64 unaligned __attribute__((__may_alias__, __aligned__(1)));

    static V load(const uint8_t* p) { return *reinterpret_cast<const unaligned*>(p); }
    static void store(uint8_t* p, V v) { *reinterpret_cast<unaligned*>(p) = v; }
    // The low 8 bytes of a register (all of it here).
    static void store_low64(uint8_t* p, V v) { store(p, v); }

    static V zero() { return _mm_setzero_si64(); }
    static V set1_16(int16_t v) { return _mm_set1_pi16(v); }
    static V set1_32(int32_t v) { return _mm_set1_pi32(v); }
    // One 32-bit value in every 64-bit lane's low half, zero in its high half.
    static V set1_low32_of64(int32_t v) { return _mm_set_pi32(0, v); }
    // Lane k = f(k), for k from 0 to lanes - 1.
    template <class F>
    static V make32(F f) {
        return _mm_unpacklo_pi32(_mm_cvtsi32_si64(static_cast<int>(f(0))), _mm_cvtsi32_si64(static_cast<int>(f(1))));
    }
    static uint32_t low32(V v) { return static_cast<uint32_t>(_mm_cvtsi64_si32(v)); }

    static V and_(V a, V b) { return _mm_and_si64(a, b); }
    static V or_(V a, V b) { return _mm_or_si64(a, b); }
    static V xor_(V a, V b) { return _mm_xor_si64(a, b); }
    static V andnot(V a, V b) { return _mm_andnot_si64(a, b); }  // ~a & b

    static V add16(V a, V b) { return _mm_add_pi16(a, b); }
    static V sub16(V a, V b) { return _mm_sub_pi16(a, b); }
    static V mullo16(V a, V b) { return _mm_mullo_pi16(a, b); }
    static V madd16(V a, V b) { return _mm_madd_pi16(a, b); }
    static V cmpeq8(V a, V b) { return _mm_cmpeq_pi8(a, b); }
    static V cmpeq16(V a, V b) { return _mm_cmpeq_pi16(a, b); }
    static V cmpeq32(V a, V b) { return _mm_cmpeq_pi32(a, b); }

    template <int N> static V srli16(V a) { return _mm_srli_pi16(a, N); }
    template <int N> static V slli16(V a) { return _mm_slli_pi16(a, N); }
    template <int N> static V srai16(V a) { return _mm_srai_pi16(a, N); }
    template <int N> static V srli32(V a) { return _mm_srli_pi32(a, N); }
    template <int N> static V slli32(V a) { return _mm_slli_pi32(a, N); }
    template <int N> static V srai32(V a) { return _mm_srai_pi32(a, N); }
    template <int N> static V srli64(V a) { return _mm_srli_si64(a, N); }
    template <int N> static V slli64(V a) { return _mm_slli_si64(a, N); }

    // Signed saturation of the 32-bit lanes of a, then b, into 16-bit lanes.
    static V packs32(V a, V b) { return _mm_packs_pi32(a, b); }
    // The 16-bit lanes of the low (high) halves of a and b, interleaved.
    static V unpacklo16(V a, V b) { return _mm_unpacklo_pi16(a, b); }
    static V unpackhi16(V a, V b) { return _mm_unpackhi_pi16(a, b); }

    // Stores the three low bytes of every 32-bit lane of a, then of b: 12
    // bytes, each 64-bit lane already holding its two values as six bytes
    // (first value in bytes 0-2, second in 3-5, bytes 6 and 7 zero).
    static void store_six_byte_lanes(uint8_t* p, V a, V b) {
        store(p, _mm_or_si64(a, _mm_slli_si64(b, 48)));
        const uint32_t rest = static_cast<uint32_t>(_mm_cvtsi64_si32(_mm_srli_si64(b, 16)));
        std::memcpy(p + 8, &rest, 4);
    }

    // Leaves the MMX state, so that floating-point code may follow.
    static void finish() { _mm_empty(); }
};

#endif  // __MMX__

#if defined(__SSE2__)

struct Sse2Ops {
    using V = __m128i;
    static constexpr int bytes = 16;
    static constexpr int lanes = 4;
    static constexpr bool packs24_in_vectors = true;
    static constexpr int blend32_pixels_beside = 0;
    static constexpr int blend16_pixels_beside = 0;
    static constexpr int expand32_pixels_beside = 0;

    static V load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store(uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static void store_low64(uint8_t* p, V v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

    static V zero() { return _mm_setzero_si128(); }
    static V set1_16(int16_t v) { return _mm_set1_epi16(v); }
    static V set1_32(int32_t v) { return _mm_set1_epi32(v); }
    static V set1_low32_of64(int32_t v) { return _mm_set_epi32(0, v, 0, v); }
    template <class F>
    static V make32(F f) {
        const __m128i a = _mm_cvtsi32_si128(static_cast<int>(f(0)));
        const __m128i b = _mm_cvtsi32_si128(static_cast<int>(f(1)));
        const __m128i c = _mm_cvtsi32_si128(static_cast<int>(f(2)));
        const __m128i d = _mm_cvtsi32_si128(static_cast<int>(f(3)));
        return _mm_unpacklo_epi64(_mm_unpacklo_epi32(a, b), _mm_unpacklo_epi32(c, d));
    }
    static uint32_t low32(V v) { return static_cast<uint32_t>(_mm_cvtsi128_si32(v)); }

    static V and_(V a, V b) { return _mm_and_si128(a, b); }
    static V or_(V a, V b) { return _mm_or_si128(a, b); }
    static V xor_(V a, V b) { return _mm_xor_si128(a, b); }
    static V andnot(V a, V b) { return _mm_andnot_si128(a, b); }

    static V add16(V a, V b) { return _mm_add_epi16(a, b); }
    static V sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    static V mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V madd16(V a, V b) { return _mm_madd_epi16(a, b); }
    static V cmpeq8(V a, V b) { return _mm_cmpeq_epi8(a, b); }
    static V cmpeq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
    static V cmpeq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }

    template <int N> static V srli16(V a) { return _mm_srli_epi16(a, N); }
    template <int N> static V slli16(V a) { return _mm_slli_epi16(a, N); }
    template <int N> static V srai16(V a) { return _mm_srai_epi16(a, N); }
    template <int N> static V srli32(V a) { return _mm_srli_epi32(a, N); }
    template <int N> static V slli32(V a) { return _mm_slli_epi32(a, N); }
    template <int N> static V srai32(V a) { return _mm_srai_epi32(a, N); }
    template <int N> static V srli64(V a) { return _mm_srli_epi64(a, N); }
    template <int N> static V slli64(V a) { return _mm_slli_epi64(a, N); }

    static V packs32(V a, V b) { return _mm_packs_epi32(a, b); }
    static V unpacklo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
    static V unpackhi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }

    // 24 bytes: the six bytes of each 64-bit lane of a, then of b. The six
    // bytes of a's high lane move down next to those of its low lane (bytes
    // 6-11); b's follow in the same way from byte 12.
    static void store_six_byte_lanes(uint8_t* p, V a, V b) {
        const __m128i low6 = _mm_set_epi32(0, 0, 0x0000FFFF, -1);
        const __m128i a12 = _mm_or_si128(_mm_and_si128(a, low6), _mm_andnot_si128(low6, _mm_srli_si128(a, 2)));
        const __m128i b12 = _mm_or_si128(_mm_and_si128(b, low6), _mm_andnot_si128(low6, _mm_srli_si128(b, 2)));
        store(p, _mm_or_si128(a12, _mm_slli_si128(b12, 12)));
        store_low64(p + 16, _mm_srli_si128(b12, 4));
    }

    static void finish() {}
};

#endif  // __SSE2__

// ---- Operations built on the traits ------------------------------------------

// d where the mask bits are set, r elsewhere.
template <class Ops>
inline typename Ops::V select(typename Ops::V mask, typename Ops::V d, typename Ops::V r) {
    return Ops::or_(Ops::and_(mask, d), Ops::andnot(mask, r));
}

template <class Ops>
inline typename Ops::V or3(typename Ops::V a, typename Ops::V b, typename Ops::V c) {
    return Ops::or_(Ops::or_(a, b), c);
}

}  // namespace gfx::simd
