// Per-format kernels of the display blitters: the pixel rules, the plain line
// converters (one template per family: source form x display form x order),
// the dirty-line walker shared by every member, and the declarations of the
// vector members, whose line converters live in blitters_vector.h.
#pragma once

#include <cstdint>
#include <cstring>

#include "gfx/drivers/blitters.h"
#include "gfx/screen.h"

namespace gfx::blitter {

// The three framebuffer forms.
enum class Source {
    palette,  // one byte per pixel, an index into ScreenState::palette (0x00BBGGRR)
    rgb16,    // one 16-bit word per pixel, 5:6:5 with red high
    rgb32,    // one 32-bit word per pixel, 0xAARRGGBB
};

// Order of the display: which component sits in the high bits.
enum class Order { bgr, rgb };

// ---- Memory access --------------------------------------------------------
// Display rows and pages carry no alignment promise, so every access goes
// through memcpy (a single move on x86). Display memory is little-endian.

inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint16_t load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void store16(uint8_t* p, uint32_t v) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}
inline void store24(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
}

// ---- Pixel rules -----------------------------------------------------------
// Palette entries and 32-bit pixels are both "words": three 8-bit components
// in bits 0-7, 8-15 and 16-23. A palette entry has red low, a 32-bit pixel red
// high. The converters first bring a word into the display's order (swapping
// red and blue where the two differ), then encode it; the display's high
// component then sits in bits 16-23.

// True when words of `S` must have red and blue swapped for a display of order `O`.
template <Source S, Order O>
constexpr bool swaps_red_blue = (S == Source::palette) == (O == Order::rgb);

// Red and blue exchanged, top byte cleared.
constexpr uint32_t swap_red_blue(uint32_t w) {
    return ((w >> 16) & 0xFF) | (w & 0xFF00) | ((w & 0xFF) << 16);
}

// A display-ordered word encoded for a 15-, 16-, 24- or 32-bit display. The
// 32-bit form is the word itself; the 24-bit form is its three low bytes.
template <int Bits>
constexpr uint32_t encode_word(uint32_t w) {
    static_assert(Bits == 15 || Bits == 16 || Bits == 24 || Bits == 32, "display depth");
    if constexpr (Bits == 15)
        return ((w >> 9) & 0x7C00) | ((w >> 6) & 0x03E0) | ((w >> 3) & 0x001F);
    else if constexpr (Bits == 16)
        return ((w >> 8) & 0xF800) | ((w >> 5) & 0x07E0) | ((w >> 3) & 0x001F);
    else
        return w;
}

// A 5:6:5 pixel into 15 or 16 bits of the display's order.
template <int Bits, Order O>
constexpr uint32_t encode_rgb16(uint32_t q) {
    static_assert(Bits == 15 || Bits == 16, "only 15 and 16 bits are computed directly");
    if constexpr (Bits == 15 && O == Order::rgb)
        return ((q >> 1) & 0x7FE0) | (q & 0x1F);
    else if constexpr (Bits == 15)
        return ((q & 0x1F) << 10) | ((q >> 1) & 0x3E0) | (q >> 11);
    else if constexpr (O == Order::rgb)
        return q;
    else
        return ((q & 0x1F) << 11) | (q & 0x7E0) | (q >> 11);
}

// The 5:6:5 pixel stored (little-endian) at `p` as a 32-bit colour of the
// display's order, through the expansion table built for that order: entry
// low byte OR entry 256 + high byte.
inline uint32_t expand_rgb16(const uint8_t* p, const uint32_t* table) {
    return table[p[0]] | table[256 + p[1]];
}

