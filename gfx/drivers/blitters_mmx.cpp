// The MMX instantiation of the vector display blitters (built with -mmmx).
#include "gfx/drivers/blitters_vector.h"

namespace gfx::blitter {

template <Source S, int Bits, Order O>
void blit_mmx(uint8_t* destination, int destination_pitch) {
    vector::blit<simd::MmxOps, S, Bits, O>(destination, destination_pitch);
}

// Every vector member of the table. 16-bit into 16-bit RGB and 32-bit into
// 32-bit RGB are the line copy; 16-bit into 24 and 32 bits serve both orders.
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
