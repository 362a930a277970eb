// The tool's box blur of a 4000 x 3000 picture: the running-sum fast path at
// radius 1, 3 and 9, and the per-neighbour path at radius 1.
// Compare with bench/blur_reference.py (OpenCV and Pillow on the same size).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "app/box_blur.h"
#include "gfx/image.h"
#include "gfx/modes.h"
#include "gfx/screen.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

struct Pictures {
    gfx::ImageHeader* input;
    gfx::ImageHeader* output;
    Pictures() {
        gfx::screen_res(150, 50, 32, 2, -1, 0);
        input = gfx::image_create(kWidth, kHeight, 0);
        output = gfx::image_create(kWidth, kHeight, 0);
        std::mt19937 rng(42);
        uint8_t* p = gfx::image_pixels(input);
        for (size_t i = 0; i < static_cast<size_t>(kWidth) * kHeight * 4; ++i) p[i] = static_cast<uint8_t>(rng());
    }
};

Pictures& pictures() {
    static Pictures p;
    return p;
}

void BM_BlurFast(benchmark::State& state) {
    Pictures& p = pictures();
    int radius = static_cast<int>(state.range(0));
    for (auto _ : state) {
        softglaze::blur_fast(p.input, p.output, kWidth, kHeight, radius);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_BlurFast)->Arg(1)->Arg(3)->Arg(9)->Unit(benchmark::kMillisecond);

void BM_BlurPerNeighbour(benchmark::State& state) {
    Pictures& p = pictures();
    for (auto _ : state) {
        softglaze::blur_per_neighbour(p.input, p.output, kWidth, kHeight, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_BlurPerNeighbour)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
