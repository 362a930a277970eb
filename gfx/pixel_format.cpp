// Colour conversion, per-depth pixel routines and processor features.
#include "gfx/pixel_format.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "gfx/screen.h"

namespace gfx {

ByteFillFn byte_fill = byte_fill_plain;
ByteCopyFn byte_copy = byte_copy_plain;
SpanFillFn span_fill = nullptr;
SpanCopyFn span_copy = nullptr;
PixelReadFn pixel_read = nullptr;
PixelWriteFn pixel_write = nullptr;

namespace {

bool g_force_plain = false;

// Per-depth routines, one template over the stored pixel type.
template <typename Pixel>
struct PixelRoutines {
    static uint32_t read(int x, int y) {
        Pixel p;
        std::memcpy(&p, screen->line_ptrs[y] + static_cast<size_t>(x) * sizeof(Pixel), sizeof p);
        return p;
    }
    static void write(int x, int y, uint32_t value) {
        Pixel p = static_cast<Pixel>(value);
        std::memcpy(screen->line_ptrs[y] + static_cast<size_t>(x) * sizeof(Pixel), &p, sizeof p);
    }
    static void fill(void* destination, uint32_t value, size_t count) {
        if (sizeof(Pixel) == 1) {
            byte_fill(destination, static_cast<int>(value), count);
            return;
        }
        Pixel p = static_cast<Pixel>(value);
        auto* out = static_cast<uint8_t*>(destination);
        for (size_t i = 0; i < count; ++i) std::memcpy(out + i * sizeof(Pixel), &p, sizeof p);
    }
    static void copy(void* destination, const void* source, size_t count) {
        byte_copy(destination, source, count * sizeof(Pixel));
    }
};

template <typename Pixel>
void select_for() {
    pixel_read = PixelRoutines<Pixel>::read;
    pixel_write = PixelRoutines<Pixel>::write;
    span_fill = PixelRoutines<Pixel>::fill;
    span_copy = PixelRoutines<Pixel>::copy;
}

#if defined(__i386__)
// CPUID exists when bit 21 of EFLAGS (ID) can be toggled.
bool cpuid_available() {
    uint32_t before, after;
    __asm__ volatile(
        "pushfl\n\t"
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "xorl $0x200000, %0\n\t"
        "pushl %0\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %0\n\t"
        "popfl"
        : "=&r"(after), "=&r"(before)
        :
        : "cc");
    return ((after ^ before) & 0x200000u) != 0;
}
#elif defined(__x86_64__)
bool cpuid_available() { return true; }
#endif

uint32_t compute_cpu_features() {
#if defined(__i386__) || defined(__x86_64__)
    if (!cpuid_available()) return 0;
    unsigned int eax, ebx, ecx, edx;
    __cpuid(1, eax, ebx, ecx, edx);
    return edx & 0x00FFFFFFu;
#else
    return 0;
#endif
}

}  // namespace

void byte_fill_plain(void* destination, int value, size_t count) {
    std::memset(destination, value & 0xFF, count);
}

void byte_copy_plain(void* destination, const void* source, size_t count) {
    if (count != 0) std::memcpy(destination, source, count);
}

int32_t pack_rgb(int32_t value, int32_t red, int32_t green, int32_t blue) {
    if (screen != nullptr && screen->bytes_per_pixel == 2) {
        return (blue >> 3) | ((green << 3) & 0x07E0) | ((red << 8) & 0xF800);
    }
    return value;
}

uint32_t colour_to_pixel(uint32_t colour) {
    uint32_t packed = static_cast<uint32_t>(pack_rgb(static_cast<int32_t>(colour), (colour >> 16) & 0xFF,
                                                     (colour >> 8) & 0xFF, colour & 0xFF));
    return screen != nullptr ? packed & screen->colour_mask : packed;
}

uint32_t pixel_to_rgb(uint16_t pixel) {
    uint32_t r5 = (pixel >> 11) & 0x1F, g6 = (pixel >> 5) & 0x3F, b5 = pixel & 0x1F;
    uint32_t r8 = (r5 << 3) | (r5 >> 2), g8 = (g6 << 2) | (g6 >> 4), b8 = (b5 << 3) | (b5 >> 2);
    return (r8 << 16) | (g8 << 8) | b8;
}

uint32_t cpu_features() {
    static const uint32_t features = compute_cpu_features();
    return features;
}

void simd_force_plain(bool force) { g_force_plain = force; }

bool mmx_enabled() { return !g_force_plain && (cpu_features() & CPU_FEATURE_MMX) != 0; }

void pixel_routines_select() {
    if (mmx_enabled()) {
        byte_copy = byte_copy_mmx;
        byte_fill = byte_fill_mmx;
        if (screen != nullptr) screen->flags |= ScreenState::has_mmx;
    } else {
        byte_copy = byte_copy_plain;
        byte_fill = byte_fill_plain;
        if (screen != nullptr) screen->flags &= ~static_cast<uint32_t>(ScreenState::has_mmx);
    }
    int depth = screen != nullptr ? screen->depth : 8;
    if (depth == 16) {
        select_for<uint16_t>();
    } else if (depth == 32) {
        select_for<uint32_t>();
    } else {
        select_for<uint8_t>();
    }
}

}  // namespace gfx
