// Image buffers.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/image.h"
#include "gfx/modes.h"
#include "gfx/pixel_access.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "tests/support/screen_fixture.h"

namespace {

using test_support::ScreenTest;

class Images : public ScreenTest {};

uint32_t pixel_at(const gfx::ImageHeader* image, size_t i, size_t bytes) {
    uint32_t p = 0;
    std::memcpy(&p, gfx::image_pixels(image) + i * bytes, bytes);
    return p;
}

TEST_F(Images, SizeLimits) {
    open_null(16, 16, 8);
    struct Case {
        int32_t width, height;
        bool made;
    } cases[] = {{8191, 1, true},  {8192, 1, false}, {0, 5, false},       {5, -1, false},    {1, 65535, true},
                 {1, 65536, false}, {-1, 1, false},  {INT32_MIN, 1, false}, {1, INT32_MIN, false}};
    for (const auto& c : cases) {
        gfx::ImageHeader* image = gfx::image_create(c.width, c.height, 0);
        EXPECT_EQ(image != nullptr, c.made) << c.width << "x" << c.height;
        if (image != nullptr) {
            EXPECT_EQ(gfx::image_width(image), static_cast<uint32_t>(c.width));
            EXPECT_EQ(gfx::image_height(image), static_cast<uint32_t>(c.height));
        }
        gfx::image_destroy(image);
    }
}

TEST_F(Images, NoScreenNoImage) {
    EXPECT_EQ(gfx::image_create(4, 4, 0), nullptr);
    gfx::image_destroy(nullptr);
}

TEST_F(Images, FillValuesPerDepth) {
    struct Case {
        int depth;
        uint32_t colour, fill;
        size_t bytes;
    } cases[] = {
        {8, gfx::DEFAULT_COLOUR, 0, 1},          {16, gfx::DEFAULT_COLOUR, 0xF81F, 2},
        {32, gfx::DEFAULT_COLOUR, 0x00FF00FF, 4}, {32, 0x12345678, 0x12345678, 4},
        {16, 0xFFFFFF, 0xFFFF, 2},               {8, 0x1F3, 0xF3, 1},
    };
    for (const auto& c : cases) {
        open_null(16, 16, c.depth);
        gfx::ImageHeader* image = gfx::image_create(2, 2, c.colour);
        ASSERT_NE(image, nullptr);
        for (size_t i = 0; i < 4; ++i) EXPECT_EQ(pixel_at(image, i, c.bytes), c.fill) << c.depth << " " << std::hex << c.colour;
        gfx::image_destroy(image);
    }
    gfx::screen_mode(7, 0, 1, -1, 0);  // depth 4 keeps the low four bits
    gfx::ImageHeader* image = gfx::image_create(3, 1, 0x1F3);
    EXPECT_EQ(pixel_at(image, 2, 1), 3u);
    gfx::image_destroy(image);
}

TEST_F(Images, HeaderWords) {
    open_null(16, 16, 32);
    gfx::ImageHeader* image = gfx::image_create(3, 2, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->bytes[0] | (image->bytes[1] << 8), 0x001C);
    EXPECT_EQ(image->bytes[2] | (image->bytes[3] << 8), 2);
    EXPECT_EQ(gfx::image_bpp(image), 4u);
    gfx::image_destroy(image);

    open_null(16, 16, 8);
    image = gfx::image_create(8191, 65535, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->bytes[0], 0xF9);  // 1 + (8191 << 3) = 0xFFF9
    EXPECT_EQ(image->bytes[1], 0xFF);
    EXPECT_EQ(gfx::image_width(image), 8191u);
    EXPECT_EQ(gfx::image_height(image), 65535u);
    gfx::image_destroy(image);
}

TEST_F(Images, ImagesOutliveTheirScreen) {
    open_null(16, 16, 32);
    gfx::ImageHeader* image = gfx::image_create(2, 2, 0xABCDEF);
    gfx::screen_close();
    EXPECT_EQ(pixel_at(image, 3, 4), 0xABCDEFu);
    gfx::image_destroy(image);
}

TEST_F(Images, ADestroyedTargetIsNotMistakenForANewImage) {
    open_null(64, 64, 32);
    gfx::ImageHeader* small = gfx::image_create(2, 2, 0);
    gfx::pixel_set(small, 0, 0, 0x111111, gfx::REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::screen->target, small);
    gfx::image_destroy(small);
    EXPECT_EQ(gfx::screen->target, nullptr);
    EXPECT_EQ(gfx::screen->view_w, 64) << "the screen's view is back";
    // A new, larger image, possibly at the same address: its whole area is reachable.
    gfx::ImageHeader* large = gfx::image_create(40, 30, 0);
    gfx::pixel_set(large, 39, 29, 0x222222, gfx::REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::pixel_get(large, 39, 29), 0x222222);
    EXPECT_EQ(pixel_at(large, 40 * 30 - 1, 4), 0x222222u);
    gfx::image_destroy(large);
}

}  // namespace
