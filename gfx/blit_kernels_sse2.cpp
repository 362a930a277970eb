// The SSE2 instantiation of the vector blit kernels, where the compiler
// targets SSE2 (the x86-64 baseline); elsewhere there is no SSE2 set.
#include "gfx/blit_kernels.h"

#if defined(__SSE2__)
#include "gfx/blit_kernels_vector.h"
#endif

namespace gfx::blit {

#if defined(__SSE2__)

namespace {

using Ops = simd::Sse2Ops;
constexpr KernelSet kSse2[3] = {vector::kernel_set<Ops, 1>(), vector::kernel_set<Ops, 2>(),
                                vector::kernel_set<Ops, 4>()};

}  // namespace

const KernelSet* kernels_sse2(int bytes_per_pixel) {
    const int i = kernel_format_index(bytes_per_pixel);
    return i < 0 ? nullptr : &kSse2[i];
}

#else

const KernelSet* kernels_sse2(int) { return nullptr; }

#endif

}  // namespace gfx::blit
