// The drawing target, coordinate mapping and single pixels.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/image.h"
#include "gfx/modes.h"
#include "gfx/pixel_access.h"
#include "gfx/pixel_format.h"
#include "gfx/screen.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::DEFAULT_COLOUR;
using gfx::REL_ABSOLUTE;
using gfx::screen;
using test_support::ScreenTest;

class PixelAccess : public ScreenTest {};

TEST_F(PixelAccess, RoundingHalvesAwayFromZero) {
    open_null(10, 10, 32);
    struct Case {
        float in;
        int32_t out;
    } cases[] = {{2.5f, 3}, {-2.5f, -3}, {0.4999f, 0}, {-0.5f, -1}, {0.5f, 1}, {-0.4999f, 0}, {1e30f, INT32_MAX},
                 {-1e30f, INT32_MIN}};
    for (const auto& c : cases) {
        int32_t px = 7, py = 7;
        gfx::map_coords(c.in, 0, &px, &py);
        EXPECT_EQ(px, c.out) << c.in;
    }
    screen->pages[0][0] = 0x42;
    EXPECT_EQ(gfx::pixel_get(nullptr, 0.4999f, 0), 0x42);
    EXPECT_EQ(gfx::pixel_get(nullptr, -0.5f, 0), -1);
}

TEST_F(PixelAccess, SixteenBitStoreAndReadBack) {
    open_null(10, 10, 16);
    gfx::ImageHeader* image = gfx::image_create(4, 4, 0);
    gfx::pixel_set(image, 1, 1, 0x808080, REL_ABSOLUTE, 0);
    uint16_t stored;
    std::memcpy(&stored, gfx::image_pixels(image) + (1 * 4 + 1) * 2, 2);
    EXPECT_EQ(stored, 0x8410);
    EXPECT_EQ(gfx::pixel_get(image, 1, 1), 0x848284);
    gfx::pixel_set(image, 2, 1, 0xFF0000, REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::pixel_get(image, 2, 1), 0xFF0000);
    gfx::image_destroy(image);
}

TEST_F(PixelAccess, ThirtyTwoBitKeepsTheTopByte) {
    open_null(10, 10, 32);
    gfx::ImageHeader* image = gfx::image_create(4, 3, 0);
    gfx::pixel_set(image, 3, 2, 0x12345678, REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::pixel_get(image, 3, 2), 0x12345678);
    EXPECT_EQ(gfx::pixel_get(image, 4, 0), -1) << "width is outside";
    EXPECT_EQ(gfx::pixel_get(image, 0, 3), -1) << "height is outside";
    gfx::pixel_set(image, 3, 2, 0xFFFFFFFF, REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::pixel_get(image, 3, 2), -1) << "a stored 0xFFFFFFFF reads like a miss";
    gfx::image_destroy(image);
}

TEST_F(PixelAccess, RelativeToTheLastPoint) {
    open_null(40, 40, 32);
    gfx::pixel_set(nullptr, 5, 5, 0x1, REL_ABSOLUTE, 0);
    gfx::pixel_set(nullptr, 10, 20, 0x2, gfx::REL_FROM_LAST, 0);
    EXPECT_EQ(gfx::pixel_get(nullptr, 15, 25), 2);
    EXPECT_EQ(screen->last_x, 15.0f);
    EXPECT_EQ(screen->last_y, 25.0f);
    gfx::pixel_set(nullptr, 1, 1, 0x3, 5, 0);  // 5 acts as 2
    EXPECT_EQ(gfx::pixel_get(nullptr, 16, 26), 3);
    // The last point moves even when the pixel is clipped away.
    gfx::pixel_set(nullptr, 100, 100, 0x4, REL_ABSOLUTE, 0);
    EXPECT_EQ(screen->last_x, 100.0f);
    // pixel_get leaves it alone.
    gfx::pixel_get(nullptr, 3, 3);
    EXPECT_EQ(screen->last_x, 100.0f);
}

TEST_F(PixelAccess, DefaultColourUsesTheCurrentColoursUnconverted) {
    open_null(8, 8, 16);
    screen->fg_colour = 0x1234;
    screen->bg_colour = 0xBEEF;
    gfx::pixel_set(nullptr, 0, 0, DEFAULT_COLOUR, REL_ABSOLUTE, 1);
    gfx::pixel_set(nullptr, 1, 0, DEFAULT_COLOUR, REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::pixel_read(0, 0), 0xBEEFu);
    EXPECT_EQ(gfx::pixel_read(1, 0), 0x1234u);
}

TEST_F(PixelAccess, LastPointQueries) {
    open_null(40, 40, 32);
    gfx::pixel_set(nullptr, 7.75f, -3.5f, 0, REL_ABSOLUTE, 0);
    struct Case {
        float kind;
        int32_t value;
    } cases[] = {{2, 7}, {3, -3}, {0, 7}, {1, -3}, {2.9f, 7}, {9, 0}};
    for (const auto& c : cases) EXPECT_EQ(gfx::pixel_get(nullptr, c.kind, gfx::LAST_POINT_QUERY), c.value) << c.kind;
    EXPECT_EQ(gfx::last_point_query(2), 7.75L);
    EXPECT_EQ(gfx::map_query(12.5f, 0), 12.5L);
    EXPECT_EQ(gfx::map_query(12.5f, 7), 0.0L);
}

