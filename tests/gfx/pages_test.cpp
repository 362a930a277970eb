// Page selection and copying.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/image.h"
#include "gfx/modes.h"
#include "gfx/pages.h"
#include "gfx/pixel_access.h"
#include "gfx/screen.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::REL_ABSOLUTE;
using gfx::screen;
using test_support::fake_state;
using test_support::clear_dirty;
using test_support::dirty_lines;
using test_support::ScreenTest;

class Pages : public ScreenTest {
protected:
    static int dirty_count() { return static_cast<int>(dirty_lines().size()); }
    void fill_page(int page, uint8_t value) {
        std::memset(screen->pages[page], value, static_cast<size_t>(screen->pitch) * screen->height);
    }
};

TEST_F(Pages, DrawOnAHiddenPageThenCopyItIntoView) {
    open_fake(32, 20, 32, 2);
    gfx::page_set(1, 0);
    gfx::pixel_set(nullptr, 4, 6, 0xABCDEF, REL_ABSOLUTE, 0);
    EXPECT_EQ(gfx::pixel_get(nullptr, 4, 6), 0xABCDEF);
    uint32_t on_page0;
    std::memcpy(&on_page0, screen->pages[0] + 6 * screen->pitch + 16, 4);
    EXPECT_EQ(on_page0, 0u) << "drawing went to page 1";
    clear_dirty();
    gfx::page_copy(-1, -1);
    std::memcpy(&on_page0, screen->pages[0] + 6 * screen->pitch + 16, 4);
    EXPECT_EQ(on_page0, 0xABCDEFu);
    EXPECT_EQ(dirty_count(), 20);
    uint32_t on_page1;
    std::memcpy(&on_page1, screen->pages[1] + 6 * screen->pitch + 16, 4);
    EXPECT_EQ(on_page1, 0xABCDEFu);
    EXPECT_EQ(fake_state(0).lock_calls, fake_state(0).unlock_calls);
}

TEST_F(Pages, CopyOntoItselfDoesNothing) {
    open_fake(32, 20, 32, 2);
    clear_dirty();
    int locks = fake_state(0).lock_calls;
    gfx::page_copy(-1, -1);  // the tool's call: work page is the visible page
    EXPECT_EQ(dirty_count(), 0);
    EXPECT_EQ(fake_state(0).lock_calls, locks);
}

TEST_F(Pages, OnlyTheClipRectangleIsCopied) {
    open_null(320, 200, 8, 2);
    fill_page(0, 7);
    gfx::page_copy(0, 1);
    for (int i = 0; i < 320 * 200; ++i) ASSERT_EQ(screen->pages[1][i], 7) << i;
    fill_page(0, 9);
    screen->view_x = 10;
    screen->view_y = 5;
    screen->view_w = 20;
    screen->view_h = 3;
    gfx::page_copy(0, 1);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            bool inside = x >= 10 && x < 30 && y >= 5 && y < 8;
            ASSERT_EQ(screen->pages[1][y * 320 + x], inside ? 9 : 7) << x << "," << y;
        }
    }
}

TEST_F(Pages, HiddenCopiesMarkNothing) {
    open_fake(16, 8, 8, 3);
    clear_dirty();
    int locks = fake_state(0).lock_calls;
    fill_page(1, 3);
    gfx::page_copy(1, 2);
    EXPECT_EQ(screen->pages[2][5], 3);
    EXPECT_EQ(fake_state(0).lock_calls, locks + 1) << "only the cell copy takes the lock";
    EXPECT_EQ(fake_state(0).unlock_calls, fake_state(0).lock_calls);
    EXPECT_EQ(dirty_count(), 0);
}

TEST_F(Pages, OutOfRangePagesCopyNothing) {
    open_null(16, 8, 8, 2);
    fill_page(0, 4);
    gfx::page_copy(0, 5);
    gfx::page_copy(5, 1);
    EXPECT_EQ(screen->pages[1][0], 0);
}

TEST_F(Pages, TextCellsFollowThePages) {
    open_null(16, 16, 8, 2);
    screen->text_cells[0][3] = {65, 1, 2};
    gfx::page_copy(0, 1);
    EXPECT_EQ(screen->text_cells[1][3].character, 65u);
    EXPECT_EQ(screen->text_cells[1][3].background, 2u);
}

TEST_F(Pages, FlipPresentsInsteadOfCopying) {
    test_support::ScopedDriverList flip_drivers({test_support::fake_driver_with_flip(2)});
    gfx::screen_res(16, 16, 32, 2, 0, 0);
    ASSERT_NE(screen, nullptr);
    fill_page(0, 0x11);
    screen->text_cells[0][0] = {66, 0, 0};
    gfx::page_copy(0, 1);
    EXPECT_EQ(fake_state(2).flip_calls, 1);
    EXPECT_EQ(screen->pages[1][0], 0) << "pixels are not copied";
    EXPECT_EQ(screen->text_cells[1][0].character, 66u) << "cells are";
    gfx::page_copy(0, 5);
    EXPECT_EQ(fake_state(2).flip_calls, 2);
}

TEST_F(Pages, SetChoosesWorkAndVisible) {
    open_fake(16, 8, 8, 2);
    struct Step {
        int work, visible;
        int expect_work, expect_visible;
        bool all_dirty;
    } steps[] = {
        {1, -1, 1, 0, false}, {-1, 1, 1, 1, true}, {1, 1, 1, 1, false},  // already visible: dirty untouched
        {-1, -1, 0, 0, true}, {2, -1, 0, 0, false},                     // out of range: nothing changes
    };
    for (const auto& step : steps) {
        clear_dirty();
        gfx::page_set(step.work, step.visible);
        EXPECT_EQ(screen->work_page, step.expect_work) << step.work << "," << step.visible;
        EXPECT_EQ(screen->visible_page, screen->pages[step.expect_visible]) << step.work << "," << step.visible;
        EXPECT_EQ(dirty_count(), step.all_dirty ? 8 : 0) << step.work << "," << step.visible;
        EXPECT_EQ(screen->line_ptrs[3], screen->pages[screen->work_page] + 3 * 16);
    }
}

TEST_F(Pages, WorkPageChangeWhileAnImageIsTheTarget) {
    open_null(16, 8, 8, 2);
    gfx::ImageHeader* image = gfx::image_create(4, 4, 0);
    gfx::target_select(image);
    gfx::page_set(1, -1);
    EXPECT_EQ(screen->line_ptrs[0], gfx::image_pixels(image)) << "the image's line table stays";
    gfx::target_select(nullptr);
    EXPECT_EQ(screen->line_ptrs[0], screen->pages[1]);
    gfx::image_destroy(image);
}

}  // namespace
