// put_image of a 640x480 image onto a 640x480 screen (null driver) in the
// copy, transparent, alpha and xor modes, at 16 and 32 bits, with the plain and
// the MMX kernels; memcpy of the same bytes is the reference. The per_pixel
// counter is the time per blit divided by the image's pixels.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "gfx/blit.h"
#include "gfx/image.h"
#include "gfx/modes.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kPixels = kWidth * kHeight;
constexpr int kNoDisplay = -1;  // screen flags: the null driver

void set_counter(benchmark::State& state) {
    state.counters["per_pixel"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPixels *
                            (gfx::screen != nullptr ? gfx::screen->bytes_per_pixel : 0));
}

// Random pixels, one in eight the mask colour, 32-bit top bytes random.
void fill_random(gfx::ImageHeader* image, int bpp) {
    std::mt19937 rng(1234);
    uint8_t* p = gfx::image_pixels(image);
    for (int i = 0; i < kPixels; ++i, p += bpp) {
        uint32_t v = static_cast<uint32_t>(rng());
        if (v % 8 == 0) v = bpp == 2 ? 0xF81F : (v & 0xFF000000u) | 0x00FF00FF;
        std::memcpy(p, &v, static_cast<size_t>(bpp));
    }
}

void put_image_bench(benchmark::State& state, int depth, int32_t mode, int32_t alpha, bool mmx) {
    if (mmx && (gfx::cpu_features() & gfx::CPU_FEATURE_MMX) == 0) {
        state.SkipWithError("no MMX on this processor");
        return;
    }
    gfx::simd_force_plain(!mmx);
    gfx::screen_res(kWidth, kHeight, depth, 1, kNoDisplay, 0);
    if (gfx::screen == nullptr) {
        state.SkipWithError("no screen");
        return;
    }
    gfx::ImageHeader* source = gfx::image_create(kWidth, kHeight, 0);
    fill_random(source, gfx::screen->bytes_per_pixel);
    for (auto _ : state) {
        gfx::put_image(nullptr, 0, 0, source, gfx::SOURCE_WHOLE, 0, 0, 0, 4, mode, alpha, nullptr);
        benchmark::DoNotOptimize(gfx::screen->pages[0]);
        benchmark::ClobberMemory();
    }
    set_counter(state);
    gfx::image_destroy(source);
    gfx::screen_close();
    gfx::simd_force_plain(false);
}

void memcpy_bench(benchmark::State& state, int bytes_per_pixel) {
    const size_t bytes = static_cast<size_t>(kPixels) * bytes_per_pixel;
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.counters["per_pixel"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

BENCHMARK_CAPTURE(memcpy_bench, bytes32, 4);
BENCHMARK_CAPTURE(put_image_bench, copy32_plain, 32, gfx::BLIT_COPY, -1, false);
BENCHMARK_CAPTURE(put_image_bench, copy32_mmx, 32, gfx::BLIT_COPY, -1, true);
BENCHMARK_CAPTURE(put_image_bench, transparent32_plain, 32, gfx::BLIT_TRANSPARENT, 0, false);
BENCHMARK_CAPTURE(put_image_bench, transparent32_mmx, 32, gfx::BLIT_TRANSPARENT, 0, true);
BENCHMARK_CAPTURE(put_image_bench, alpha127_32_plain, 32, gfx::BLIT_ALPHA, 127, false);
BENCHMARK_CAPTURE(put_image_bench, alpha127_32_mmx, 32, gfx::BLIT_ALPHA, 127, true);
BENCHMARK_CAPTURE(put_image_bench, alpha_pixel32_plain, 32, gfx::BLIT_ALPHA, -1, false);
BENCHMARK_CAPTURE(put_image_bench, alpha_pixel32_mmx, 32, gfx::BLIT_ALPHA, -1, true);
BENCHMARK_CAPTURE(put_image_bench, xor32_plain, 32, gfx::BLIT_XOR, 0, false);
BENCHMARK_CAPTURE(put_image_bench, xor32_mmx, 32, gfx::BLIT_XOR, 0, true);

BENCHMARK_CAPTURE(memcpy_bench, bytes16, 2);
BENCHMARK_CAPTURE(put_image_bench, copy16_plain, 16, gfx::BLIT_COPY, -1, false);
BENCHMARK_CAPTURE(put_image_bench, copy16_mmx, 16, gfx::BLIT_COPY, -1, true);
BENCHMARK_CAPTURE(put_image_bench, transparent16_plain, 16, gfx::BLIT_TRANSPARENT, 0, false);
BENCHMARK_CAPTURE(put_image_bench, transparent16_mmx, 16, gfx::BLIT_TRANSPARENT, 0, true);
BENCHMARK_CAPTURE(put_image_bench, alpha127_16_plain, 16, gfx::BLIT_ALPHA, 127, false);
BENCHMARK_CAPTURE(put_image_bench, alpha127_16_mmx, 16, gfx::BLIT_ALPHA, 127, true);

}  // namespace

BENCHMARK_MAIN();