TEST_F(PixelAccess, ScreenViewComesBackAfterAnImage) {
    open_null(20, 10, 32);
    gfx::ImageHeader* big = gfx::image_create(100, 100, 0);
    gfx::pixel_set(big, 50, 50, 0x5, REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::pixel_get(big, 50, 50), 5);
    // On the screen, (50, 5) is outside its 20 x 10 view again.
    gfx::pixel_set(nullptr, 50, 5, 0x6, REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::pixel_get(nullptr, 50, 5), -1);
    EXPECT_EQ(screen->view_w, 20);
    EXPECT_EQ(screen->target_pitch, screen->pitch);
    // Switching between two images keeps the screen's view saved.
    gfx::ImageHeader* other = gfx::image_create(3, 3, 0);
    gfx::target_select(big);
    gfx::target_select(other);
    gfx::target_select(nullptr);
    EXPECT_EQ(screen->view_w, 20);
    EXPECT_EQ(screen->view_h, 10);
    gfx::image_destroy(big);
    gfx::image_destroy(other);
}

TEST_F(PixelAccess, DirtyMarksOnlyTheVisibleScreen) {
    open_fake(20, 10, 32);
    std::memset(screen->dirty, 0, 10);
    gfx::pixel_set(nullptr, 3, 7, 0x9, REL_ABSOLUTE, 0);
    for (int y = 0; y < 10; ++y) EXPECT_EQ(screen->dirty[y], y == 7 ? 1 : 0) << y;
    std::memset(screen->dirty, 0, 10);
    gfx::ImageHeader* image = gfx::image_create(20, 10, 0);
    gfx::pixel_set(image, 3, 4, 0x9, REL_ABSOLUTE, 0);
    for (int y = 0; y < 10; ++y) EXPECT_EQ(screen->dirty[y], 0) << y;
    gfx::image_destroy(image);
    // Every access took and released the lock once.
    auto& fake = test_support::fake_state(0);
    EXPECT_EQ(fake.lock_calls, fake.unlock_calls);
    EXPECT_EQ(fake.max_lock_depth, 1);
    EXPECT_EQ(screen->flags & (gfx::ScreenState::locked | gfx::ScreenState::lock_owned), 0u);
}

TEST_F(PixelAccess, HugeImagesAreReachableToTheirLastPixel) {
    open_null(8, 8, 8);
    struct Case {
        int32_t width, height;
    } cases[] = {{8191, 3}, {2, 65535}, {4097, 40000}};
    for (const auto& c : cases) {
        gfx::ImageHeader* image = gfx::image_create(c.width, c.height, 0);
        ASSERT_NE(image, nullptr);
        float x = static_cast<float>(c.width - 1), y = static_cast<float>(c.height - 1);
        gfx::pixel_set(image, x, y, 0x7B, REL_ABSOLUTE, 0);
        EXPECT_EQ(gfx::pixel_get(image, x, y), 0x7B);
        size_t last = static_cast<size_t>(c.width) * static_cast<size_t>(c.height) - 1;
        EXPECT_EQ(gfx::image_pixels(image)[last], 0x7B);
        EXPECT_EQ(gfx::pixel_get(image, x + 1, y), -1);
        gfx::image_destroy(image);
    }
}

TEST_F(PixelAccess, AnImageWithSmallerPixelsIsNotATarget) {
    open_null(8, 8, 8);
    gfx::ImageHeader* small = gfx::image_create(4, 4, 0x11);  // 1 byte per pixel: 20 bytes
    open_null(8, 8, 32);
    EXPECT_EQ(gfx::target_select(small), nullptr);
    EXPECT_EQ(screen->target, nullptr);
    gfx::pixel_set(small, 3, 3, 0xABCDEF, REL_ABSOLUTE, 0);  // would write 60 bytes past the block
    EXPECT_EQ(gfx::pixel_get(small, 3, 3), -1);
    EXPECT_EQ(gfx::image_pixels(small)[15], 0x11);
    gfx::pixel_set(nullptr, 1, 1, 0x123456, REL_ABSOLUTE, 0);  // the screen still works
    EXPECT_EQ(gfx::pixel_get(nullptr, 1, 1), 0x123456);
    // Larger pixels are fine: a 32-bit image on an 8-bit screen.
    gfx::ImageHeader* wide = gfx::image_create(4, 4, 0);
    open_null(8, 8, 8);
    EXPECT_EQ(gfx::target_select(wide), wide);
    gfx::image_destroy(small);
    gfx::image_destroy(wide);
}

TEST_F(PixelAccess, NoScreen) {
    EXPECT_EQ(gfx::pixel_get(nullptr, 0, 0), -1);
    gfx::pixel_set(nullptr, 0, 0, 1, REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::last_point_query(2), 0.0L);
    EXPECT_EQ(gfx::map_query(5, 0), 0.0L);
}

}  // namespace
