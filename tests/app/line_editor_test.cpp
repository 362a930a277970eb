// The runtime's line editor on a graphics screen (keys from a scripted key
// source through hook_key_hit / hook_key_read, echo through the screen's
// own print and cursor hooks), its standard-input fallback, and the string
// assignment of the line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "app/line_editor.h"
#include "app/runtime.h"
#include "gfx/screen.h"
#include "gfx/text/console_text.h"
#include "tests/support/screen_fixture.h"

namespace {

using gfx::screen;

// Key texts as hook_key_read hands them out; key_hit answers 0 `idle_polls`
// times before the first one.
std::deque<std::string> g_keys;
int g_idle_polls = 0;
int g_hit_calls = 0;

int script_key_hit() {
    ++g_hit_calls;
    if (g_idle_polls > 0) {
        --g_idle_polls;
        return 0;
    }
    return g_keys.empty() ? 0 : 1;
}

std::string script_key_read() {
    if (g_keys.empty()) return std::string();
    std::string key = g_keys.front();
    g_keys.pop_front();
    return key;
}

const std::string BS = "\b";
const std::string ESC = "\x1B";
const std::string ENTER = "\r";
const std::string UP = "\xFFH";      // an extended key: 255 and its code
const std::string CLOSE = "\xFFk";   // the window's close request

class LineEditor : public test_support::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        g_keys.clear();
        g_idle_polls = 0;
        g_hit_calls = 0;
        rt::text_view_set(0, 0);
    }

    void TearDown() override {
        ScreenTest::TearDown();
        rt::hooks = rt::RuntimeHooks{};
        rt::text_view_set(0, 0);
    }

    // A screen whose console hooks are installed, with keys from the script.
    void open_grid(int width, int height) {
        open_null(width, height, 32);
        rt::hooks.hook_key_hit = script_key_hit;
        rt::hooks.hook_key_read = script_key_read;
    }

    static void script(const std::vector<std::string>& keys) {
        for (const std::string& k : keys) {
            if (k.size() == 2 && static_cast<unsigned char>(k[0]) == 255) {
                g_keys.push_back(k);
            } else {
                for (char c : k) g_keys.push_back(std::string(1, c));
            }
        }
    }

    // The line read, or "<none>".
    static std::string read_line() {
        int length = -1;
        char* line = rt::line_editor_read(&length);
        if (line == nullptr) return "<none>";
        std::string text(line, static_cast<size_t>(length));
        EXPECT_EQ(line[length], '\0');
        std::free(line);
        return text;
    }

    static std::string row_text(int row) {
        std::string text;
        const gfx::TextCell* cells = screen->text_cells[screen->work_page];
        for (int c = 0; c < screen->text_cols; ++c) {
            text += static_cast<char>(cells[row * screen->text_cols + c].character);
        }
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }

    static std::vector<std::string> grid_text() {
        std::vector<std::string> rows;
        for (int r = 0; r < screen->text_rows; ++r) rows.push_back(row_text(r));
        return rows;
    }
};

// ---- Editing and echo on an 8 x 6 grid -----------------------------------------------

struct EditCase {
    const char* name;
    int row, col;  // where the input starts, 1-based
    std::vector<std::string> keys;
    std::string want;
    std::vector<std::string> rows;
    int cursor_col, cursor_row;
};
void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> first_row_only(const std::string& first) { return {first, "", "", "", "", ""}; }

const EditCase kEditCases[] = {
    {"CharactersAreEchoed", 1, 1, {"hello", ENTER}, "hello", first_row_only("hello"), 6, 1},
    {"EnterAloneGivesAnEmptyLine", 1, 1, {ENTER}, "", first_row_only(""), 1, 1},
    {"BackspaceErasesTheLastCharacter", 1, 1, {"abc", BS, BS, "x", ENTER}, "ax", first_row_only("ax"), 3, 1},
    {"BackspaceOnAnEmptyLineDoesNothing", 1, 1, {BS, BS, "a", ENTER}, "a", first_row_only("a"), 2, 1},
    {"EscapeErasesTheWholeLine", 1, 1, {"abc", ESC, "z", ENTER}, "z", first_row_only("z"), 2, 1},
    {"ControlAndExtendedKeysAreIgnored", 1, 1, {"a", "\t", "\x01", "\n", UP, CLOSE, "b", ENTER}, "ab",
     first_row_only("ab"), 3, 1},
    {"CharactersAbove127AreKept", 1, 1, {"\xE9\xFF", ENTER}, "\xE9\xFF", first_row_only("\xE9\xFF"), 3, 1},
    {"LongLinesWrap", 1, 7, {"abcd", ENTER}, "abcd", {"      ab", "cd", "", "", "", ""}, 3, 2},
    {"BackspaceGoesBackOverTheWrap", 1, 7, {"abc", BS, BS, ENTER}, "a", first_row_only("      a"), 8, 1},
    {"ErasingFollowsTextThatScrolledUp", 6, 7, {"abcd", BS, BS, BS, ENTER}, "a",
     {"", "", "", "", "      a", ""}, 8, 5},
    {"EscapeAfterAScroll", 6, 7, {"abcd", ESC, "q", ENTER}, "q", {"", "", "", "", "      q", ""}, 8, 5},
};

