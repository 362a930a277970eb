// The key queue, key reads and waits, key-down, the interruptible sleep and
// the mouse pass-throughs, with codes pushed by the test the way the window
// procedure pushes them.
#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <climits>
#include <cstdint>
#include <string>
#include <thread>

#include "app/platform.h"
#include "app/runtime.h"
#include "gfx/modes.h"
#include "gfx/screen.h"
#include "gfx/text/keys.h"
#include "tests/support/screen_fixture.h"

namespace {

using test_support::fake_state;

class KeysTest : public test_support::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        gfx::key_queue_clear();
    }
    void TearDown() override {
        gfx::key_queue_clear();
        ScreenTest::TearDown();
    }

    // Every lock the operations took was released, and never nested.
    static void expect_locks_balanced() {
        const auto& fake = fake_state(0);
        EXPECT_EQ(fake.lock_calls, fake.unlock_calls);
        EXPECT_EQ(fake.lock_depth, 0);
        EXPECT_LE(fake.max_lock_depth, 1);
        EXPECT_EQ(gfx::screen->flags & (gfx::ScreenState::locked | gfx::ScreenState::lock_owned), 0u);
    }
};

// A key press arriving from another thread after a delay, as the display
// thread delivers it while the program sleeps. `started` is set just before
// the push, so a sleep that has returned with it still clear returned early.
class DelayedPress {
public:
    DelayedPress(int delay_ms, int32_t code)
        : thread_([this, delay_ms, code] {
              platform::sleep_ms(delay_ms);
              started_.store(true);
              gfx::key_queue_push(code);
          }) {}
    ~DelayedPress() { join(); }
    void join() {
        if (thread_.joinable()) thread_.join();
    }
    bool started() const { return started_.load(); }

private:
    std::atomic<bool> started_{false};
    std::thread thread_;
};

// Milliseconds that fn takes.
template <typename Fn>
int64_t elapsed_ms(Fn fn) {
    int64_t start = platform::now_ms();
    fn();
    return platform::now_ms() - start;
}

// The shortest of three timings of `fn` (after `prepare`), for bounds from
// above: one slow scheduling turn on a busy machine cannot fail the check,
// while a wrong wait is slow every time.
template <typename Prepare, typename Fn>
int64_t shortest_of_three_ms(Prepare prepare, Fn fn) {
    int64_t best = INT64_MAX;
    for (int i = 0; i < 3; ++i) {
        prepare();
        best = std::min(best, elapsed_ms(fn));
    }
    return best;
}

// ---- Queue -----------------------------------------------------------------

TEST_F(KeysTest, FullQueueDropsTheOldestAndKeepsFifteen) {
    open_fake(32, 16, 32);
    for (int32_t code = 1; code <= 16; ++code) gfx::key_queue_push(code);
    EXPECT_EQ(gfx::key_hit(), 1);
    for (int32_t code = 2; code <= 16; ++code) EXPECT_EQ(gfx::key_queue_pop(), code);
    EXPECT_EQ(gfx::key_queue_pop(), 0);
    EXPECT_EQ(gfx::key_hit(), 0);
    expect_locks_balanced();
}

TEST_F(KeysTest, QueueKeepsOrderAcrossTheEndOfTheRing) {
    open_fake(32, 16, 32);
    int32_t next_in = 100, next_out = 100;
    for (int round = 0; round < 10; ++round) {  // head and tail wrap several times
        for (int i = 0; i < 5; ++i) gfx::key_queue_push(next_in++);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(gfx::key_queue_pop(), next_out++) << "round " << round;
    }
    EXPECT_EQ(gfx::key_hit(), 0);
}

TEST_F(KeysTest, PostedFlagIsSetByPushAndClearedByTakeOrPop) {
    open_fake(32, 16, 32);
    EXPECT_EQ(gfx::key_posted_take(), 0);
    gfx::key_queue_push('a');
    EXPECT_EQ(gfx::key_posted_take(), 1);
    EXPECT_EQ(gfx::key_posted_take(), 0);
    EXPECT_EQ(gfx::key_hit(), 1);  // taking the flag leaves the code queued

    gfx::key_queue_push('b');
    EXPECT_EQ(gfx::key_queue_pop(), 'a');
    EXPECT_EQ(gfx::key_posted_take(), 0);  // the pop took it, though 'b' is newer
    EXPECT_EQ(gfx::key_queue_pop(), 'b');

    gfx::key_queue_push('c');
    gfx::key_queue_clear();
    EXPECT_EQ(gfx::key_posted_take(), 0);
    EXPECT_EQ(gfx::key_hit(), 0);
}

