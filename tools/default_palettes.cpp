#include "tools/default_palettes.h"

#include <cstddef>

namespace tools {
namespace {

// A 6-bit DAC level widened to 8 bits, rounded down.
constexpr uint8_t widen(int v) { return static_cast<uint8_t>(v * 255 / 63); }

// The CGA colours as 6-bit levels (0, 21, 42, 63 widen to 0, 85, 170, 255).
constexpr uint8_t CGA[16][3] = {
    {0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},
    {42, 0, 0},   {42, 0, 42},  {42, 21, 0},  {42, 42, 42},
    {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
    {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63},
};

// Entries 16..31 of the VGA set: a grey ramp, 6-bit levels.
constexpr uint8_t GREY_RAMP[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};

// Entries 32..247: nine hue wheels of 24 colours, for three intensities
// (full, medium, low) each at three saturations. A wheel is drawn with the
// five levels of its ladder, from its low level to its high one.
constexpr uint8_t HUE_LADDERS[9][5] = {
    {0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
    {0, 7, 14, 21, 28},  {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
    {0, 4, 8, 12, 16},   {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16},
};

// The wheel runs blue, magenta, red, yellow, green, cyan and back to blue in
// six legs of four steps; each leg moves one component (0 red, 1 green,
// 2 blue) up from the low level to the high one or down the other way.
struct HueLeg {
    int component;
    bool rising;
};
constexpr HueLeg HUE_LEGS[6] = {{0, true}, {2, false}, {1, true}, {0, false}, {2, true}, {1, false}};

void put(uint8_t* rgb, size_t index, int r, int g, int b) {
    rgb[index * 3 + 0] = widen(r);
    rgb[index * 3 + 1] = widen(g);
    rgb[index * 3 + 2] = widen(b);
}

}  // namespace

void palette2_build(uint8_t* rgb) {
    put(rgb, 0, 0, 0, 0);
    put(rgb, 1, 63, 63, 63);
}

void palette16_build(uint8_t* rgb) {
    for (size_t i = 0; i < 16; ++i) {
        put(rgb, i, CGA[i][0], CGA[i][1], CGA[i][2]);
    }
}

void palette64_build(uint8_t* rgb) {
    for (size_t i = 0; i < 64; ++i) {
        auto bit = [i](int n) { return static_cast<int>((i >> n) & 1); };
        rgb[i * 3 + 0] = static_cast<uint8_t>(170 * bit(2) + 85 * bit(5));
        rgb[i * 3 + 1] = static_cast<uint8_t>(170 * bit(1) + 85 * bit(4));
        rgb[i * 3 + 2] = static_cast<uint8_t>(170 * bit(0) + 85 * bit(3));
    }
}

void palette256_build(uint8_t* rgb) {
    palette16_build(rgb);
    for (size_t i = 0; i < 16; ++i) {
        put(rgb, 16 + i, GREY_RAMP[i], GREY_RAMP[i], GREY_RAMP[i]);
    }
    size_t index = 32;
    for (const auto& ladder : HUE_LADDERS) {
        // Start at blue: red and green low, blue high.
        int level[3] = {0, 0, 4};  // ladder positions of red, green, blue
        for (const HueLeg& leg : HUE_LEGS) {
            for (int step = 0; step < 4; ++step) {
                put(rgb, index++, ladder[level[0]], ladder[level[1]], ladder[level[2]]);
                level[leg.component] += leg.rising ? 1 : -1;
            }
        }
    }
    for (; index < 256; ++index) {
        put(rgb, index, 0, 0, 0);
    }
}

}  // namespace tools
