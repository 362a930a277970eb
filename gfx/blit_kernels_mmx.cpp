// The MMX instantiation of the vector blit kernels (built with -mmmx). Each
// kernel leaves the MMX state before returning.
#include "gfx/blit_kernels_vector.h"

namespace gfx::blit {
namespace {

using Ops = simd::MmxOps;
constexpr KernelSet kMmx[3] = {vector::kernel_set<Ops, 1>(), vector::kernel_set<Ops, 2>(),
                               vector::kernel_set<Ops, 4>()};

}  // namespace

const KernelSet* kernels_mmx(int bytes_per_pixel) {
    const int i = kernel_format_index(bytes_per_pixel);
    return i < 0 ? nullptr : &kMmx[i];
}

}  // namespace gfx::blit