// ---- Reading -------------------------------------------------------------

TEST_F(KeysTest, ReadGivesTheTextOfEachCode) {
    open_fake(32, 16, 32);
    const struct {
        int32_t code;
        std::string text;
    } cases[] = {
        {'5', "5"},
        {27, "\x1B"},
        {1, "\x01"},
        {255, std::string(1, '\xFF')},
        {0x48FF, "\xFFH"},                     // Up
        {0x3BFF, "\xFF;"},                     // F1
        {gfx::KEY_CLOSE_REQUEST, "\xFFk"},     // close box, Alt+F4
        {0xE0FF, "\xFF\xE0"},                  // Alt+Backspace
    };
    for (const auto& c : cases) {
        gfx::key_queue_push(c.code);
        EXPECT_EQ(gfx::key_hit(), 1) << c.code;
        EXPECT_EQ(gfx::key_read(), c.text) << c.code;
        EXPECT_EQ(gfx::key_read(), "") << "second read of " << c.code;
        EXPECT_EQ(gfx::key_hit(), 0) << c.code;
    }
    expect_locks_balanced();
}

TEST_F(KeysTest, ReadPopsAndTakesTheFlagInOneHoldOfTheLock) {
    open_fake(32, 16, 32);
    gfx::key_queue_push('x');
    const int before = fake_state(0).lock_calls;
    EXPECT_EQ(gfx::key_read(), "x");
    EXPECT_EQ(fake_state(0).lock_calls - before, 1);
    EXPECT_EQ(gfx::key_posted_take(), 0);
    expect_locks_balanced();
}

TEST_F(KeysTest, NulCodeIsAHitButReadsEmptyAndWaitPassesOverIt) {
    open_fake(32, 16, 32);
    gfx::key_queue_push(0);
    EXPECT_EQ(gfx::key_hit(), 1);
    EXPECT_EQ(gfx::key_read(), "");
    EXPECT_EQ(gfx::key_hit(), 0);

    gfx::key_queue_push(0);
    gfx::key_queue_push('7');
    EXPECT_EQ(gfx::key_wait(), '7');
    EXPECT_EQ(gfx::key_hit(), 0);
    expect_locks_balanced();
}

TEST_F(KeysTest, WaitReturnsTheOldestCode) {
    open_fake(32, 16, 32);
    gfx::key_queue_push(0x3BFF);
    gfx::key_queue_push('q');
    EXPECT_EQ(gfx::key_wait(), 0x3BFF);
    EXPECT_EQ(gfx::key_wait(), 'q');
    expect_locks_balanced();
}

TEST_F(KeysTest, WithoutScreenReadsGiveNothingAndTheQueueSurvives) {
    gfx::key_queue_push('s');
    EXPECT_EQ(gfx::key_read(), "");
    EXPECT_EQ(gfx::key_wait(), 0);
    EXPECT_EQ(gfx::key_hit(), 1);  // nothing was consumed

    open_null(32, 16, 8);
    EXPECT_EQ(gfx::key_read(), "s");
    gfx::key_queue_push('t');
    gfx::screen_close();
    open_null(16, 16, 32);
    EXPECT_EQ(gfx::key_read(), "t");  // screens come and go, the queue stays
}

// ---- Key down ------------------------------------------------------------

TEST_F(KeysTest, KeyDownReadsTheKeyStateOfScancodesZeroTo127) {
    EXPECT_EQ(gfx::key_down(1), 0);  // no screen
    open_fake(32, 16, 32);
    uint8_t* state = gfx::screen->key_state;
    ASSERT_NE(state, nullptr);
    state[1] = 1;
    state[0] = 1;
    state[127] = 0x80;
    EXPECT_EQ(gfx::key_down(1), -1);
    EXPECT_EQ(gfx::key_down(0), -1);
    EXPECT_EQ(gfx::key_down(127), -1);
    EXPECT_EQ(gfx::key_down(2), 0);
    state[1] = 0;
    EXPECT_EQ(gfx::key_down(1), 0);
    for (int outside : {-1, 128, 255, 256, INT_MAX, INT_MIN}) EXPECT_EQ(gfx::key_down(outside), 0) << outside;
    expect_locks_balanced();
}

// ---- Interruptible sleep -------------------------------------------------

