// MMX byte fill and copy: the odd 1, 2 and 4 bytes first, then 8 bytes per
// step through an MMX register. Results equal the plain routines.
#include <mmintrin.h>

#include <cstring>

#include "gfx/pixel_format.h"

namespace gfx {
namespace {

// An 8-byte MMX value that may sit at any address.
typedef __m64 unaligned_m64 __attribute__((__may_alias__, __aligned__(1)));

}  // namespace

void byte_copy_mmx(void* destination, const void* source, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    auto* s = static_cast<const uint8_t*>(source);
    if (count & 1) {
        *d++ = *s++;
    }
    if (count & 2) {
        std::memcpy(d, s, 2);
        d += 2;
        s += 2;
    }
    if (count & 4) {
        std::memcpy(d, s, 4);
        d += 4;
        s += 4;
    }
    for (size_t n = count >> 3; n != 0; --n) {
        __m64 v = *reinterpret_cast<const unaligned_m64*>(s);
        *reinterpret_cast<unaligned_m64*>(d) = v;
        d += 8;
        s += 8;
    }
    _mm_empty();
}

void byte_fill_mmx(void* destination, int value, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    uint32_t word = (value & 0xFF) * 0x01010101u;
    if (count & 1) {
        *d++ = static_cast<uint8_t>(word);
    }
    if (count & 2) {
        std::memcpy(d, &word, 2);
        d += 2;
    }
    if (count & 4) {
        std::memcpy(d, &word, 4);
        d += 4;
    }
    __m64 v = _mm_set1_pi32(static_cast<int>(word));
    for (size_t n = count >> 3; n != 0; --n) {
        *reinterpret_cast<unaligned_m64*>(d) = v;
        d += 8;
    }
    _mm_empty();
}

}  // namespace gfx
