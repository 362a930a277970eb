// Blit kernels: the pixel rules of every PutMode, the plain kernel families
// (one template per family, instantiated per storage format), and the kernel
// sets by storage format: the plain set and the vector sets. The vector
// kernels are written once over a vector-operations traits type
// (blit_kernels_vector.h) and instantiated with MMX (blit_kernels_mmx.cpp,
// compiled with -mmmx) and, where the compiler targets SSE2, with SSE2
// (blit_kernels_sse2.cpp). Every variant gives the same pixels.
//
// Every kernel processes `height` rows of `width` pixels; the source row
// start moves on by source_pitch bytes and the destination row start by
// destination_pitch bytes. Rows may sit at any address. A width or height
// below 1 draws nothing. Source and destination must not overlap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "gfx/blit.h"
#include "gfx/pixel_format.h"

namespace gfx::blit {

// ---- Kernel sets ------------------------------------------------------------

// The kernels of one storage format. At 1 and 2 bytes per pixel the
// per-pixel alpha entry is the copy kernel; at 1 byte the constant alpha
// entry is the transparent kernel.
struct KernelSet {
    BlitKernel copy;
    BlitKernel invert;
    BlitKernel bit_and;
    BlitKernel bit_or;
    BlitKernel bit_xor;
    BlitKernel transparent;
    BlitKernel alpha_pixel;     // 32 bits: factor = source top byte + 1
    BlitKernel alpha_constant;  // factor from the alpha argument, mask colour skipped
    BlitKernel custom;          // through blend_current
};

// The kernel sets for 1, 2 or 4 bytes per pixel; null for any other value.
// The vector sets share the copy and custom kernels with the plain set.
//   kernels_plain: the plain kernels, the reference of the others;
//   kernels_mmx:   the MMX instantiation, for a processor with MMX;
//   kernels_sse2:  the SSE2 instantiation, null where the build does not
//                  target SSE2 (the 32-bit Windows build);
//   kernels_vector: the set used when the screen has has_mmx: the SSE2 set
//                  where it exists, else the MMX one.
const KernelSet* kernels_plain(int bytes_per_pixel);
const KernelSet* kernels_mmx(int bytes_per_pixel);
const KernelSet* kernels_sse2(int bytes_per_pixel);
const KernelSet* kernels_vector(int bytes_per_pixel);

// 0, 1 and 2 for 1, 2 and 4 bytes per pixel, -1 for any other value: the
// index of a format in the arrays of kernel sets.
int kernel_format_index(int bytes_per_pixel);

// The blend function the custom kernels call; blit_kernel_select sets it.
// While it is null the custom kernels draw nothing.
extern BlendFunction blend_current;

// ---- Memory access ----------------------------------------------------------
// Image rows carry no alignment promise: every access goes through memcpy,
// which is a single move on x86. Pixels are stored little-endian.

// The stored pixel type of a storage format.
template <int Bpp>
using PixelOf = std::conditional_t<Bpp == 1, uint8_t, std::conditional_t<Bpp == 2, uint16_t, uint32_t>>;

template <typename P>
inline P load(const uint8_t* p) {
    P v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename P>
inline void store(uint8_t* p, P v) {
    std::memcpy(p, &v, sizeof v);
}

// ---- Pixel rules --------------------------------------------------------------

constexpr uint32_t MASK_RGB16 = 0xF81F;      // the 16-bit mask colour
constexpr uint32_t MASK_RGB32 = 0x00FF00FF;  // the 32-bit mask colour's low 24 bits
constexpr uint32_t RGB32_COLOUR = 0x00FFFFFF;

// True when `p` is the mask colour of its storage format: index 0, 0xF81F,
// or any 32-bit pixel whose low 24 bits are 0xFF00FF.
template <typename P>
constexpr bool is_mask(P p) {
    if constexpr (sizeof(P) == 1)
        return p == 0;
    else if constexpr (sizeof(P) == 2)
        return p == MASK_RGB16;
    else
        return (p & RGB32_COLOUR) == MASK_RGB32;
}

// What the transparent kernel stores for a source pixel that is drawn: the
// pixel itself, with the top byte cleared at 32 bits.
template <typename P>
constexpr P transparent_value(P s) {
    if constexpr (sizeof(P) == 4)
        return s & RGB32_COLOUR;
    else
        return s;
}

// 32-bit blend with factor a (1..256): each of red, green and blue becomes
// d + floor((s - d) * a / 256); the top byte becomes 0. Red and blue go
// together in one word: the exact blue result (0..255) carries into the red
// lane just enough to undo the borrow of a negative blue difference.
constexpr uint32_t blend32(uint32_t s, uint32_t d, uint32_t a) {
    const uint32_t drb = d & 0x00FF00FF, dg = d & 0x0000FF00;
    const uint32_t rb = (drb + ((((s & 0x00FF00FF) - drb) * a) >> 8)) & 0x00FF00FF;
    const uint32_t g = (dg + ((((s & 0x0000FF00) - dg) * a) >> 8)) & 0x0000FF00;
    return rb | g;
}

// 16-bit blend with factor c (0..32): each 5:6:5 field becomes
// d + floor((s - d) * c / 32), red and blue together in one word.
constexpr uint32_t blend16(uint32_t s, uint32_t d, uint32_t c) {
    const uint32_t drb = d & 0xF81F, dg = d & 0x07E0;
    const uint32_t rb = (drb + ((((s & 0xF81F) - drb) * c) >> 5)) & 0xF81F;
    const uint32_t g = (dg + ((((s & 0x07E0) - dg) * c) >> 5)) & 0x07E0;
    return rb | g;
}

// Constant alpha values are opacities 0..255; larger ones are fully opaque
// and negative ones fully transparent. Clamping keeps the factors inside the
// range for which the packed formulas above are exact.
constexpr int32_t clamp_alpha(int32_t alpha) { return alpha < 0 ? 0 : alpha > 255 ? 255 : alpha; }
constexpr uint32_t factor32(int32_t alpha) { return static_cast<uint32_t>(clamp_alpha(alpha)) + 1; }
constexpr uint32_t factor16(int32_t alpha) { return (static_cast<uint32_t>(clamp_alpha(alpha)) + 7) >> 3; }

// A 0x00RRGGBB result of a blend function reduced to RGB565.
constexpr uint32_t reduce_rgb565(uint32_t r) {
    return ((r >> 8) & 0xF800) + ((r >> 5) & 0x07E0) + ((r >> 3) & 0x001F);
}

// ---- Byte-wise family: copy, invert, and, or, xor ---------------------------
// These work on the raw bytes of width * Bpp bytes per row, so one operation
// serves every storage format.

struct OpCopy {
    template <typename T>
    static constexpr T apply(T s, T) { return s; }
};
struct OpInvert {
    template <typename T>
    static constexpr T apply(T s, T) { return static_cast<T>(~s); }
};
struct OpAnd {
    template <typename T>
    static constexpr T apply(T s, T d) { return static_cast<T>(d & s); }
};
struct OpOr {
    template <typename T>
    static constexpr T apply(T s, T d) { return static_cast<T>(d | s); }
};
struct OpXor {
    template <typename T>
    static constexpr T apply(T s, T d) { return static_cast<T>(d ^ s); }
};

// One row of `count` bytes: four bytes per step, then the rest one by one.
template <class Op>
inline void bytewise_row(const uint8_t* s, uint8_t* d, size_t count) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4) store<uint32_t>(d + i, Op::apply(load<uint32_t>(s + i), load<uint32_t>(d + i)));
    for (; i < count; ++i) d[i] = Op::apply(s[i], d[i]);
}