TEST_F(KeysTest, SleepForeverReturnsOnlyAfterAPress) {
    open_fake(32, 16, 32);
    DelayedPress press(150, 'k');
    int64_t took = elapsed_ms([] { gfx::sleep_interruptible(-1); });
    EXPECT_TRUE(press.started());
    EXPECT_GE(took, 130);
    press.join();
    EXPECT_EQ(gfx::key_read(), "k");  // the sleep left the code in the queue
    expect_locks_balanced();
}

TEST_F(KeysTest, LongSleepEndsSoonAfterAPress) {
    open_fake(32, 16, 32);
    DelayedPress press(100, 'k');
    int64_t took = elapsed_ms([] { gfx::sleep_interruptible(1000); });
    EXPECT_TRUE(press.started());
    EXPECT_LT(took, 600);
    press.join();
    EXPECT_EQ(gfx::key_posted_take(), 0);  // the sleep took the flag
    expect_locks_balanced();
}

TEST_F(KeysTest, ShortSleepIgnoresPresses) {
    open_fake(32, 16, 32);
    gfx::key_queue_push('k');
    int64_t took = elapsed_ms([] { gfx::sleep_interruptible(80); });
    EXPECT_GE(took, 65);
    EXPECT_EQ(gfx::key_posted_take(), 1);  // never looked at
}

TEST_F(KeysTest, SleepWithAPendingPressReturnsAtOnceUnlessAReadTookIt) {
    open_fake(32, 16, 32);
    EXPECT_LT(shortest_of_three_ms([] { gfx::key_queue_push('a'); }, [] { gfx::sleep_interruptible(400); }), 150);
    gfx::key_queue_clear();
    gfx::key_queue_push('a');

    gfx::key_queue_push('b');
    EXPECT_EQ(gfx::key_read(), "a");  // takes the flag of 'b' too
    EXPECT_GE(elapsed_ms([] { gfx::sleep_interruptible(200); }), 180);
    EXPECT_EQ(gfx::key_read(), "b");
    expect_locks_balanced();
}

TEST_F(KeysTest, SleepOfZeroOrLessReturnsAtOnceAndHundredSleepsWhole) {
    open_fake(32, 16, 32);
    // Timed together so that one slow scheduling turn cannot fail the test;
    // a poll period slept by each would take 200 ms, a wait for a key forever.
    int64_t none = shortest_of_three_ms([] {}, [] {
        for (int ms : {0, -2, -1000, INT_MIN}) gfx::sleep_interruptible(ms);
    });
    EXPECT_LT(none, 150);
    int64_t took = elapsed_ms([] { gfx::sleep_interruptible(100); });
    EXPECT_GE(took, 85);
    EXPECT_LT(took, 400);
}

// ---- Mouse ---------------------------------------------------------------

// A driver record with a pointer: get_mouse answers from `mouse`, or fails
// while `has_position` is false; set_mouse records its arguments.
struct MouseDriver {
    static inline int lock_calls = 0, unlock_calls = 0, lock_depth = 0;
    static inline bool has_position = true;
    static inline int position[4] = {};  // x, y, wheel, buttons
    static inline int set_calls = 0, set_args[3] = {};

    static void reset() {
        lock_calls = unlock_calls = lock_depth = 0;
        has_position = true;
        position[0] = 40, position[1] = 12, position[2] = -3, position[3] = 5;
        set_calls = 0;
        set_args[0] = set_args[1] = set_args[2] = 0;
    }
    static int init(const char*, int, int, int, int, int32_t) { return 0; }
    static void exit() {}
    static void lock() {
        ++lock_calls;
        ++lock_depth;
    }
    static void unlock() {
        ++unlock_calls;
        --lock_depth;
    }
    static void set_palette(int, int, int, int) {}
    static int get_mouse(int* x, int* y, int* wheel, int* buttons) {
        EXPECT_EQ(lock_depth, 1) << "get_mouse runs under the lock";
        if (!has_position) return -1;
        *x = position[0];
        *y = position[1];
        *wheel = position[2];
        *buttons = position[3];
        return 0;
    }
    static void set_mouse(int x, int y, int cursor) {
        EXPECT_EQ(lock_depth, 1) << "set_mouse runs under the lock";
        ++set_calls;
        set_args[0] = x;
        set_args[1] = y;
        set_args[2] = cursor;
    }
    static constexpr gfx::DisplayDriver record = {
        "Mouse", init, exit, lock, unlock, set_palette, nullptr, get_mouse, set_mouse, nullptr, nullptr, nullptr};
};

