// The plain blit kernels and both kernel sets by storage format.
#include "gfx/blit_kernels.h"

namespace gfx::blit {

BlendFunction blend_current = nullptr;

namespace {

template <int Bpp>
using Pixel = std::conditional_t<Bpp == 1, uint8_t, std::conditional_t<Bpp == 2, uint16_t, uint32_t>>;

template <int Bpp>
constexpr KernelSet plain_set() {
    using P = Pixel<Bpp>;
    KernelSet set{
        bytewise_kernel<Bpp, OpCopy>,
        bytewise_kernel<Bpp, OpInvert>,
        bytewise_kernel<Bpp, OpAnd>,
        bytewise_kernel<Bpp, OpOr>,
        bytewise_kernel<Bpp, OpXor>,
        pixel_kernel<RuleTransparent<P>>,
        bytewise_kernel<Bpp, OpCopy>,
        pixel_kernel<RuleTransparent<P>>,
        pixel_kernel<RuleCustom<P>>,
    };
    if constexpr (Bpp == 2) {
        set.alpha_constant = pixel_kernel<RuleBlend16Constant>;
    } else if constexpr (Bpp == 4) {
        set.alpha_pixel = pixel_kernel<RuleBlend32PerPixel>;
        set.alpha_constant = pixel_kernel<RuleBlend32Constant>;
    }
    return set;
}

// The MMX sets share two plain kernels. The copy: its rows go through the
// C runtime's memcpy, which already moves them with the widest moves the
// processor has; an 8-byte MMX loop measured up to twice as slow. The
// custom kernel: a callback per pixel leaves nothing for MMX to do.
template <int Bpp>
constexpr KernelSet mmx_set() {
    using P = Pixel<Bpp>;
    KernelSet set{
        bytewise_kernel<Bpp, OpCopy>,
        bytewise_kernel_mmx<Bpp, OpInvert>,
        bytewise_kernel_mmx<Bpp, OpAnd>,
        bytewise_kernel_mmx<Bpp, OpOr>,
        bytewise_kernel_mmx<Bpp, OpXor>,
        transparent_kernel_mmx<P>,
        bytewise_kernel<Bpp, OpCopy>,
        transparent_kernel_mmx<P>,
        pixel_kernel<RuleCustom<P>>,
    };
    if constexpr (Bpp == 2) {
        set.alpha_constant = blend16_constant_kernel_mmx;
    } else if constexpr (Bpp == 4) {
        set.alpha_pixel = blend32_pixel_kernel_mmx;
        set.alpha_constant = blend32_constant_kernel_mmx;
    }
    return set;
}

constexpr KernelSet kPlain[3] = {plain_set<1>(), plain_set<2>(), plain_set<4>()};
constexpr KernelSet kMmx[3] = {mmx_set<1>(), mmx_set<2>(), mmx_set<4>()};

int format_index(int bytes_per_pixel) {
    switch (bytes_per_pixel) {
        case 1: return 0;
        case 2: return 1;
        case 4: return 2;
        default: return -1;
    }
}

}  // namespace

const KernelSet* kernels_plain(int bytes_per_pixel) {
    const int i = format_index(bytes_per_pixel);
    return i < 0 ? nullptr : &kPlain[i];
}

const KernelSet* kernels_mmx(int bytes_per_pixel) {
    const int i = format_index(bytes_per_pixel);
    return i < 0 ? nullptr : &kMmx[i];
}

}  // namespace gfx::blit