// Entry i (0..511) of the expansion table for an order: entry i < 256
// expands the low byte i of a 5:6:5 pixel, entry 256 + j its high byte j,
// each component moved to the top of its byte of a 32-bit colour.
constexpr uint32_t expansion_entry(uint32_t i, Order order) {
    const uint32_t b = i & 0xFF;
    if (order == Order::bgr)
        return i < 256 ? ((b & 0x1F) << 19) | ((b & 0xE0) << 5) : ((b & 0x07) << 13) | (b & 0xF8);
    return i < 256 ? ((b & 0x1F) << 3) | ((b & 0xE0) << 5) : ((b & 0x07) << 13) | ((b & 0xF8) << 16);
}

// What an expansion table holds: the table of one order, entry for entry,
// or something else.
enum class TableKind { rgb, bgr, other };

// Compares the 512 entries with the tables of both orders (blitters.cpp).
TableKind expansion_table_kind(const uint32_t* table);

// Everything a line converter reads besides the source line.
struct LineContext {
    int width;
    int pitch;                // bytes per framebuffer line
    const uint32_t* palette;  // 256 entries
    const uint32_t* table;    // expansion_table, 512 entries
    // The kind of `table`, for converters that compute the expansion from
    // the pixel's fields when the table is one of the two orders' (found
    // once per call, for members with identifies_table); `other` otherwise.
    TableKind table_kind;
};

// Display value of pixel i of a framebuffer line of form `S`, for a display
// of depth `Bits` and order `O` (24-bit values in the three low bytes).
template <Source S, int Bits, Order O>
inline uint32_t display_pixel(const uint8_t* src, int i, const LineContext& c) {
    if constexpr (S == Source::rgb16) {
        if constexpr (Bits == 24 || Bits == 32)
            return expand_rgb16(src + 2 * i, c.table);
        else
            return encode_rgb16<Bits, O>(load16(src + 2 * i));
    } else {
        const uint32_t w = S == Source::palette ? c.palette[src[i]] : load32(src + 4 * i);
        if constexpr (swaps_red_blue<S, O>)
            return encode_word<Bits>(swap_red_blue(w));
        else
            return encode_word<Bits>(w);
    }
}

// Stores a display value of depth `Bits` as pixel i of a display row.
template <int Bits>
inline void store_display_pixel(uint8_t* dst, int i, uint32_t v) {
    if constexpr (Bits == 15 || Bits == 16)
        store16(dst + 2 * i, v);
    else if constexpr (Bits == 24)
        store24(dst + 3 * i, v);
    else
        store32(dst + 4 * i, v);
}

// Converts pixels [first, width) one at a time: the tail of a line after the
// whole steps of a member.
template <Source S, int Bits, Order O>
inline void convert_tail(uint8_t* dst, const uint8_t* src, int first, const LineContext& c) {
    for (int i = first; i < c.width; ++i)
        store_display_pixel<Bits>(dst, i, display_pixel<S, Bits, O>(src, i, c));
}

// ---- Plain line converters --------------------------------------------------
// 15- and 16-bit results go two pixels per step, written as one 32-bit word
// with the first pixel in the low half; 16-bit sources into 24 bits go four
// pixels (twelve bytes) per step; the rest one pixel per step. Every pixel of
// the line is converted: the last (width mod step) pixels one by one.

// Bytes per framebuffer pixel of a source form.
template <Source S>
constexpr int source_bytes = S == Source::palette ? 1 : S == Source::rgb16 ? 2 : 4;

