// Colour conversion, the per-depth routines and the MMX byte routines.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "gfx/modes.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "tests/support/screen_fixture.h"

namespace {

using test_support::ScreenTest;

class PixelFormat : public ScreenTest {};

TEST_F(PixelFormat, ColourToPixelPerDepth) {
    struct Case {
        int mode;  // 0: free-size screen of `depth`
        int depth;
        uint32_t colour, pixel;
    } cases[] = {
        {0, 16, 0xFF00FF, 0xF81F},      {0, 32, 0xFF00FF, 0x00FF00FF}, {0, 16, 0xFFFFFF, 0xFFFF},
        {0, 8, 0x1F3, 0xF3},            {7, 4, 0x1F3, 0x3},            {0, 32, 0x12345678, 0x12345678},
        {0, 16, 0x808080, 0x8410},      {0, 15, 0x0000FF, 0x001F},     {1, 2, 0x7, 0x3},
    };
    for (const auto& c : cases) {
        if (c.mode != 0) {
            gfx::screen_mode(c.mode, 0, 1, -1, 0);
        } else {
            gfx::screen_res(16, 8, c.depth, 1, -1, 0);
        }
        ASSERT_NE(gfx::screen, nullptr);
        EXPECT_EQ(gfx::colour_to_pixel(c.colour), c.pixel) << std::hex << c.colour << " depth " << c.depth;
    }
}

TEST_F(PixelFormat, PixelToRgbReplicatesBits) {
    struct Case {
        uint16_t pixel;
        uint32_t rgb;
    } cases[] = {{0xFFFF, 0xFFFFFF}, {0xF81F, 0xFF00FF}, {0x0400, 0x008200}, {0x0000, 0x000000}, {0x8410, 0x848284}};
    for (const auto& c : cases) EXPECT_EQ(gfx::pixel_to_rgb(c.pixel), c.rgb) << std::hex << c.pixel;
}

TEST_F(PixelFormat, PackRgbOnlyPacksAtTwoBytesPerPixel) {
    open_null(8, 8, 16);
    EXPECT_EQ(gfx::pack_rgb(0x123456, 0x12, 0x34, 0x56), (0x56 >> 3) | ((0x34 << 3) & 0x07E0) | ((0x12 << 8) & 0xF800));
    open_null(8, 8, 32);
    EXPECT_EQ(gfx::pack_rgb(0x7F123456, 0x12, 0x34, 0x56), 0x7F123456);
}

TEST_F(PixelFormat, RoutinesReadAndWriteEachDepth) {
    struct Case {
        int depth;
        uint32_t value, stored;
        size_t bytes;
    } cases[] = {{8, 0x1AB, 0xAB, 1}, {16, 0x1F81F, 0xF81F, 2}, {32, 0xDEADBEEF, 0xDEADBEEF, 4}};
    for (const auto& c : cases) {
        open_null(10, 4, c.depth);
        gfx::pixel_write(3, 2, c.value);
        EXPECT_EQ(gfx::pixel_read(3, 2), c.stored);
        EXPECT_EQ(gfx::pixel_read(2, 2), 0u);
        EXPECT_EQ(gfx::pixel_read(4, 2), 0u);
        // Little-endian at byte 3 * bytes of line 2.
        const uint8_t* at = gfx::screen->pages[0] + 2 * gfx::screen->pitch + 3 * c.bytes;
        uint32_t raw = 0;
        std::memcpy(&raw, at, c.bytes);
        EXPECT_EQ(raw, c.stored);

        std::vector<uint8_t> row(10 * c.bytes + 1, 0xEE);
        gfx::span_fill(row.data(), c.value, 10);
        for (size_t i = 0; i < 10; ++i) {
            uint32_t p = 0;
            std::memcpy(&p, row.data() + i * c.bytes, c.bytes);
            EXPECT_EQ(p, c.stored);
        }
        EXPECT_EQ(row.back(), 0xEE) << "span_fill wrote past its count";
        std::vector<uint8_t> copy(10 * c.bytes + 1, 0x11);
        gfx::span_copy(copy.data(), row.data(), 10);
        EXPECT_EQ(std::memcmp(copy.data(), row.data(), 10 * c.bytes), 0);
        EXPECT_EQ(copy.back(), 0x11);
    }
}

TEST_F(PixelFormat, MmxByteRoutinesEqualThePlainOnes) {
    if (!(gfx::cpu_features() & gfx::CPU_FEATURE_MMX)) GTEST_SKIP() << "no MMX";
    std::mt19937 rng(7);
    std::vector<uint8_t> source(128);
    for (auto& b : source) b = static_cast<uint8_t>(rng());
    for (size_t align = 0; align < 8; ++align) {
        for (size_t count = 0; count <= 48; ++count) {
            std::vector<uint8_t> a(80, 0x5A), b(80, 0x5A);
            gfx::byte_copy_plain(a.data() + align, source.data() + (align ^ 3), count);
            gfx::byte_copy_mmx(b.data() + align, source.data() + (align ^ 3), count);
            EXPECT_EQ(a, b) << "copy count " << count << " align " << align;
            gfx::byte_fill_plain(a.data() + align, 0x1C3, count);
            gfx::byte_fill_mmx(b.data() + align, 0x1C3, count);
            EXPECT_EQ(a, b) << "fill count " << count << " align " << align;
            EXPECT_EQ(b[align + count], 0x5A) << "wrote past the count";
        }
    }
}

TEST_F(PixelFormat, SelectionFollowsTheProcessorAndTheSwitch) {
    open_null(8, 8, 32);
    bool mmx = (gfx::cpu_features() & gfx::CPU_FEATURE_MMX) != 0;
    EXPECT_EQ((gfx::screen->flags & gfx::ScreenState::has_mmx) != 0, mmx);
    EXPECT_EQ(gfx::byte_copy, mmx ? gfx::byte_copy_mmx : gfx::byte_copy_plain);

    gfx::simd_force_plain(true);
    open_null(8, 8, 32);
    EXPECT_EQ(gfx::screen->flags & gfx::ScreenState::has_mmx, 0u);
    EXPECT_EQ(gfx::byte_copy, gfx::byte_copy_plain);
    EXPECT_EQ(gfx::byte_fill, gfx::byte_fill_plain);
}

TEST(CpuFeatures, ReportsMmxOnThisProcessorAndCaches) {
    uint32_t first = gfx::cpu_features();
    EXPECT_NE(first & gfx::CPU_FEATURE_MMX, 0u) << "every x86 processor these builds run on has MMX";
    EXPECT_EQ(first & 0xFF000000u, 0u) << "only feature bits 0..23";
    EXPECT_EQ(gfx::cpu_features(), first);
}

}  // namespace