template <int Bpp, class Op>
void bytewise_kernel(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                     int32_t source_pitch, int32_t destination_pitch, int32_t) {
    if (width <= 0 || height <= 0) return;
    const size_t count = static_cast<size_t>(width) * Bpp;
    for (int32_t y = 0; y < height; ++y, source += source_pitch, destination += destination_pitch) {
        if constexpr (std::is_same_v<Op, OpCopy>)
            std::memcpy(destination, source, count);
        else
            bytewise_row<Op>(source, destination, count);
    }
}

// ---- Per-pixel family: transparent, blends, custom ---------------------------
// A rule names its stored pixel type, turns the alpha argument into its
// parameter once per blit, and gives the new destination pixel.

// d where `keep` is all ones, r where it is all zeros. Scattered mask-colour
// pixels make a branch per pixel mispredict often; this does not branch.
template <typename P>
constexpr P choose(P keep, P d, P r) {
    return static_cast<P>((d & keep) | (r & static_cast<P>(~keep)));
}
template <typename P>
constexpr P mask_bits(P s) {
    return static_cast<P>(P(0) - P(is_mask(s)));
}

template <typename P>
struct RuleTransparent {
    using Pixel = P;
    static int32_t prepare(int32_t) { return 0; }
    static P apply(P s, P d, int32_t) { return choose(mask_bits(s), d, transparent_value(s)); }
};

struct RuleBlend32Constant {
    using Pixel = uint32_t;
    static uint32_t prepare(int32_t alpha) { return factor32(alpha); }
    static uint32_t apply(uint32_t s, uint32_t d, uint32_t a) { return choose(mask_bits(s), d, blend32(s, d, a)); }
};

struct RuleBlend32PerPixel {
    using Pixel = uint32_t;
    static int32_t prepare(int32_t) { return 0; }
    static uint32_t apply(uint32_t s, uint32_t d, int32_t) { return blend32(s, d, (s >> 24) + 1); }
};

struct RuleBlend16Constant {
    using Pixel = uint16_t;
    static uint32_t prepare(int32_t alpha) { return factor16(alpha); }
    static uint16_t apply(uint16_t s, uint16_t d, uint32_t c) {
        return choose(mask_bits(s), d, static_cast<uint16_t>(blend16(s, d, c)));
    }
};

// The caller's blend: pixels zero-extended at 8 bits, as 0x00RRGGBB colours
// (and back to RGB565) at 16 bits, unchanged at 32 bits.
template <typename P>
struct RuleCustom {
    using Pixel = P;
    static BlendFunction prepare(int32_t) { return blend_current; }
    static P apply(P s, P d, BlendFunction blend) {
        if constexpr (sizeof(P) == 2)
            return static_cast<P>(reduce_rgb565(blend(pixel_to_rgb(s), pixel_to_rgb(d))));
        else
            return static_cast<P>(blend(s, d));
    }
};

// One row of `width` pixels through a rule.
template <class Rule, typename Param>
inline void pixel_row(const uint8_t* s, uint8_t* d, int32_t width, Param param) {
    using P = typename Rule::Pixel;
    for (int32_t i = 0; i < width; ++i, s += sizeof(P), d += sizeof(P))
        store<P>(d, Rule::apply(load<P>(s), load<P>(d), param));
}

template <class Rule>
void pixel_kernel(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                  int32_t source_pitch, int32_t destination_pitch, int32_t alpha) {
    if (width <= 0 || height <= 0) return;
    const auto param = Rule::prepare(alpha);
    if constexpr (std::is_pointer_v<decltype(param)>) {
        if (param == nullptr) return;
    }
    for (int32_t y = 0; y < height; ++y, source += source_pitch, destination += destination_pitch)
        pixel_row<Rule>(source, destination, width, param);
}

}  // namespace gfx::blit