template <Source S, int Bits, Order O>
struct PlainLine {
    static constexpr int pixel_bytes = source_bytes<S>;
    static constexpr bool reads_palette = S == Source::palette;
    static constexpr bool reads_table = S == Source::rgb16 && (Bits == 24 || Bits == 32);
    static constexpr bool identifies_table = false;
    static void convert(uint8_t* dst, const uint8_t* src, const LineContext& c) {
        int i = 0;
        if constexpr (Bits == 15 || Bits == 16) {
            for (; i + 2 <= c.width; i += 2) {
                const uint32_t a = display_pixel<S, Bits, O>(src, i, c);
                const uint32_t b = display_pixel<S, Bits, O>(src, i + 1, c);
                store32(dst + 2 * i, a | (b << 16));
            }
        } else if constexpr (Bits == 24 && S == Source::rgb16) {
            for (; i + 4 <= c.width; i += 4) {
                const uint32_t p0 = display_pixel<S, Bits, O>(src, i, c);
                const uint32_t p1 = display_pixel<S, Bits, O>(src, i + 1, c);
                const uint32_t p2 = display_pixel<S, Bits, O>(src, i + 2, c);
                const uint32_t p3 = display_pixel<S, Bits, O>(src, i + 3, c);
                uint8_t* out = dst + 3 * i;
                store32(out, (p0 & 0xFFFFFF) | (p1 << 24));
                store32(out + 4, ((p1 >> 8) & 0xFFFF) | (p2 << 16));
                store32(out + 8, ((p2 >> 16) & 0xFF) | (p3 << 8));
            }
        }
        convert_tail<S, Bits, O>(dst, src, i, c);
    }
};

// The straight copy: `pitch` bytes per converted row.
struct CopyLine {
    static constexpr int pixel_bytes = 1;  // copies `pitch` bytes, whatever the form
    static constexpr bool reads_palette = false;
    static constexpr bool reads_table = false;
    static constexpr bool identifies_table = false;
    static void convert(uint8_t* dst, const uint8_t* src, const LineContext& c) {
        std::memcpy(dst, src, static_cast<size_t>(c.pitch));
    }
};

// ---- Line walking -------------------------------------------------------------
// Framebuffer line y is shown on display rows y * scanline_mult up to
// y * scanline_mult + scanline_mult - 1. Each display row of a dirty line gets
// the converted line; the rows of a clean line are left untouched. The
// destination moves on by its pitch per display row, the source by `pitch`
// per framebuffer line. Without a screen, a page, dirty flags, or the palette
// or expansion table that the member reads, or with a pitch too small for a
// line of the source form, nothing is written.
template <class Line>
inline void walk_dirty_lines(uint8_t* destination, int destination_pitch) {
    const ScreenState* s = screen;
    if (s == nullptr || destination == nullptr || s->visible_page == nullptr ||
        s->dirty == nullptr || s->width <= 0 || s->height <= 0 ||
        s->pitch < int64_t{s->width} * Line::pixel_bytes)
        return;
    if ((Line::reads_palette && s->palette == nullptr) ||
        (Line::reads_table && expansion_table == nullptr))
        return;
    const TableKind kind = Line::identifies_table ? expansion_table_kind(expansion_table) : TableKind::other;
    const LineContext context{s->width, s->pitch, s->palette, expansion_table, kind};
    const int repeat = s->scanline_mult > 1 ? s->scanline_mult : 1;
    const uint8_t* source = s->visible_page;
    for (int y = 0; y < s->height; ++y, source += s->pitch) {
        const bool dirty = s->dirty[y] != 0;
        for (int r = 0; r < repeat; ++r, destination += destination_pitch)
            if (dirty)
                Line::convert(destination, source, context);
    }
}

// The plain members: one per family.
template <Source S, int Bits, Order O>
void blit_plain(uint8_t* destination, int destination_pitch) {
    walk_dirty_lines<PlainLine<S, Bits, O>>(destination, destination_pitch);
}

// The vector members, written once in blitters_vector.h and instantiated for
// every family that has one: with MMX in blitters_mmx.cpp, with SSE2 in
// blitters_sse2.cpp where the compiler targets SSE2. They convert two
// vectors' worth of pixels per step, then the tail like their plain twins,
// and leave the vector state before returning. They walk lines like the
// plain members, so they are correct for any scanline_mult, though chosen
// only for 1.
template <Source S, int Bits, Order O>
void blit_mmx(uint8_t* destination, int destination_pitch);
template <Source S, int Bits, Order O>
void blit_sse2(uint8_t* destination, int destination_pitch);

}  // namespace gfx::blitter
