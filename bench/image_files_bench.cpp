// image_load and image_save of a 4000 x 3000 24-bit BMP on a 32-bit screen
// of the same size (null driver): into an image (what the tool does with
// the picture it blurs) and onto the work page; saving the image and the
// page as 24-bit BMPs. Compare with bench/pillow_bmp_timing.py, which times
// Pillow on the same file ($TMPDIR or /tmp, sg_bench_4000x3000.bmp, kept
// after the run).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/drivers/driver.h"
#include "gfx/image.h"
#include "gfx/image_load.h"
#include "gfx/image_save.h"
#include "gfx/modes.h"
#include "gfx/screen.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr double kFileBytes = 54.0 + 12000.0 * kHeight;

std::string temp_path(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/" + name;
}

// The screen, an image of the picture's size, and the BMP file written from
// a pattern of every colour channel. Made once, on first use.
struct Setup {
    gfx::ImageHeader* image = nullptr;
    std::string file = temp_path("sg_bench_4000x3000.bmp");
    std::string out = temp_path("sg_bench_out.bmp");

    Setup() {
        gfx::screen_res(kWidth, kHeight, 32, 1, gfx::ScreenFlags::no_display, 0);
        if (gfx::screen == nullptr) std::abort();
        image = gfx::image_create(kWidth, kHeight, 0);
        uint8_t* p = gfx::image_pixels(image);
        for (uint32_t y = 0; y < kHeight; ++y) {
            for (uint32_t x = 0; x < kWidth; ++x, p += 4) {
                uint32_t v = ((x * 7) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x + y) & 0xFF);
                p[0] = static_cast<uint8_t>(v);
                p[1] = static_cast<uint8_t>(v >> 8);
                p[2] = static_cast<uint8_t>(v >> 16);
                p[3] = 0;
            }
        }
        if (gfx::image_save(file, image, 0) != 0) std::abort();
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

void report(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

void BM_LoadIntoImage(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state) {
        if (gfx::image_load(s.file, s.image) != 0) state.SkipWithError("load failed");
        benchmark::ClobberMemory();
    }
    report(state);
}

void BM_LoadOntoScreen(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state) {
        if (gfx::image_load(s.file, nullptr) != 0) state.SkipWithError("load failed");
        benchmark::ClobberMemory();
    }
    report(state);
}

void BM_SaveImage(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state) {
        if (gfx::image_save(s.out, s.image, 0) != 0) state.SkipWithError("save failed");
    }
    report(state);
}

void BM_SaveScreen(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state) {
        if (gfx::image_save(s.out, nullptr, 0) != 0) state.SkipWithError("save failed");
    }
    report(state);
}

BENCHMARK(BM_LoadIntoImage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadOntoScreen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveImage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The input is kept for bench/pillow_bmp_timing.py; the output goes.
    std::remove(setup().out.c_str());
    gfx::image_destroy(setup().image);
    gfx::screen_close();
    return 0;
}