class MouseTest : public KeysTest {
protected:
    void open_mouse() {
        MouseDriver::reset();
        test_support::ScopedDriverList only_mouse({&MouseDriver::record});
        gfx::screen_res(64, 48, 32, 1, 0, 0);
        ASSERT_NE(gfx::screen, nullptr);
        ASSERT_EQ(gfx::screen->driver, &MouseDriver::record);
        MouseDriver::lock_calls = MouseDriver::unlock_calls = 0;
    }
};

// mouse_get must refuse with error 1 and all four outputs -1.
void expect_mouse_get_refused(const char* where) {
    int x = 7, y = 7, wheel = 7, buttons = 7;
    rt::error_set(0);
    EXPECT_EQ(gfx::mouse_get(&x, &y, &wheel, &buttons), 1) << where;
    EXPECT_EQ(rt::error_get(), 1) << where;
    EXPECT_EQ(x, -1) << where;
    EXPECT_EQ(y, -1) << where;
    EXPECT_EQ(wheel, -1) << where;
    EXPECT_EQ(buttons, -1) << where;
    // Null outputs are allowed.
    EXPECT_EQ(gfx::mouse_get(nullptr, nullptr, nullptr, nullptr), 1) << where;
}

TEST_F(MouseTest, WithoutScreenOrOnTheNullDriverMouseIsRefused) {
    expect_mouse_get_refused("no screen");
    rt::error_set(0);
    EXPECT_EQ(gfx::mouse_set(1, 2, 1), 1);
    EXPECT_EQ(rt::error_get(), 1);

    open_null(32, 16, 32);
    expect_mouse_get_refused("null driver");
    rt::error_set(0);
    EXPECT_EQ(gfx::mouse_set(1, 2, 1), 1);
    EXPECT_EQ(rt::error_get(), 1);
}

TEST_F(MouseTest, GetPassesTheDriversAnswerThroughUnderTheLock) {
    open_mouse();
    int x = 0, y = 0, wheel = 0, buttons = 0;
    rt::error_set(0);
    EXPECT_EQ(gfx::mouse_get(&x, &y, &wheel, &buttons), 0);
    EXPECT_EQ(x, 40);
    EXPECT_EQ(y, 12);
    EXPECT_EQ(wheel, -3);
    EXPECT_EQ(buttons, 5);
    EXPECT_EQ(rt::error_get(), 0);

    // Any output may be left out.
    x = y = 0;
    EXPECT_EQ(gfx::mouse_get(&x, &y, nullptr, nullptr), 0);
    EXPECT_EQ(x, 40);
    EXPECT_EQ(y, 12);
    wheel = buttons = 0;
    EXPECT_EQ(gfx::mouse_get(nullptr, nullptr, &wheel, &buttons), 0);
    EXPECT_EQ(wheel, -3);
    EXPECT_EQ(buttons, 5);

    EXPECT_EQ(MouseDriver::lock_calls, 3);
    EXPECT_EQ(MouseDriver::unlock_calls, 3);
    EXPECT_EQ(MouseDriver::lock_depth, 0);
}

TEST_F(MouseTest, GetWithoutPositionGivesMinusOneEverywhere) {
    open_mouse();
    MouseDriver::has_position = false;
    expect_mouse_get_refused("pointer outside");
    EXPECT_EQ(MouseDriver::lock_calls, MouseDriver::unlock_calls);
    EXPECT_EQ(MouseDriver::lock_depth, 0);
}

TEST_F(MouseTest, SetPassesItsArgumentsToTheDriver) {
    open_mouse();
    const int cases[][3] = {{10, 20, 1}, {-1, 5, 0}, {3, 4, -1}};
    for (const auto& c : cases) {
        rt::error_set(0);
        EXPECT_EQ(gfx::mouse_set(c[0], c[1], c[2]), 0);
        EXPECT_EQ(rt::error_get(), 0);
        EXPECT_EQ(MouseDriver::set_args[0], c[0]);
        EXPECT_EQ(MouseDriver::set_args[1], c[1]);
        EXPECT_EQ(MouseDriver::set_args[2], c[2]);
    }
    EXPECT_EQ(MouseDriver::set_calls, 3);
    EXPECT_EQ(MouseDriver::lock_calls, 3);
    EXPECT_EQ(MouseDriver::unlock_calls, 3);
}

}  // namespace
