// Blit kernels drawing a 640x480 image onto a 640x480 screen page in the
// copy, transparent, alpha and xor modes, at 16 and 32 bits: put_image with
// the plain kernels and with the vector kernels the screen chooses (SSE2
// where the build has it, else MMX), and, where SSE2 is the vector set, the
// MMX kernels called directly on the same rows. memcpy of the same bytes is
// the reference. The per_pixel counter is the time per blit divided by the
// image's pixels; run with --benchmark_repetitions=N and read the "min" rows
// (the fastest repetition, the least disturbed by other work).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gfx/blit.h"
#include "gfx/blit_kernels.h"
#include "gfx/image.h"
#include "gfx/modes.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kPixels = kWidth * kHeight;
constexpr int kNoDisplay = -1;  // screen flags: the null driver

enum class Variant { plain, vector, mmx };

void set_counter(benchmark::State& state, int bytes_per_pixel) {
    state.counters["per_pixel"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPixels * bytes_per_pixel);
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

void blit_bench(benchmark::State& state, int depth, int32_t mode, int32_t alpha, Variant variant) {
    if (variant != Variant::plain && (gfx::cpu_features() & gfx::CPU_FEATURE_MMX) == 0) {
        state.SkipWithError("no MMX on this processor");
        return;
    }
    gfx::simd_force_plain(variant == Variant::plain);
    gfx::screen_res(kWidth, kHeight, depth, 1, kNoDisplay, 0);
    if (gfx::screen == nullptr) {
        state.SkipWithError("no screen");
        return;
    }
    const int bpp = gfx::screen->bytes_per_pixel;
    gfx::ImageHeader* source = gfx::image_create(kWidth, kHeight, 0);
    fill_random(source, bpp);
    // The MMX kernel that put_image would choose with the MMX set.
    gfx::BlitKernel mmx_kernel = nullptr;
    if (variant == Variant::mmx) {
        const gfx::BlitKernel chosen = gfx::blit_kernel_select(mode, alpha, nullptr);
        const gfx::blit::KernelSet* vector = gfx::blit::kernels_vector(bpp);
        const gfx::blit::KernelSet* mmx = gfx::blit::kernels_mmx(bpp);
        const gfx::BlitKernel gfx::blit::KernelSet::*slots[] = {
            &gfx::blit::KernelSet::copy,        &gfx::blit::KernelSet::invert,         &gfx::blit::KernelSet::bit_and,
            &gfx::blit::KernelSet::bit_or,      &gfx::blit::KernelSet::bit_xor,        &gfx::blit::KernelSet::transparent,
            &gfx::blit::KernelSet::alpha_pixel, &gfx::blit::KernelSet::alpha_constant, &gfx::blit::KernelSet::custom};
        for (auto slot : slots)
            if (vector->*slot == chosen) mmx_kernel = mmx->*slot;
    }
    const int32_t pitch = kWidth * bpp;
    for (auto _ : state) {
        if (mmx_kernel != nullptr)
            mmx_kernel(gfx::image_pixels(source), gfx::screen->pages[0], kWidth, kHeight, pitch, pitch, alpha);
        else
            gfx::put_image(nullptr, 0, 0, source, gfx::SOURCE_WHOLE, 0, 0, 0, 4, mode, alpha, nullptr);
        benchmark::DoNotOptimize(gfx::screen->pages[0]);
        benchmark::ClobberMemory();
    }
    set_counter(state, bpp);
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
    set_counter(state, bytes_per_pixel);
}

double fastest(const std::vector<double>& times) {
    return times.empty() ? 0.0 : *std::min_element(times.begin(), times.end());
}

struct ModeCase {
    const char* name;
    int32_t mode, alpha;
};

void register_all() {
    const ModeCase modes[] = {
        {"copy", gfx::BLIT_COPY, -1},           {"transparent", gfx::BLIT_TRANSPARENT, 0},
        {"alpha127", gfx::BLIT_ALPHA, 127},     {"alpha_pixel", gfx::BLIT_ALPHA, -1},
        {"xor", gfx::BLIT_XOR, 0},
    };
    const bool sse2_built = gfx::blit::kernels_sse2(4) != nullptr;
    for (int depth : {32, 16}) {
        benchmark::RegisterBenchmark(("memcpy/bytes" + std::to_string(depth)).c_str(), memcpy_bench, depth / 8)
            ->ComputeStatistics("min", fastest);
        for (const ModeCase& m : modes) {
            if (depth == 16 && m.mode == gfx::BLIT_ALPHA && m.alpha < 0) continue;  // the copy kernel
            const std::string name = std::string(m.name) + "_" + std::to_string(depth);
            benchmark::RegisterBenchmark((name + "/plain").c_str(), blit_bench, depth, m.mode, m.alpha, Variant::plain)
                ->ComputeStatistics("min", fastest);
            benchmark::RegisterBenchmark((name + (sse2_built ? "/sse2" : "/mmx")).c_str(), blit_bench, depth, m.mode,
                                         m.alpha, Variant::vector)
                ->ComputeStatistics("min", fastest);
            if (sse2_built && m.mode != gfx::BLIT_COPY)
                benchmark::RegisterBenchmark((name + "/mmx").c_str(), blit_bench, depth, m.mode, m.alpha,
                                             Variant::mmx)
                    ->ComputeStatistics("min", fastest);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
