// The plain blit kernel sets by storage format, and the choice of the vector
// sets.
#include "gfx/blit_kernels.h"

namespace gfx::blit {

BlendFunction blend_current = nullptr;

namespace {

template <int Bpp>
constexpr KernelSet plain_set() {
    using P = PixelOf<Bpp>;
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

constexpr KernelSet kPlain[3] = {plain_set<1>(), plain_set<2>(), plain_set<4>()};

}  // namespace

int kernel_format_index(int bytes_per_pixel) {
    switch (bytes_per_pixel) {
        case 1: return 0;
        case 2: return 1;
        case 4: return 2;
        default: return -1;
    }
}

const KernelSet* kernels_plain(int bytes_per_pixel) {
    const int i = kernel_format_index(bytes_per_pixel);
    return i < 0 ? nullptr : &kPlain[i];
}

const KernelSet* kernels_vector(int bytes_per_pixel) {
    const KernelSet* sse2 = kernels_sse2(bytes_per_pixel);
    return sse2 != nullptr ? sse2 : kernels_mmx(bytes_per_pixel);
}

}  // namespace gfx::blit