class Editing : public LineEditor, public testing::WithParamInterface<EditCase> {};

TEST_P(Editing, BuildsTheLineAndTheScreen) {
    const EditCase& c = GetParam();
    open_grid(64, 48);
    rt::console_locate(c.row, c.col, -1);
    script(c.keys);

    EXPECT_EQ(read_line(), c.want);
    EXPECT_EQ(grid_text(), c.rows);
    EXPECT_EQ(gfx::text_cursor_col(), c.cursor_col);
    EXPECT_EQ(gfx::text_cursor_row(), c.cursor_row);
    EXPECT_TRUE(g_keys.empty()) << "Enter ends the line";
}

INSTANTIATE_TEST_SUITE_P(LineEditor, Editing, testing::ValuesIn(kEditCases),
                         [](const testing::TestParamInfo<EditCase>& info) { return info.param.name; });

TEST_F(LineEditor, TextScrolledOutOfTheViewIsNotErasedOverOtherRows) {
    open_grid(32, 24);  // 4 x 3 cells
    rt::console_locate(1, 1, -1);
    rt::console_print("KEEP", false);
    rt::text_view_set(2, 3);
    rt::console_locate(3, 1, -1);
    // Nine characters scroll the view twice: "abcd" leaves it at the top.
    script({"abcdefghi", BS, BS, BS, BS, BS, BS, "z", ENTER});

    EXPECT_EQ(read_line(), "abcz");
    EXPECT_EQ(grid_text(), (std::vector<std::string>{"KEEP", "z", ""}));
    EXPECT_EQ(gfx::text_cursor_col(), 2);
    EXPECT_EQ(gfx::text_cursor_row(), 2);
}

TEST_F(LineEditor, WaitsForKeys) {
    open_grid(64, 48);
    g_idle_polls = 3;
    script({"k", ENTER});
    EXPECT_EQ(read_line(), "k");
    EXPECT_GE(g_hit_calls, 5) << "three idle polls, then one per key";
}

TEST_F(LineEditor, ReadsStandardInputWithoutKeyHooks) {
    const char* path = "line_editor_input.txt";
    std::FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("one\r\n\ntwo", f);
    std::fclose(f);
    ASSERT_NE(std::freopen(path, "rb", stdin), nullptr);

    EXPECT_EQ(read_line(), "one");
    EXPECT_EQ(read_line(), "") << "an empty line is a line";
    EXPECT_EQ(read_line(), "two") << "the input may end without a line end";
    EXPECT_EQ(read_line(), "<none>") << "no line once the input has ended";
}

// ---- String assignment --------------------------------------------------------------

struct AssignCase {
    const char* name;
    std::string line;
    int size, fill;
    std::string want;
};
void PrintTo(const AssignCase& c, std::ostream* os) { *os << c.name; }

const AssignCase kAssignCases[] = {
    {"VariableLengthTakesTheLine", "hello", 0, 0, "hello"},
    {"VariableLengthEmpty", "", 0, 1, ""},
    {"NegativeSizeIsVariableLength", "hello", -3, 1, "hello"},
    {"FixedLengthCuts", "hello", 3, 0, "hel"},
    {"FixedLengthCutsWithFill", "hello", 3, 1, "hel"},
    {"FixedLengthPadsWithFill", "hi", 5, 1, "hi   "},
    {"FixedLengthWithoutFillKeepsShortText", "hi", 5, 0, "hi"},
    {"FixedLengthExactFit", "hi", 2, 1, "hi"},
    {"BytesAbove127AndZeros", std::string("\xE9\0z", 3), 0, 0, std::string("\xE9\0z", 3)},
};

class Assign : public testing::TestWithParam<AssignCase> {};

TEST_P(Assign, NarrowStrings) {
    const AssignCase& c = GetParam();
    std::string destination = "previous contents";
    rt::str_assign(&destination, c.line.data(), static_cast<int>(c.line.size()), c.size, c.fill);
    EXPECT_EQ(destination, c.want);
}

TEST_P(Assign, WideStringsCutButNeverPad) {
    const AssignCase& c = GetParam();
    std::u16string line(c.line.begin(), c.line.end());
    std::u16string destination = u"previous contents";
    rt::str_assign_wide(&destination, line.data(), static_cast<int>(line.size()), c.size);
    std::string want = c.size > 0 && static_cast<int>(c.line.size()) > c.size ? c.line.substr(0, c.size) : c.line;
    EXPECT_EQ(destination, std::u16string(want.begin(), want.end()));
}

INSTANTIATE_TEST_SUITE_P(StrAssign, Assign, testing::ValuesIn(kAssignCases),
                         [](const testing::TestParamInfo<AssignCase>& info) { return info.param.name; });

TEST(StrAssignRefusals, NullDestinationOrBytesAreSafe) {
    rt::str_assign(nullptr, "abc", 3, 0, 0);
    rt::str_assign_wide(nullptr, u"abc", 3, 0);
    std::string destination = "x";
    rt::str_assign(&destination, nullptr, 5, 3, 1);
    EXPECT_EQ(destination, "   ") << "no bytes: an empty text, padded";
    rt::str_assign(&destination, "abc", -1, 0, 0);
    EXPECT_EQ(destination, "");
}

}  // namespace
