// Display blitters on a full 640x480 frame with every line dirty: each member
// of the table, plain and vector (SSE2 where the build targets it), the MMX
// members too where they are not the table's, and memcpy of the same number
// of display bytes as the reference. The per_pixel counter is the time per
// frame divided by the frame's pixels; run with --benchmark_repetitions=N and
// read the "min" rows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gfx/drivers/blitters.h"
#include "gfx/screen.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kPixels = kWidth * kHeight;

// A 640x480 screen of one framebuffer depth, random pixels and palette,
// every line dirty, installed as gfx::screen while a benchmark runs.
struct Frame {
    gfx::ScreenState state{};
    std::vector<uint8_t> page;
    std::vector<uint32_t> palette = std::vector<uint32_t>(256);
    std::vector<uint8_t> dirty = std::vector<uint8_t>(kHeight, 1);
    std::vector<uint32_t> table = std::vector<uint32_t>(512);

    explicit Frame(int depth) {
        const int bpp = depth == 8 ? 1 : depth / 8;
        page.resize(static_cast<size_t>(kPixels) * bpp);
        std::mt19937 rng(static_cast<unsigned>(depth));
        for (auto& b : page)
            b = static_cast<uint8_t>(rng());
        for (auto& e : palette)
            e = rng() & 0x00FFFFFF;
        state.visible_page = page.data();
        state.pitch = kWidth * bpp;
        state.bytes_per_pixel = bpp;
        state.width = kWidth;
        state.height = kHeight;
        state.depth = depth;
        state.scanline_mult = 1;
        state.palette = palette.data();
        state.dirty = dirty.data();
        state.flags = gfx::ScreenState::has_mmx;
    }
};

int display_bytes(int bits) { return bits <= 16 ? 2 : bits == 24 ? 3 : 4; }

void set_counter(benchmark::State& state) {
    state.counters["per_pixel"] = benchmark::Counter(
        kPixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Runs `blitter`, which converts what blitter_table[table_index] converts.
void run_blitter(benchmark::State& state, int table_index, gfx::DisplayBlitter blitter) {
    static const int kDepths[3] = {8, 16, 32};
    static const int kBits[4] = {15, 16, 24, 32};
    const int position = table_index % 12;
    const bool bgr = (table_index / 12) % 2 == 0;
    Frame frame(kDepths[position / 4]);
    const int bits = kBits[position % 4];
    const int pitch = kWidth * display_bytes(bits);
    std::vector<uint8_t> display(static_cast<size_t>(pitch) * kHeight);

    gfx::screen = &frame.state;
    gfx::expansion_table = frame.table.data();
    gfx::select_blitter(bits, bgr ? 1 : 0);  // builds the expansion table for the order
    for (auto _ : state) {
        blitter(display.data(), pitch);
        benchmark::DoNotOptimize(display.data());
        benchmark::ClobberMemory();
    }
    gfx::screen = nullptr;
    gfx::expansion_table = nullptr;
    set_counter(state);
}

void run_memcpy(benchmark::State& state, int bytes_per_pixel) {
    const size_t bytes = static_cast<size_t>(kPixels) * bytes_per_pixel;
    std::vector<uint8_t> source(bytes, 0x5A), destination(bytes);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), bytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    set_counter(state);
}

// The fastest of the repetitions, which is the least disturbed by other work
// on the machine (run with --benchmark_repetitions=N).
double fastest(const std::vector<double>& times) {
    return times.empty() ? 0.0 : *std::min_element(times.begin(), times.end());
}

// Each distinct member once: the line copy entries appear under "copy".
void register_all() {
#if defined(__SSE2__)
    const char* const vector_name = "sse2/";
#else
    const char* const vector_name = "mmx/";
#endif
    static const char* kSources[3] = {"palette", "16", "32"};
    static const char* kDisplays[4] = {"15", "16", "24", "32"};
    for (int bpp : {1, 2, 3, 4})
        benchmark::RegisterBenchmark(("memcpy/" + std::to_string(bpp) + "_bytes_per_pixel").c_str(),
                                     run_memcpy, bpp)
            ->ComputeStatistics("min", fastest);
    for (int index = 0; index < 48; ++index) {
        const int block = index / 12, position = index % 12;
        if (index >= 12 && gfx::blitter_table[index] == gfx::blitter_table[index - 12])
            continue;  // 16->24 and 16->32 serve both orders
        std::string name;
        if (gfx::blitter_table[index] == gfx::blitter_line_copy) {
            if (block != 1)
                continue;
            name = std::string("copy/") + kSources[position / 4] + "->" + kDisplays[position % 4];
        } else {
            const bool shared = position == 6 || position == 7;
            name = std::string(shared ? "any/" : block % 2 == 0 ? "bgr/" : "rgb/") + kSources[position / 4] +
                   "->" + kDisplays[position % 4];
            if (block >= 2 && gfx::blitter_table[index] != gfx::blitter_mmx_members[index - 24])
                benchmark::RegisterBenchmark(("mmx/" + name).c_str(), run_blitter, index,
                                             gfx::blitter_mmx_members[index - 24])
                    ->ComputeStatistics("min", fastest);
            name = (block >= 2 ? vector_name : "plain/") + name;
        }
        benchmark::RegisterBenchmark(name.c_str(), run_blitter, index, gfx::blitter_table[index])
            ->ComputeStatistics("min", fastest);
    }
}

}  // namespace

int main(int argc, char** argv) {
    register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
