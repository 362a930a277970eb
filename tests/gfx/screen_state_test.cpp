// The screen record's text cells and the screen lock idiom, on a record
// built by hand (screen opening is tested on its own).
#include <gtest/gtest.h>

#include "gfx/screen.h"
#include "tests/support/fake_driver.h"

namespace {

using gfx::ScreenState;
using gfx::TextCell;

class HandBuiltScreen : public testing::Test {
protected:
    void SetUp() override {
        test_support::fake_reset();
        state_ = ScreenState{};
        state_.page_count = 2;
        state_.text_cols = 18;
        state_.text_rows = 6;
        state_.fg_colour = 0xFFFFFFFF;
        state_.bg_colour = 0x0245D0;
        state_.driver = test_support::fake_driver(0);
        gfx::screen = &state_;
    }
    void TearDown() override {
        gfx::text_cells_reset(false);
        gfx::screen = nullptr;
    }
    const TextCell& cell(int page, int col, int row) const {
        return state_.text_cells[page][row * state_.text_cols + col];
    }
    ScreenState state_;
};

TEST_F(HandBuiltScreen, ResetFillsOnlyTheWorkPage) {
    for (int work : {0, 1}) {
        state_.work_page = work;
        ASSERT_TRUE(gfx::text_cells_reset(true));
        int other = 1 - work;
        for (int row = 0; row < 6; ++row) {
            for (int col = 0; col < 18; ++col) {
                const TextCell& w = cell(work, col, row);
                EXPECT_EQ(w.character, 32u);
                EXPECT_EQ(w.foreground, 0xFFFFFFFFu);
                EXPECT_EQ(w.background, 0x0245D0u);
                const TextCell& o = cell(other, col, row);
                EXPECT_EQ(o.character | o.foreground | o.background, 0u);
            }
        }
    }
}

TEST_F(HandBuiltScreen, ResetWithoutAllocatingReleasesTheBuffers) {
    ASSERT_TRUE(gfx::text_cells_reset(true));
    ASSERT_TRUE(gfx::text_cells_reset(false));
    EXPECT_EQ(state_.text_cells, nullptr);
}

TEST_F(HandBuiltScreen, FillHasExclusiveEndsAndStaysInsideTheGrid) {
    ASSERT_TRUE(gfx::text_cells_reset(true));
    gfx::text_cells_fill(2, 1, 4, 3, 1, 'x', 1, 2);
    for (int row = 0; row < 6; ++row) {
        for (int col = 0; col < 18; ++col) {
            bool inside = col >= 2 && col < 4 && row >= 1 && row < 3;
            EXPECT_EQ(cell(1, col, row).character, inside ? uint32_t('x') : 0u) << col << "," << row;
        }
    }
    // Ends beyond the grid are cut, a bad page is ignored.
    gfx::text_cells_fill(16, 5, 40, 40, 0, 'y', 0, 0);
    EXPECT_EQ(cell(0, 17, 5).character, uint32_t('y'));
    EXPECT_EQ(cell(0, 15, 5).character, 32u);
    gfx::text_cells_fill(0, 0, 18, 6, 2, 'z', 0, 0);
    EXPECT_EQ(cell(0, 0, 0).character, 32u);
}

TEST_F(HandBuiltScreen, LockIsTakenOnceAndReleasedByItsTaker) {
    auto& fake = test_support::fake_state(0);
    {
        gfx::ScreenLock outer;
        EXPECT_EQ(fake.lock_calls, 1);
        EXPECT_EQ(state_.flags & (ScreenState::locked | ScreenState::lock_owned),
                  ScreenState::locked | ScreenState::lock_owned);
        {
            gfx::ScreenLock inner;  // finds the bits set: takes nothing
            EXPECT_EQ(fake.lock_calls, 1);
        }
        EXPECT_EQ(fake.unlock_calls, 0) << "the inner user must not drop the outer's lock";
        EXPECT_NE(state_.flags & ScreenState::locked, 0u);
    }
    EXPECT_EQ(fake.unlock_calls, 1);
    EXPECT_EQ(state_.flags & (ScreenState::locked | ScreenState::lock_owned), 0u);
    EXPECT_EQ(fake.max_lock_depth, 1);
}

TEST_F(HandBuiltScreen, LockHeldElsewhereIsNotTakenAgain) {
    // `locked` set by someone outside the idiom: the operation takes nothing
    // and releases nothing.
    state_.flags |= ScreenState::locked;
    {
        gfx::ScreenLock guard;
    }
    auto& fake = test_support::fake_state(0);
    EXPECT_EQ(fake.lock_calls, 0);
    EXPECT_EQ(fake.unlock_calls, 0);
    EXPECT_NE(state_.flags & ScreenState::locked, 0u);
}

TEST_F(HandBuiltScreen, ExplicitReleaseEndsTheHoldEarly) {
    gfx::ScreenLock guard;
    guard.release();
    guard.release();
    auto& fake = test_support::fake_state(0);
    EXPECT_EQ(fake.unlock_calls, 1);
    EXPECT_EQ(state_.flags & ScreenState::lock_owned, 0u);
}

TEST(ScreenLockWithoutScreen, DoesNothing) {
    gfx::screen = nullptr;
    gfx::ScreenLock guard;
    guard.release();
    SUCCEED();
}

}  // namespace
