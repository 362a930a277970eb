// The table of display blitters, the expansion table of the 16-bit
// converters and the choice of a blitter for an opened display.
#include "gfx/drivers/blitters.h"

#include <cstring>

#include "gfx/drivers/blitter_kernels.h"

namespace gfx {

using blitter::blit_mmx;
using blitter::blit_plain;
#if defined(__SSE2__)
using blitter::blit_sse2;
#endif
using blitter::Order;
using blitter::Source;

uint32_t* expansion_table = nullptr;

namespace {

void blit_line_copy(uint8_t* destination, int destination_pitch) {
    blitter::walk_dirty_lines<blitter::CopyLine>(destination, destination_pitch);
}

// The expansion tables of both orders: built here once, copied into
// expansion_table by select_blitter, and compared with it to recognise it.
constexpr std::array<uint32_t, 512> expansion_of(Order order) {
    std::array<uint32_t, 512> t{};
    for (uint32_t i = 0; i < 512; ++i)
        t[i] = blitter::expansion_entry(i, order);
    return t;
}
constexpr std::array<uint32_t, 512> kExpansionRgb = expansion_of(Order::rgb);
constexpr std::array<uint32_t, 512> kExpansionBgr = expansion_of(Order::bgr);

void build_expansion_table(uint32_t* table, bool bgr) {
    std::memcpy(table, (bgr ? kExpansionBgr : kExpansionRgb).data(), sizeof kExpansionRgb);
}

// Positions within a block of twelve.
enum Column { to15, to16, to24, to32 };
enum Row { from_palette = 0, from_rgb16 = 4, from_rgb32 = 8 };
enum Block { plain_bgr = 0, plain_rgb = 12, vector_bgr = 24, vector_rgb = 36 };

}  // namespace

const DisplayBlitter blitter_line_copy = blit_line_copy;

namespace blitter {

TableKind expansion_table_kind(const uint32_t* table) {
    if (table == nullptr)
        return TableKind::other;
    if (std::memcmp(table, kExpansionRgb.data(), sizeof kExpansionRgb) == 0)
        return TableKind::rgb;
    if (std::memcmp(table, kExpansionBgr.data(), sizeof kExpansionBgr) == 0)
        return TableKind::bgr;
    return TableKind::other;
}

}  // namespace blitter

namespace {

// Pickers of the members of one variant, family by family.
struct PickPlain {
    template <Source S, int Bits, Order O>
    static constexpr DisplayBlitter member = blit_plain<S, Bits, O>;
};
struct PickMmx {
    template <Source S, int Bits, Order O>
    static constexpr DisplayBlitter member = blit_mmx<S, Bits, O>;
};
#if defined(__SSE2__)
struct PickSse2 {
    template <Source S, int Bits, Order O>
    static constexpr DisplayBlitter member = blit_sse2<S, Bits, O>;
};
using PickVector = PickSse2;
#else
using PickVector = PickMmx;
#endif

// A BGR and an RGB block of one variant. The 16-bit converters into 24 and
// 32 bits read the expansion table, which is built for the display's order,
// so one member serves both orders. A display whose pixels equal the
// framebuffer's gets the straight copy.
template <class Pick>
constexpr std::array<DisplayBlitter, 24> blocks() {
    return {{
        // BGR
        Pick::template member<Source::palette, 15, Order::bgr>,
        Pick::template member<Source::palette, 16, Order::bgr>,
        Pick::template member<Source::palette, 24, Order::bgr>,
        Pick::template member<Source::palette, 32, Order::bgr>,
        Pick::template member<Source::rgb16, 15, Order::bgr>,
        Pick::template member<Source::rgb16, 16, Order::bgr>,
        Pick::template member<Source::rgb16, 24, Order::bgr>,
        Pick::template member<Source::rgb16, 32, Order::bgr>,
        Pick::template member<Source::rgb32, 15, Order::bgr>,
        Pick::template member<Source::rgb32, 16, Order::bgr>,
        Pick::template member<Source::rgb32, 24, Order::bgr>,
        Pick::template member<Source::rgb32, 32, Order::bgr>,
        // RGB
        Pick::template member<Source::palette, 15, Order::rgb>,
        Pick::template member<Source::palette, 16, Order::rgb>,
        Pick::template member<Source::palette, 24, Order::rgb>,
        Pick::template member<Source::palette, 32, Order::rgb>,
        Pick::template member<Source::rgb16, 15, Order::rgb>,
        blit_line_copy,
        Pick::template member<Source::rgb16, 24, Order::bgr>,
        Pick::template member<Source::rgb16, 32, Order::bgr>,
        Pick::template member<Source::rgb32, 15, Order::rgb>,
        Pick::template member<Source::rgb32, 16, Order::rgb>,
        Pick::template member<Source::rgb32, 24, Order::rgb>,
        blit_line_copy,
    }};
}

constexpr std::array<DisplayBlitter, 48> table(const std::array<DisplayBlitter, 24>& plain,
                                               const std::array<DisplayBlitter, 24>& vector) {
    std::array<DisplayBlitter, 48> t{};
    for (size_t i = 0; i < 24; ++i) {
        t[i] = plain[i];
        t[24 + i] = vector[i];
    }
    return t;
}

}  // namespace

constexpr std::array<DisplayBlitter, 48> blitter_table = table(blocks<PickPlain>(), blocks<PickVector>());
constexpr std::array<DisplayBlitter, 24> blitter_mmx_members = blocks<PickMmx>();
#if defined(__SSE2__)
constexpr std::array<DisplayBlitter, 24> blitter_sse2_members = blocks<PickSse2>();
#endif

DisplayBlitter select_blitter(int display_depth, int bgr) {
    if (expansion_table != nullptr)
        build_expansion_table(expansion_table, bgr != 0);

    const ScreenState* s = screen;
    if (s == nullptr)
        return nullptr;

    int row;
    switch (s->depth) {
    case 1:
    case 2:
    case 4:
    case 8: row = from_palette; break;
    case 16: row = from_rgb16; break;
    case 32: row = from_rgb32; break;
    default: return nullptr;
    }

    int column;
    switch (display_depth) {
    case 8:
        // A palette framebuffer is shown as it is; other forms have no 8-bit member.
        return row == from_palette ? blitter_line_copy : nullptr;
    case 15: column = to15; break;
    case 16: column = to16; break;
    case 24: column = to24; break;
    case 32: column = to32; break;
    default: return nullptr;
    }

    // Without its storage the expansion table cannot be built, and the
    // members that read it would have nothing to read.
    if (row == from_rgb16 && (column == to24 || column == to32) && expansion_table == nullptr)
        return nullptr;

    const bool mmx = (s->flags & ScreenState::has_mmx) != 0 && s->scanline_mult == 1;
    const int block = mmx ? (bgr ? vector_bgr : vector_rgb) : (bgr ? plain_bgr : plain_rgb);
    return blitter_table[block + row + column];
}

}  // namespace gfx
