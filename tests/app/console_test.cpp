// Console services routed through hooks installed by the test.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/runtime.h"

namespace {

// A tiny stand-in for the graphics console: a key queue of key texts and a
// log of what the services asked for.
struct FakeConsole {
    std::deque<std::string> keys;
    int polls_until_key = 0;  // key_hit answers 0 this many times first
    int hit_calls = 0, read_calls = 0, redirected_calls = 0;
    std::vector<std::string> printed;
    std::vector<std::vector<int>> locates;
    int columns = 18, rows = 6;
    uint32_t colours = 0;
};
FakeConsole g;

int fake_key_hit() {
    ++g.hit_calls;
    if (g.polls_until_key > 0) {
        --g.polls_until_key;
        return 0;
    }
    return g.keys.empty() ? 0 : 1;
}
std::string fake_key_read() {
    ++g.read_calls;
    if (g.keys.empty()) return std::string();
    std::string k = g.keys.front();
    g.keys.pop_front();
    return k;
}
int fake_is_redirected() {
    ++g.redirected_calls;
    return 0;
}
void fake_print(const char* bytes, int length, int) { g.printed.emplace_back(bytes, static_cast<size_t>(length)); }
void fake_get_size(int* c, int* r) {
    if (c) *c = g.columns;
    if (r) *r = g.rows;
}
int fake_locate(int row, int column, int cursor) {
    g.locates.push_back({row, column, cursor});
    return 0;
}
uint32_t fake_colour(int32_t fg, int32_t bg) {
    uint32_t old = g.colours;
    g.colours = static_cast<uint32_t>(fg) ^ static_cast<uint32_t>(bg);
    return old;
}
int fake_key_down(int scancode) { return scancode == 1 ? -1 : 0; }

class Console : public testing::Test {
protected:
    void SetUp() override {
        g = FakeConsole();
        rt::hooks = rt::RuntimeHooks{};
        rt::hooks.hook_key_hit = fake_key_hit;
        rt::hooks.hook_key_read = fake_key_read;
        rt::hooks.hook_is_redirected = fake_is_redirected;
        rt::hooks.hook_print = fake_print;
        rt::hooks.hook_get_size = fake_get_size;
        rt::hooks.hook_locate = fake_locate;
        rt::hooks.hook_colour = fake_colour;
        rt::hooks.hook_key_down = fake_key_down;
        rt::console_reader_reset();
        rt::text_view_set(0, 0);
        rt::error_set(0);
    }
    void TearDown() override {
        rt::hooks = rt::RuntimeHooks{};
        rt::console_reader_reset();
    }
};

TEST_F(Console, ExtendedKeyIsReadInTwoCalls) {
    g.keys.push_back("\xFF" "H");  // Up arrow: 255 then 'H'
    EXPECT_EQ(rt::console_read_chars(1), "\xFF");
    int hits = g.hit_calls;
    EXPECT_EQ(rt::console_read_chars(1), "H");
    EXPECT_EQ(g.hit_calls, hits) << "the buffered character needs no poll";
    EXPECT_EQ(g.read_calls, 1);
    EXPECT_EQ(g.redirected_calls, 1);
}

TEST_F(Console, WaitsByPollingUntilAKeyArrives) {
    g.keys.push_back("5");
    g.polls_until_key = 3;
    EXPECT_EQ(rt::console_read_chars(1), "5");
    EXPECT_EQ(g.hit_calls, 4);
}

TEST_F(Console, SeveralCharactersSpanKeys) {
    g.keys.push_back("a");
    g.keys.push_back("\xFF" ";");
    g.keys.push_back("z");
    EXPECT_EQ(rt::console_read_chars(2), "a\xFF");
    EXPECT_EQ(rt::console_read_chars(2), ";z");
    EXPECT_EQ(rt::console_read_chars(0), "");
}

TEST_F(Console, RedirectionIsAskedOnlyOnce) {
    g.keys = {"1", "2", "3"};
    rt::console_read_chars(1);
    rt::console_read_chars(1);
    rt::console_read_chars(1);
    EXPECT_EQ(g.redirected_calls, 1);
}

TEST_F(Console, PrintWithNewlineWritesCarriageReturnAndLineFeed) {
    rt::console_print("hi", true);
    rt::console_print("", false);
    ASSERT_EQ(g.printed.size(), 3u);
    EXPECT_EQ(g.printed[0], "hi");
    EXPECT_EQ(g.printed[1], "\r\n");
    EXPECT_EQ(g.printed[2], "");
}

TEST_F(Console, LocateChecksTheViewAndTheColumns) {
    struct Case {
        int row, column;
        bool accepted;
    } cases[] = {
        {1, 1, true},  {6, 18, true}, {0, 5, true}, {3, 0, true}, {0, 0, true},
        {7, 1, false},  // below the view (rows 1..6)
        {1, 19, false},  // beyond the 18 columns
        {-1, 1, false}, {1, -1, false},
    };
    for (const auto& c : cases) {
        g.locates.clear();
        rt::error_set(0);
        rt::console_locate(c.row, c.column, -1);
        EXPECT_EQ(g.locates.size(), c.accepted ? 1u : 0u) << c.row << "," << c.column;
        EXPECT_EQ(rt::error_get(), c.accepted ? 0 : 1) << c.row << "," << c.column;
    }
}

TEST_F(Console, LocateHonoursANarrowedView) {
    rt::text_view_set(2, 4);
    rt::console_locate(1, 1, -1);
    EXPECT_EQ(rt::error_get(), 1);
    rt::error_set(0);
    rt::console_locate(4, 1, -1);
    EXPECT_EQ(rt::error_get(), 0);
    int first = 0, last = 0;
    rt::text_view_get(&first, &last);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 4);
}

TEST_F(Console, ViewDefaultsToTheConsoleRows) {
    int first = 0, last = 0;
    rt::text_view_get(&first, &last);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 6);
    g.rows = 0;
    rt::text_view_get(&first, &last);
    EXPECT_EQ(last, 25);
}

TEST_F(Console, LocateSetsTheTextColumn) {
    rt::console_column_set(0);
    rt::console_locate(2, 7, -1);
    EXPECT_EQ(rt::console_column(), 6);
    rt::console_locate(3, 0, -1);
    EXPECT_EQ(rt::console_column(), 6);
}

TEST_F(Console, ColourAndKeyDownGoThroughTheirSlots) {
    g.colours = 0x1234;
    EXPECT_EQ(rt::console_colour(0xFFFFFF, 0x0245D0), 0x1234u);
    EXPECT_EQ(g.colours, 0xFFFFFFu ^ 0x0245D0u);
    EXPECT_NE(rt::console_key_down(1), 0);
    EXPECT_EQ(rt::console_key_down(2), 0);
}

TEST(ConsoleWithoutHooks, MouseReportsErrorAndMinusOnes) {
    rt::hooks = rt::RuntimeHooks{};
    rt::error_set(0);
    int x = 5, y = 5, wheel = 5, buttons = 5;
    EXPECT_EQ(rt::mouse_get(&x, &y, &wheel, &buttons), 1);
    EXPECT_EQ(rt::error_get(), 1);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -1);
    EXPECT_EQ(wheel, -1);
    EXPECT_EQ(buttons, -1);
    EXPECT_EQ(rt::console_key_down(1), 0);
    EXPECT_EQ(rt::port_in(0x3DA), -1);
}

}  // namespace
